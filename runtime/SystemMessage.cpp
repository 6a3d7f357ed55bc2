#include "runtime/SystemMessage.h"

#include "runtime/SysUtils.h"

namespace forms {

std::wstring SystemMessage(DWORD Error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0,
        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? Trim(std::wstring_view(text, length)) : std::wstring();
    if (text) LocalFree(text);
    return message.empty() ? Format(L"System error %lu.", Error) : message;
}

}  // namespace forms
