// A stranger's DLL planted beside the program under the name of a system DLL
// (version.dll, uxtheme.dll): it leaves a mark file beside itself when it loads,
// and exports what the program would import, so loading it alone shows.

#include <windows.h>

#include <string>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module, path, MAX_PATH);
        const std::wstring mark = std::wstring(path) + L".loaded";
        HANDLE file = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}

#define PLANTED extern "C" __declspec(dllexport)

PLANTED DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return 0; }
PLANTED BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
PLANTED BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }

PLANTED BOOL WINAPI IsAppThemed() { return FALSE; }
PLANTED BOOL WINAPI IsThemeActive() { return FALSE; }
PLANTED HANDLE WINAPI OpenThemeData(HWND, LPCWSTR) { return nullptr; }
PLANTED HRESULT WINAPI CloseThemeData(HANDLE) { return E_FAIL; }
PLANTED HRESULT WINAPI DrawThemeBackground(HANDLE, HDC, int, int, const RECT*, const RECT*) { return E_FAIL; }
PLANTED HRESULT WINAPI GetThemeTransitionDuration(HANDLE, int, int, int, int, DWORD*) { return E_FAIL; }
PLANTED HRESULT WINAPI BufferedPaintInit() { return E_FAIL; }
PLANTED HRESULT WINAPI BufferedPaintUnInit() { return E_FAIL; }
PLANTED BOOL WINAPI BufferedPaintRenderAnimation(HWND, HDC) { return FALSE; }
PLANTED HANDLE WINAPI BeginBufferedAnimation(HWND, HDC, const RECT*, int, void*, void*, HDC*, HDC*) { return nullptr; }
PLANTED HRESULT WINAPI EndBufferedAnimation(HANDLE, BOOL) { return E_FAIL; }
