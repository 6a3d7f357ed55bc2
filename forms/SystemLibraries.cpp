#include "forms/SystemLibraries.h"

#include <string>

namespace forms {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Present on every supported system but Windows 7 without its loader update,
// so it is looked up rather than imported.
SetDefaultDllDirectoriesFunction SetDefaultDllDirectoriesCall() {
    static const auto call = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    return call;
}

std::wstring SystemFolderPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L"\\" + name;
}

}  // namespace

bool RestrictLibrarySearchToSystemFolder() {
    // The current directory leaves the search in any case (it may be a card or a share).
    SetDllDirectoryW(L"");
    auto restrict = SetDefaultDllDirectoriesCall();
    return restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE SystemLibrary(const wchar_t* name) {
    if (SetDefaultDllDirectoriesCall()) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without the restricted search: the full path, and what that DLL needs from its own folder.
    const std::wstring path = SystemFolderPath(name);
    return path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace forms
