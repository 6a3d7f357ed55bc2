#pragma once
// DLLs of the system, and only from the system folder. A program lives in folders
// that others may write to; a DLL planted beside it must never run inside it.

#include <windows.h>

namespace forms {

// The system folder becomes the only place from which DLLs load: first thing in
// every program, before anything loads a library by name. False where the system
// cannot restrict the search (Windows 7 without its loader update): the DLLs this
// layer loads still come from the system folder, what they load may not.
bool RestrictLibrarySearchToSystemFolder();

// A DLL from the system folder, loaded once and kept; nullptr when it is not there.
HMODULE SystemLibrary(const wchar_t* name);

// A function of a system DLL, or nullptr when the DLL or the function is missing.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = SystemLibrary(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace forms
