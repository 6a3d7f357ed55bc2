#pragma once
// Moving one file to its new name without ever overwriting or leaving half a file.

#include <windows.h>

#include <string>

namespace engine {

// Moves Source to Target (copying across volumes, written through, never over an
// existing file). ERROR_SUCCESS when moved; otherwise the system's error code, the
// source is where it was and no partly written target is left.
DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target);

}  // namespace engine
