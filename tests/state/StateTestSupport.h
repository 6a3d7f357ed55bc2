#pragma once
// A temporary folder for profile files, and raw access to them that bypasses the store.

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/Handles.h"

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int serial = 0;
        FPath = std::wstring(base) + L"kamdrop-state-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial) + L"\\";
        CreateDirectoryW(FPath.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW entry;
        forms::FindHandle find(FindFirstFileW((FPath + L"*").c_str(), &entry));
        if (find) {
            do {
                // Flush the profile functions' cache first, so they do not write the file back.
                std::wstring file = FPath + entry.cFileName;
                WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
                DeleteFileW(file.c_str());
            } while (FindNextFileW(find.Get(), &entry));
        }
        RemoveDirectoryW(FPath.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The full name of a file in the folder.
    std::wstring operator/(const std::wstring& name) const { return FPath + name; }

private:
    std::wstring FPath;
};

inline bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The stored value as the profile functions return it, undecoded; "<none>" when missing.
inline std::wstring RawValue(const std::wstring& file, const std::wstring& section, const std::wstring& key) {
    wchar_t buffer[4096];
    DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"<none>", buffer, 4096, file.c_str());
    return std::wstring(buffer, length);
}

inline void WriteRaw(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
    WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

// The "key=value" lines of a section; empty when the section is absent.
inline std::vector<std::wstring> SectionLines(const std::wstring& file, const std::wstring& section) {
    std::vector<wchar_t> buffer(32768);
    DWORD length = GetPrivateProfileSectionW(section.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                             file.c_str());
    std::vector<std::wstring> lines;
    for (DWORD i = 0; i < length;) {
        std::wstring line(buffer.data() + i);
        if (line.empty()) break;
        lines.push_back(line);
        i += static_cast<DWORD>(line.size()) + 1;
    }
    return lines;
}

// The file's bytes, written as they are: a settings file of an earlier version.
inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    forms::FileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The executable's directory with a trailing "\".
inline std::wstring ExeDirectory() {
    wchar_t buffer[MAX_PATH];
    std::wstring path(buffer, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1);
}
