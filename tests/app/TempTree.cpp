#include "TempTree.h"


#include <stdexcept>

TempTree::TempTree(const std::wstring& parent) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = parent.empty() ? std::wstring(temp) : parent;
    static int serial = 0;
    FRoot = base + L"kamdrop-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++serial);
    if (!CreateDirectoryW(FRoot.c_str(), nullptr)) throw std::runtime_error("cannot make a temporary directory");
}

namespace {
// Deletes a folder with everything in it. Files go in the order the listing gives
// them, each by its exact name, which the file system finds at once.
void DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}
}  // namespace

TempTree::~TempTree() { DeleteTree(FRoot); }

std::wstring TempTree::Path(const std::wstring& relative) const {
    return relative.empty() ? FRoot : FRoot + L"\\" + relative;
}

std::wstring TempTree::MakeDirectory(const std::wstring& relative) const {
    std::wstring path = Path(relative);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

FILETIME LocalToFileTime(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME parts{static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
                     static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    FILETIME local, utc;
    SystemTimeToFileTime(&parts, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

void SetLastWriteTime(const std::wstring& path, const FILETIME& time) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open a fixture file");
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

std::wstring TempTree::MakeFile(const std::wstring& relative, int year, int month, int day, int hour, int minute,
                                int second, DWORD attributes) const {
    std::wstring path = Path(relative);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make a fixture file");
    std::string content(relative.begin(), relative.end());
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    SetLastWriteTime(path, LocalToFileTime(year, month, day, hour, minute, second));
    if (attributes != FILE_ATTRIBUTE_NORMAL) SetFileAttributesW(path.c_str(), attributes);
    return path;
}

bool TempTree::Exists(const std::wstring& relative) const {
    return GetFileAttributesW(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TempTree::Content(const std::wstring& relative) const {
    HANDLE file = CreateFileW(Path(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string content;
    char buffer[1 << 16];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) content.append(buffer, read);
    CloseHandle(file);
    return content;
}
