#pragma once
// The CSV report of a run: one row per file with source, target, result, reason,
// the date used with where it came from, and with a backup the backup's full name.

#include <windows.h>

#include <mutex>
#include <string>

class ReleaseReport {
public:
    ReleaseReport() = default;
    // A report opened and never written leaves nothing behind.
    ~ReleaseReport();
    ReleaseReport(const ReleaseReport&) = delete;
    ReleaseReport& operator=(const ReleaseReport&) = delete;

    // Tries the temporary file beside FileName (a full path) that the report is
    // written to, so that a report that cannot be written is known before anything
    // moves. A file of that name is replaced only when it is itself a report (its
    // first line is the report's header): a photo or any other file is refused.
    // Empty on success, otherwise why not (a sentence naming the file).
    std::wstring Open(const std::wstring& FileName);
    bool IsOpen() const { return FOpen; }
    // A last column, "backup", after the date's (a report without it, or with
    // the first four columns alone, is still recognised as one).
    void AddBackupColumn() { FBackupColumn = true; }
    const std::wstring& FileName() const { return FFileName; }

    // Date is the date the file was sorted and named by, DateFrom where it came
    // from ("photo" or "file"); both empty on a row that is no file's.
    void Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
             const std::wstring& Reason, const std::wstring& Date = {}, const std::wstring& DateFrom = {},
             const std::wstring& Backup = {});
    // Writes the report as UTF-8 (with a byte-order mark, so spreadsheet
    // programs read it as UTF-8) to its temporary file and renames that,
    // replacing an older report: the file never holds half a report. May be
    // called again, from any thread (a console being closed writes what there
    // is at once), each time with every row added so far.
    // Empty on success, otherwise why it failed.
    std::wstring Write();
    // Gives up the report: its temporary file goes and nothing is written.
    void Abandon();

private:
    std::mutex FLock;
    std::wstring FFileName;
    std::wstring FTemporary;
    std::string FRows;
    bool FOpen = false;
    bool FBackupColumn = false;
};
