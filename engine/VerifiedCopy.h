#pragma once
// One destination of a photo's copy across volumes: a temporary file beside the
// photo's new name, written with what was read from the card, flushed, read back
// and compared with the checksum of that read, and only then filed under the new
// name, never over a file that has it. Until it is filed, and for the undo after,
// the copy is held open and removed through its own handle, so that nothing but
// the file this copy made is ever removed.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "runtime/Handles.h"

namespace engine {

// How far the copy in hand has come: Done of Size bytes written, or read back
// when Verifying.
struct CopyProgress {
    uint64_t Done = 0;
    uint64_t Size = 0;
    bool Verifying = false;
};

// Asked block by block while a file is copied and read back: true abandons the
// copy in hand.
using CopyWatch = std::function<bool(const CopyProgress&)>;

// Blocks small enough to stay in the processor's cache between the read, the
// checksum and the write: under Wine a copy in 64 KiB blocks took two thirds of
// the time of one in 1 MiB blocks.
constexpr DWORD kCopyBlockSize = 1 << 16;

// One block of a copy, page-aligned as reading past the cache asks.
class CopyBlock {
public:
    CopyBlock();
    ~CopyBlock();
    CopyBlock(const CopyBlock&) = delete;
    CopyBlock& operator=(const CopyBlock&) = delete;
    char* Data() const { return FData; }
    explicit operator bool() const { return FData != nullptr; }

private:
    char* FData;
};

class VerifiedCopy {
public:
    VerifiedCopy() = default;
    // A copy neither filed nor removed goes with the object.
    ~VerifiedCopy();
    VerifiedCopy(const VerifiedCopy&) = delete;
    VerifiedCopy& operator=(const VerifiedCopy&) = delete;

    // Makes a new, empty temporary file in Directory (ending with "\"), under a
    // name no other file has (TemporaryCopyName).
    DWORD Create(const std::wstring& Directory);
    // Appends a block. Every few tens of MiB the copy so far is flushed, so that
    // its last flush is short: a console being closed leaves a program seconds.
    DWORD Write(const char* Block, DWORD Size);
    // Flushes the whole copy, then gives it the photo's dates and attributes
    // (after the flush, so that no late write moves them).
    DWORD Finish(const FILE_BASIC_INFO& Basic);
    // Reads the copy back (past the cache where the system allows it) and
    // compares it with the checksum and size of what was read from the card:
    // ERROR_CRC when they differ.
    DWORD Verify(uint32_t Checksum, uint64_t Size, const CopyWatch& Watch);
    // Gives the copy its new name, never over an existing file, and makes the
    // name last (the folder flushed) before the photo may leave its card.
    DWORD File(const std::wstring& Target);
    // Removes the copy, under its temporary or its new name: false when it
    // still stands after about a second of trying (another program holds it).
    bool Remove();

    // Where the copy stands: its temporary name, or its new name once filed.
    const std::wstring& Path() const { return FPath; }
    bool Filed() const { return FFiled; }

private:
    forms::FileHandle FFile;
    std::wstring FPath;
    uint64_t FUnflushed = 0;
    bool FFiled = false;
};

// Renames an open file (opened with delete access) to Target, never over an
// existing file: the very file the handle holds, whatever took its old name.
// ERROR_NOT_SUPPORTED where the file system renames no open file.
DWORD RenameOpenFile(HANDLE File, const std::wstring& Target);
// Makes the names in Path's folder last: flushes the folder where the system
// allows it.
void FlushDirectoryOf(const std::wstring& Path);

// Reads File from where it stands to its end: the checksum and the count of its
// bytes. Watch is asked block by block, as Verify asks it.
DWORD ChecksumOfFile(HANDLE File, uint32_t& Checksum, uint64_t& Size, const CopyWatch& Watch);

// Whether the file under Path holds exactly Size bytes with Checksum: opened
// into Held, which lets others read it but neither change, rename nor delete it
// while it is held. ERROR_ALREADY_EXISTS when it holds anything else (or is no
// file), another code when it cannot be read.
DWORD HoldIfSameBytes(const std::wstring& Path, uint32_t Checksum, uint64_t Size, forms::FileHandle& Held);

// The last error of the system, or Fallback where a failed call left none.
DWORD LastErrorOr(DWORD Fallback);
// The folder of Path with its "\\" at the end; empty when Path names none.
std::wstring DirectoryOf(const std::wstring& Path);

// For tests: the numbers of temporary names, in place of the program's own.
using TemporaryNumberHook = unsigned (*)();
extern TemporaryNumberHook NextTemporaryNumber;

}  // namespace engine
