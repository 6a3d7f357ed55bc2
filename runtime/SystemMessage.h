#pragma once
// The system's own text for an error code, e.g. "The file exists."

#include <windows.h>

#include <string>

namespace forms {

std::wstring SystemMessage(DWORD Error);

}  // namespace forms
