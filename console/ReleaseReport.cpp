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

std::wstring FullPath(const std::wstring& FileName) {
    wchar_t* namePart = nullptr;
    DWORD size = GetFullPathNameW(FileName.c_str(), 0, nullptr, &namePart);
    if (size == 0) return {};
    std::wstring path(size, L'\0');
    size = GetFullPathNameW(FileName.c_str(), size, path.data(), &namePart);
    path.resize(size);
    return path;
}

}  // namespace

void ReleaseReport::Add(const std::wstring& Source, const std::wstring& Target, const std::wstring& Result,
                        const std::wstring& Reason) {
    FRows += Field(Source) + "," + Field(Target) + "," + Field(Result) + "," + Field(Reason) + "\r\n";
}

std::wstring ReleaseReport::Write(const std::wstring& FileName) const {
    const std::wstring target = FullPath(FileName);
    if (target.empty()) return engine::SystemMessage(GetLastError());
    const std::wstring temporary = target + forms::Format(L".%lu.tmp", GetCurrentProcessId());
    const std::string content = "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\"\r\n" + FRows;
    DWORD error = ERROR_SUCCESS;
    {
        forms::FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return engine::SystemMessage(GetLastError());
        DWORD written = 0;
        if (!WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
            written != content.size() || !FlushFileBuffers(file.Get()))
            error = GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error == ERROR_SUCCESS) return {};
    DeleteFileW(temporary.c_str());
    return engine::SystemMessage(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error);
}

bool ReportFolderExists(const std::wstring& FileName) {
    const std::wstring path = FullPath(FileName);
    const size_t slash = path.find_last_of(L'\\');
    if (path.empty() || slash == std::wstring::npos || slash + 1 == path.size()) return false;
    return forms::DirectoryExists(path.substr(0, slash + 1));
}
