#include "engine/VerifiedCopy.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "engine/Crc32c.h"
#include "engine/FileMove.h"

namespace engine {

TemporaryNumberHook NextTemporaryNumber = nullptr;

DWORD LastErrorOr(DWORD Fallback) {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? Fallback : error;
}

std::wstring DirectoryOf(const std::wstring& Path) {
    const size_t slash = Path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : Path.substr(0, slash + 1);
}

namespace {

// A large copy is flushed this often while it is written: one flush of a whole
// video at its end is one long wait (under Wine every other request of the
// program waits for it), in which a stop could not be seen.
constexpr uint64_t kFlushPiece = 32ull << 20;
// A file that cannot be removed at once (a virus scanner, a viewer has it
// open) is tried again for about a second before it is reported.
constexpr int kRemoveAttempts = 10;
constexpr DWORD kRemoveRetryMs = 100;

// The name of a file as the file system's rename through a handle takes it:
// the full path in the system's own form.
std::wstring SystemPathOf(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    size = size ? GetFullPathNameW(path.c_str(), size, full.data(), nullptr) : 0;
    if (size == 0 || size >= full.size()) return {};
    full.resize(size);
    if (full.compare(0, 4, L"\\\\?\\") == 0) return L"\\??\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

}  // namespace

CopyBlock::CopyBlock()
    : FData(static_cast<char*>(VirtualAlloc(nullptr, kCopyBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}

CopyBlock::~CopyBlock() {
    if (FData) VirtualFree(FData, 0, MEM_RELEASE);
}

VerifiedCopy::~VerifiedCopy() {
    if (!FFiled) Remove();
}

DWORD VerifiedCopy::Create(const std::wstring& Directory) {
    static DWORD counter = GetTickCount() ^ (GetCurrentProcessId() << 12);
    for (int attempt = 0; attempt < 64; ++attempt) {
        const unsigned number = NextTemporaryNumber ? NextTemporaryNumber() : ++counter * 2654435761u;
        wchar_t name[16];
        swprintf(name, 16, L"~kd-%06x.part", number & 0xFFFFFF);
        FPath = Directory + name;
        // Delete access from the start: the copy is renamed and removed through this handle, so
        // that no other file that took its name meanwhile is ever touched. Others may read it.
        FFile.Reset(CreateFileW(FPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (FFile) return ERROR_SUCCESS;
        const DWORD error = LastErrorOr(ERROR_CANNOT_MAKE);
        // A name taken, by a leftover of an earlier run say, is passed over for the next.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            FPath.clear();
            return error;
        }
    }
    FPath.clear();
    return ERROR_CANNOT_MAKE;
}

DWORD VerifiedCopy::Write(const char* Block, DWORD Size) {
    DWORD written = 0;
    if (!WriteFile(FFile.Get(), Block, Size, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
    if (written != Size) return ERROR_DISK_FULL;
    FUnflushed += Size;
    if (FUnflushed >= kFlushPiece) {
        FUnflushed = 0;
        if (!FlushFileBuffers(FFile.Get())) return LastErrorOr(ERROR_WRITE_FAULT);
    }
    return ERROR_SUCCESS;
}

DWORD VerifiedCopy::Finish(const FILE_BASIC_INFO& Basic) {
    // One flush puts the rest of the copy on the disk before it is read back (cheaper than writing
    // every block through). The dates, the last write naming the photo in later runs, as a move
    // keeps them, with the attributes.
    FILE_BASIC_INFO basic = Basic;
    basic.ChangeTime.QuadPart = 0;
    basic.FileAttributes &= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    if (!FlushFileBuffers(FFile.Get()) ||
        !SetFileInformationByHandle(FFile.Get(), FileBasicInfo, &basic, sizeof(basic)))
        return LastErrorOr(ERROR_WRITE_FAULT);
    FUnflushed = 0;
    return ERROR_SUCCESS;
}

DWORD VerifiedCopy::Verify(uint32_t Checksum, uint64_t Size, const CopyWatch& Watch) {
    // A second handle to the same file, which reads past the cache where the system allows it
    // (Windows does; Wine reads through its cache all the same). Some file systems, shares among
    // them, refuse to bypass the cache.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    forms::FileHandle reader(
        ReOpenFile(FFile.Get(), GENERIC_READ, kShareAll, FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN));
    if (!reader && GetLastError() == ERROR_INVALID_PARAMETER)
        reader.Reset(ReOpenFile(FFile.Get(), GENERIC_READ, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!reader) return LastErrorOr(ERROR_OPEN_FAILED);
    uint32_t checksum = 0;
    uint64_t size = 0;
    if (DWORD error = ChecksumOfFile(reader.Get(), checksum, size, [&](const CopyProgress& progress) {
            return Watch && Watch(CopyProgress{progress.Done, Size, true});
        }))
        return error;
    return checksum == Checksum && size == Size ? ERROR_SUCCESS : ERROR_CRC;
}

DWORD ChecksumOfFile(HANDLE File, uint32_t& Checksum, uint64_t& Size, const CopyWatch& Watch) {
    CopyBlock block;
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    Checksum = 0;
    Size = 0;
    for (;;) {
        if (Watch && Watch(CopyProgress{Size, 0, true})) return ERROR_CANCELLED;
        DWORD read = 0;
        if (!ReadFile(File, block.Data(), kCopyBlockSize, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
        Checksum = Crc32c(Checksum, block.Data(), read);
        Size += read;
        // A short block is the end: past the cache, reads must start on a sector boundary.
        if (read < kCopyBlockSize) break;
    }
    return ERROR_SUCCESS;
}

DWORD HoldIfSameBytes(const std::wstring& Path, uint32_t Checksum, uint64_t Size, forms::FileHandle& Held) {
    Held.Reset(CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!Held) {
        const DWORD error = LastErrorOr(ERROR_ALREADY_EXISTS);
        // A folder under the name, or one that went meanwhile: the name is still not the photo's.
        return error == ERROR_ACCESS_DENIED || error == ERROR_FILE_NOT_FOUND ? ERROR_ALREADY_EXISTS : error;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(Held.Get(), &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        ((static_cast<uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow) != Size) {
        Held.Reset();
        return ERROR_ALREADY_EXISTS;
    }
    uint32_t checksum = 0;
    uint64_t size = 0;
    if (DWORD error = ChecksumOfFile(Held.Get(), checksum, size, {})) {
        Held.Reset();
        return error;
    }
    if (checksum == Checksum && size == Size) return ERROR_SUCCESS;
    Held.Reset();
    return ERROR_ALREADY_EXISTS;
}

DWORD RenameOpenFile(HANDLE File, const std::wstring& Target) {
    const std::wstring systemPath = SystemPathOf(Target);
    if (systemPath.empty()) return ERROR_INVALID_NAME;
    std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + (systemPath.size() + 1) * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;  // never over a file that took the name meanwhile
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(systemPath.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, systemPath.c_str(), (systemPath.size() + 1) * sizeof(wchar_t));
    if (SetFileInformationByHandle(File, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
        return ERROR_SUCCESS;
    const DWORD error = LastErrorOr(ERROR_INVALID_NAME);
    return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED
               ? ERROR_NOT_SUPPORTED
               : error;
}

void FlushDirectoryOf(const std::wstring& Path) {
    forms::FileHandle folder(CreateFileW(DirectoryOf(Path).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder) FlushFileBuffers(folder.Get());
}

DWORD VerifiedCopy::File(const std::wstring& Target) {
    if (const DWORD error = RenameOpenFile(FFile.Get(), Target)) {
        if (error != ERROR_NOT_SUPPORTED) return error;
        // A file system that renames no open file: by name, as a move does, once the handle is closed.
        FFile.Reset();
        if (!MoveFileExW(FPath.c_str(), Target.c_str(), MOVEFILE_WRITE_THROUGH)) return LastErrorOr(ERROR_ALREADY_EXISTS);
    }
    FPath = Target;
    FFiled = true;
    // The new name lasts before the photo goes from its card: a power cut in between would leave
    // the photo only under its temporary name. Where the system does not flush a folder, the
    // rename's own write-through is what there is.
    FlushDirectoryOf(Target);
    return ERROR_SUCCESS;
}

bool VerifiedCopy::Remove() {
    if (FPath.empty()) return true;
    // Deleted through the handle, the file goes when the last program that reads it lets go.
    bool deleted = false;
    if (FFile) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        deleted = SetFileInformationByHandle(FFile.Get(), FileDispositionInfo, &disposition, sizeof(disposition));
        FFile.Reset();
    }
    // Where the system refuses the delete through the handle (Wine, once the file was renamed
    // through it) or the handle went with a rename by name, the name is removed as before.
    for (int attempt = 1; !deleted; ++attempt) {
        deleted = DeleteFileW(FPath.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
        if (deleted) break;
        if (attempt == kRemoveAttempts) return false;
        Sleep(kRemoveRetryMs);
    }
    FPath.clear();
    FFiled = false;
    return true;
}

}  // namespace engine
