#include "state/SettingsPlace.h"

#include <windows.h>

#include <shlobj.h>

#include "forms/SystemLibraries.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace state {

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A copy under a temporary name first, so that the user's file is either whole or not there; never over
// a file that another start of the program made meanwhile. The copy takes the original's attributes:
// a read-only one must not stay so.
void StartFrom(const std::wstring& original, const std::wstring& file) {
    const std::wstring temporary = file + L".start";
    if (!CopyFileW(original.c_str(), temporary.c_str(), FALSE)) return;
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(temporary.c_str(), file.c_str(), 0)) DeleteFileW(temporary.c_str());
}

}  // namespace

bool FolderAcceptsFiles(const std::wstring& folder) {
    const DWORD process = GetCurrentProcessId();
    for (DWORD attempt = 0; attempt < 16; ++attempt) {
        const std::wstring name =
            folder + forms::Format(L"~write-test-%lu-%lu.tmp", static_cast<unsigned long>(process),
                                   static_cast<unsigned long>(GetTickCount() + attempt));
        forms::FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN |
                                               FILE_FLAG_DELETE_ON_CLOSE,
                                           nullptr));
        if (file) return true;
        // Only a name that is taken is worth another try; anything else is the folder's answer.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::wstring SettingsFilePlace(const std::wstring& programFolder, const std::wstring& fileName,
                               bool programFolderWritable, const std::function<std::wstring()>& userFolder) {
    const std::wstring besideProgram = programFolder + fileName;
    if (programFolderWritable) return besideProgram;
    std::wstring root = userFolder();
    // Nowhere better: every save there reports that it failed, as before.
    if (root.empty()) return besideProgram;
    if (root.back() != L'\\') root += L'\\';
    const size_t dot = fileName.find_last_of(L'.');
    const std::wstring folder = root + (dot == std::wstring::npos ? fileName : fileName.substr(0, dot)) + L"\\";
    // A failure here shows at the first save, in its error box.
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring file = folder + fileName;
    if (!Exists(file) && IsFile(besideProgram)) StartFrom(besideProgram, file);
    return file;
}

std::wstring UserApplicationDataFolder() {
    using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    // From the system folder, as every shell call of the program: never a shell32.dll beside it.
    const auto getFolderPath = forms::SystemFunction<GetFolderPath>(L"shell32.dll", "SHGetFolderPathW");
    if (!getFolderPath) return {};
    wchar_t path[MAX_PATH] = {};
    if (FAILED(getFolderPath(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

}  // namespace state
