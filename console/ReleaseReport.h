#pragma once
// The CSV report of a run: one row per file with source, target, result and reason.

#include <string>

#include "runtime/Handles.h"

class ReleaseReport {
public:
    ReleaseReport() = default;
    // A report opened and never written leaves nothing behind.
    ~ReleaseReport();
    ReleaseReport(const ReleaseReport&) = delete;
    ReleaseReport& operator=(const ReleaseReport&) = delete;

    // Makes the temporary file beside FileName (a full path) that the report is
    // written to, so that a report that cannot be written is known before anything
    // moves. Empty on success, otherwise why not (a sentence naming the file).
    std::wstring Open(const std::wstring& FileName);
    bool IsOpen() const { return static_cast<bool>(FFile); }

    void Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
             const std::wstring& Reason);
    // Writes the report as UTF-8 (with a byte-order mark, so spreadsheet
    // programs read it as UTF-8) to its temporary file and renames that,
    // replacing an older report: the file never holds half a report.
    // Empty on success, otherwise why it failed.
    std::wstring Write();

private:
    std::wstring FFileName;
    std::wstring FTemporary;
    forms::FileHandle FFile;
    std::string FRows;
};
