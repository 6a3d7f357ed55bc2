#pragma once
// The system's own text for an error code, asked of the system here, so that a
// test pins what the program should say without asking the program's code.

#include <windows.h>

#include <string>

inline std::wstring SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    if (text) LocalFree(text);
    while (!message.empty() && message.back() <= L' ') message.pop_back();
    return message;
}
