#include "engine/FileMove.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <nmmintrin.h>
#define KAMDROP_HARDWARE_CRC 1
#endif

#include <array>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>

namespace engine {

CopyBlockHook BeforeCopyBlockWritten = nullptr;

namespace {

// Blocks small enough to stay in the processor's cache between the read, the checksum and the
// write: under Wine a copy in 64 KiB blocks took two thirds of the time of one in 1 MiB blocks.
constexpr DWORD kBlockSize = 1 << 16;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    HANDLE handle = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
    return FileHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Page-aligned, as reading past the cache asks of its buffer.
struct BlockFree {
    void operator()(char* block) const { VirtualFree(block, 0, MEM_RELEASE); }
};
using Block = std::unique_ptr<char, BlockFree>;

Block NewBlock() {
    return Block(static_cast<char*>(VirtualAlloc(nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
}

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? fallback : error;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Copies source's bytes to target, returning the checksum of what was read.
DWORD CopyBytes(HANDLE source, HANDLE target, uint32_t& checksum, ULONGLONG& size) {
    Block block = NewBlock();
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    checksum = 0;
    size = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, block.get(), kBlockSize, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
        if (read == 0) return ERROR_SUCCESS;
        checksum = Crc32c(checksum, block.get(), read);
        size += read;
        if (BeforeCopyBlockWritten) BeforeCopyBlockWritten(block.get(), read);
        DWORD written = 0;
        if (!WriteFile(target, block.get(), read, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
        if (written != read) return ERROR_DISK_FULL;
    }
}

// The checksum of the copy as the disk gives it back: read past the cache where
// the system allows it (Windows does; Wine reads through its cache all the same).
DWORD ReadBackChecksum(const std::wstring& path, uint32_t& checksum, ULONGLONG& size) {
    FileHandle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                               FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN);
    // Some file systems (shares among them) refuse to bypass the cache.
    if (!file && GetLastError() == ERROR_INVALID_PARAMETER)
        file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) return LastErrorOr(ERROR_OPEN_FAILED);
    Block block = NewBlock();
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    checksum = 0;
    size = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), block.get(), kBlockSize, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
        checksum = Crc32c(checksum, block.get(), read);
        size += read;
        // A short block is the end: past the cache, reads must start on a sector boundary.
        if (read < kBlockSize) return ERROR_SUCCESS;
    }
}

// A new, empty file under a temporary name in directory, made by this call alone.
FileHandle CreateTemporaryCopy(const std::wstring& directory, std::wstring& path) {
    static DWORD counter = GetTickCount() ^ (GetCurrentProcessId() << 12);
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[16];
        swprintf(name, 16, L"~kd-%06x.part", static_cast<unsigned>(++counter * 2654435761u) & 0xFFFFFF);
        path = directory + name;
        FileHandle file = OpenFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN);
        if (file || (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)) return file;
    }
    return nullptr;
}

