#include "console/ReleaseReport.h"

#include <windows.h>

#include "engine/SystemMessage.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace {

// Every field quoted, quotes doubled: names may hold commas and quotes.
std::string Field(const std::wstring& text) {
    std::string field = "\"";
    for (char character : forms::WideToUtf8(text)) {
        if (character == '"') field += '"';
        field += character;
    }
    return field + "\"";
}

}  // namespace

ReleaseReport::~ReleaseReport() {
    if (!FFile) return;
    FFile.Reset();
    DeleteFileW(FTemporary.c_str());
}

std::wstring ReleaseReport::Open(const std::wstring& FileName) {
    FFileName = FileName;
    const DWORD attributes = GetFileAttributesW(FileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return L"The report file is a folder: " + FileName;
    // An old report is replaced at the end: one that may not be written to is refused now.
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        forms::FileHandle old(CreateFileW(FileName.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = !old ? GetLastError() : (attributes & FILE_ATTRIBUTE_READONLY) ? ERROR_ACCESS_DENIED : 0;
        if (error) return L"The report file cannot be written: " + engine::SystemMessage(error) + L" (" + FileName + L")";
    }
    FTemporary = FileName + forms::Format(L".%lu.tmp", GetCurrentProcessId());
    FFile.Reset(CreateFileW(FTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    if (!FFile)
        return L"The report file cannot be created: " + engine::SystemMessage(GetLastError()) + L" (" + FileName + L")";
    return {};
}

void ReleaseReport::Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
                        const std::wstring& Reason) {
    FRows += Field(Source) + "," + Field(Target) + "," + Field(Result) + "," + Field(Reason) + "\r\n";
}

std::wstring ReleaseReport::Write() {
    const std::string content = "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\"\r\n" + FRows;
    DWORD written = 0;
    bool done = WriteFile(FFile.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
                written == content.size() && FlushFileBuffers(FFile.Get());
    DWORD error = done ? ERROR_SUCCESS : GetLastError();
    FFile.Reset();
    if (done) {
        done = MoveFileExW(FTemporary.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!done) error = GetLastError();
    }
    if (done) return {};
    DeleteFileW(FTemporary.c_str());
    return engine::SystemMessage(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
}
