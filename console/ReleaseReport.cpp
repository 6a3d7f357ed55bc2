#include "console/ReleaseReport.h"

#include "runtime/Handles.h"
#include "runtime/SysUtils.h"
#include "runtime/SystemMessage.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// A report of an older version has the first four columns alone; it is a report all the same.
constexpr char kHeader[] = "\"source\",\"target\",\"result\",\"reason\"";
constexpr char kLaterColumns[] = ",\"date\",\"date from\"";
constexpr char kBackupField[] = ",\"backup\"";

// Every field quoted, quotes doubled: names may hold commas and quotes.
std::string Field(const std::wstring& text) {
    std::string field = "\"";
    for (char character : forms::WideToUtf8(text)) {
        if (character == '"') field += '"';
        field += character;
    }
    return field + "\"";
}

// Whether the file's first line is a report's header (with or without the byte-order mark):
// only such a file may be replaced.
bool IsReport(HANDLE file) {
    char start[128] = {};
    DWORD read = 0;
    if (!ReadFile(file, start, sizeof(start) - 1, &read, nullptr)) return false;
    std::string line(start, read);
    if (line.rfind(kByteOrderMark, 0) == 0) line.erase(0, 3);
    const size_t headerLength = sizeof(kHeader) - 1;
    return line.compare(0, headerLength, kHeader) == 0 && line.size() > headerLength &&
           (line[headerLength] == '\r' || line[headerLength] == '\n' || line[headerLength] == ',');
}

}  // namespace

ReleaseReport::~ReleaseReport() { Abandon(); }

void ReleaseReport::Abandon() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FOpen) DeleteFileW(FTemporary.c_str());
    FOpen = false;
}

std::wstring ReleaseReport::Open(const std::wstring& FileName) {
    FFileName = FileName;
    const DWORD attributes = GetFileAttributesW(FileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return L"The report file is a folder: " + FileName;
    // An old report is replaced at the end: one that may not be written to is refused now, and
    // any other file (a photo filed last year) is never replaced.
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        forms::FileHandle old(CreateFileW(FileName.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = !old ? GetLastError() : (attributes & FILE_ATTRIBUTE_READONLY) ? ERROR_ACCESS_DENIED : 0;
        if (error) return L"The report file cannot be written: " + forms::SystemMessage(error) + L" (" + FileName + L")";
        if (!IsReport(old.Get()))
            return L"A file that is not a report has the report's name, and only a report is replaced: " + FileName;
    }
    FTemporary = FileName + forms::Format(L".%lu.tmp", GetCurrentProcessId());
    forms::FileHandle file(CreateFileW(FTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return L"The report file cannot be created: " + forms::SystemMessage(GetLastError()) + L" (" + FileName + L")";
    FOpen = true;
    return {};
}

void ReleaseReport::Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
                        const std::wstring& Reason, const std::wstring& Date, const std::wstring& DateFrom,
                        const std::wstring& Backup) {
    std::string row = Field(Source) + "," + Field(Target) + "," + Field(Result) + "," + Field(Reason) + "," +
                      Field(Date) + "," + Field(DateFrom);
    if (FBackupColumn) {
        row += ',';
        row += Field(Backup);
    }
    row += "\r\n";
    std::lock_guard<std::mutex> lock(FLock);
    FRows += row;
}

std::wstring ReleaseReport::Write() {
    std::lock_guard<std::mutex> lock(FLock);
    if (!FOpen) return forms::SystemMessage(ERROR_INVALID_HANDLE);
    std::string content = kByteOrderMark;
    content += kHeader;
    content += kLaterColumns;
    if (FBackupColumn) content += kBackupField;
    content += "\r\n";
    content += FRows;
    forms::FileHandle file(CreateFileW(FTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    bool done = file && WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                written == content.size() && FlushFileBuffers(file.Get());
    DWORD error = done ? ERROR_SUCCESS : GetLastError();
    file.Reset();
    if (done) {
        done = MoveFileExW(FTemporary.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!done) error = GetLastError();
    }
    if (done) return {};
    DeleteFileW(FTemporary.c_str());
    return forms::SystemMessage(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
}