// The copy across volumes; on any failure the temporary file is gone again and Source untouched.
DWORD CopyVerifiedThenDelete(const std::wstring& Source, const std::wstring& Target) {
    // Refused before anything is copied, as a move refuses it.
    if (GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_ALREADY_EXISTS;
    FileHandle source = OpenFile(Source, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!source) return LastErrorOr(ERROR_OPEN_FAILED);
    FILETIME created, accessed, written;
    if (!GetFileTime(source.get(), &created, &accessed, &written)) return LastErrorOr(ERROR_READ_FAULT);
    const DWORD attributes = GetFileAttributesW(Source.c_str());

    std::wstring temporary;
    FileHandle copy = CreateTemporaryCopy(DirectoryOf(Target), temporary);
    if (!copy) return LastErrorOr(ERROR_CANNOT_MAKE);
    auto failed = [&](DWORD error) {
        copy.reset();
        DeleteFileW(temporary.c_str());
        return error;
    };

    uint32_t checksum = 0;
    ULONGLONG size = 0;
    if (DWORD error = CopyBytes(source.get(), copy.get(), checksum, size)) return failed(error);
    // The names of later runs come from this date, as a move keeps it. One flush puts the whole
    // copy on the disk before it is read back (cheaper than writing every block through).
    if (!SetFileTime(copy.get(), &created, &accessed, &written) || !FlushFileBuffers(copy.get()))
        return failed(LastErrorOr(ERROR_WRITE_FAULT));
    copy.reset();
    source.reset();

    uint32_t readBack = 0;
    ULONGLONG readBackSize = 0;
    if (DWORD error = ReadBackChecksum(temporary, readBack, readBackSize)) return failed(error);
    if (readBack != checksum || readBackSize != size) return failed(ERROR_CRC);

    // Never over a file that took the name meanwhile.
    if (!MoveFileExW(temporary.c_str(), Target.c_str(), MOVEFILE_WRITE_THROUGH))
        return failed(LastErrorOr(ERROR_ALREADY_EXISTS));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)))
        SetFileAttributesW(Target.c_str(), attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                         FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    if (!DeleteFileW(Source.c_str())) {
        // The photo stays where it was, once: the copy this move made goes again.
        const DWORD error = LastErrorOr(ERROR_ACCESS_DENIED);
        SetFileAttributesW(Target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(Target.c_str());
        return error;
    }
    return ERROR_SUCCESS;
}

std::array<std::array<uint32_t, 256>, 8> MakeCrcTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1)));
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int t = 1; t < 8; ++t) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    return tables;
}

}  // namespace

namespace {

uint32_t Crc32cByTables(uint32_t crc, const unsigned char* bytes, size_t size) {
    static const auto tables = MakeCrcTables();
    // Eight bytes a step through eight tables.
    while (size >= 8) {
        const uint32_t low = crc ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        const uint32_t high = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
        crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
              tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
              tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
        bytes += 8;
        size -= 8;
    }
    while (size--) crc = (crc >> 8) ^ tables[0][(crc ^ *bytes++) & 0xFF];
    return crc;
}

#ifdef KAMDROP_HARDWARE_CRC
// The processor's own CRC-32C instruction (SSE 4.2): several times the tables' speed,
// so that the checksum costs the copy little.
__attribute__((target("sse4.2"))) uint32_t Crc32cByProcessor(uint32_t crc, const unsigned char* bytes,
                                                              size_t size) {
#ifdef __x86_64__
    uint64_t wide = crc;
    for (; size >= 8; bytes += 8, size -= 8) {
        uint64_t word;
        std::memcpy(&word, bytes, 8);
        wide = _mm_crc32_u64(wide, word);
    }
    crc = static_cast<uint32_t>(wide);
#else
    for (; size >= 4; bytes += 4, size -= 4) {
        uint32_t word;
        std::memcpy(&word, bytes, 4);
        crc = _mm_crc32_u32(crc, word);
    }
#endif
    for (; size > 0; ++bytes, --size) crc = _mm_crc32_u8(crc, *bytes);
    return crc;
}

bool ProcessorHasCrc32c() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSE4_2);
}
#endif

}  // namespace

uint32_t Crc32c(uint32_t Crc, const void* Data, size_t Size) {
    const auto* bytes = static_cast<const unsigned char*>(Data);
#ifdef KAMDROP_HARDWARE_CRC
    static const bool byProcessor = ProcessorHasCrc32c();
    if (byProcessor) return ~Crc32cByProcessor(~Crc, bytes, Size);
#endif
    return ~Crc32cByTables(~Crc, bytes, Size);
}

bool IsTemporaryCopyName(const std::wstring& FileName) {
    if (FileName.size() != 15 || FileName.compare(0, 4, L"~kd-") != 0 || FileName.compare(10, 5, L".part") != 0)
        return false;
    for (size_t i = 4; i < 10; ++i)
        if (!iswxdigit(FileName[i])) return false;
    return true;
}

DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target) {
    // On one volume a rename: nothing is copied, so nothing can be half done.
    if (MoveFileExW(Source.c_str(), Target.c_str(), 0)) return ERROR_SUCCESS;
    const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
    if (error != ERROR_NOT_SAME_DEVICE) return error;
    return CopyVerifiedThenDelete(Source, Target);
}

}  // namespace engine
