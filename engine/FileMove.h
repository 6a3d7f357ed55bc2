#pragma once
// Moving one file to its new name without ever overwriting it or leaving half a file.

#include <windows.h>

#include <cstdint>
#include <string>

namespace engine {

// Moves Source to Target, never over an existing file. On one volume this is a
// rename. Across volumes the file is copied to a temporary name beside Target
// (TemporaryCopyName), written through with a checksum of what was read, read
// back and compared, renamed to Target, and only then is Source deleted.
// ERROR_SUCCESS when moved; otherwise the system's error code of why not (ERROR_CRC
// when the copy read back differs): Source is where it was, and neither Target
// nor a temporary file of this move is left.
DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target);

// Whether a file name is one this program gives a copy in progress: "~kd-" with
// six hexadecimal digits and ".part" (no longer than any photo's new name, so a
// name near the path limit still fits).
bool IsTemporaryCopyName(const std::wstring& FileName);

// CRC-32C of Size bytes, continuing from Crc (0 to start).
uint32_t Crc32c(uint32_t Crc, const void* Data, size_t Size);

// For tests: called with every block after its checksum was taken and before it
// is written to the temporary copy, so a test can spoil what reaches the disk.
using CopyBlockHook = void (*)(char* Block, DWORD Size);
extern CopyBlockHook BeforeCopyBlockWritten;

}  // namespace engine
