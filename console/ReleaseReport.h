#pragma once
// The CSV report of a run: one row per file with source, target, result and reason.

#include <string>
#include <vector>

class ReleaseReport {
public:
    void Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
             const std::wstring& Reason);
    // Writes the report as UTF-8 (with a byte-order mark, so spreadsheet
    // programs read it as UTF-8) to a temporary name beside FileName and then
    // renames it, replacing an older report: FileName never holds half a report.
    // Empty on success, otherwise why it failed.
    std::wstring Write(const std::wstring& FileName) const;

private:
    std::string FRows;
};

// The folder a report file goes into exists: checked before anything moves.
bool ReportFolderExists(const std::wstring& FileName);
