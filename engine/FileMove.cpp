#include "engine/FileMove.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <nmmintrin.h>
#define KAMDROP_HARDWARE_CRC 1
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <cwctype>

#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

CopyBlockHook BeforeCopyBlockWritten = nullptr;
MoveStepHook AfterCopyFiled = nullptr;

namespace {

DWORD LastErrorOr(DWORD fallback) {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? fallback : error;
}

std::wstring DirectoryOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

forms::FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
    return forms::FileHandle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
}

// The disk itself, as a move across volumes meets it before it copies anything.
class PresentDisk : public TargetDisk {
public:
    DWORD TargetRefusal(const std::wstring& Target) override {
        if (GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_ALREADY_EXISTS;
        const DWORD error = GetLastError();
        return error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS;
    }
};

// A photo about to leave its volume: deleted through Handle, read through Data. Its dates and
// attributes, and its size, as they were when it was opened (asked of the file alone: what asks
// the volume too costs Wine a trip to another process).
struct SourceFile {
    forms::FileHandle Handle;
    // The file a link points to, read for the copy; none when the photo is no link.
    forms::FileHandle Target;
    FILE_BASIC_INFO Basic{};
    LARGE_INTEGER Size{};
    HANDLE Data() const { return Target ? Target.Get() : Handle.Get(); }
};

DWORD OpenSource(const std::wstring& path, SourceFile& source) {
    // Delete access now: what cannot be deleted is found before anything is copied. Others may
    // read it meanwhile, but neither write to it nor delete or rename it. A link is opened as
    // itself: it is what leaves the card, never the file it points to.
    constexpr DWORD kFlags = FILE_FLAG_SEQUENTIAL_SCAN;
    source.Handle = OpenFile(path, GENERIC_READ | DELETE, FILE_SHARE_READ, kFlags | FILE_FLAG_OPEN_REPARSE_POINT);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!source.Handle ||
        !GetFileInformationByHandleEx(source.Handle.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return LastErrorOr(ERROR_OPEN_FAILED);
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK) {
            // Its bytes are those of the file it points to, which may lie outside the card and stays.
            source.Target = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, kFlags);
            if (!source.Target) return LastErrorOr(ERROR_OPEN_FAILED);
        } else {
            // Any other kind of reparse point holds the file's own data: opened as any file.
            source.Handle = OpenFile(path, GENERIC_READ | DELETE, FILE_SHARE_READ, kFlags);
            if (!source.Handle) return LastErrorOr(ERROR_OPEN_FAILED);
        }
    }
    if (!GetFileInformationByHandleEx(source.Data(), FileBasicInfo, &source.Basic, sizeof(source.Basic)) ||
        !GetFileSizeEx(source.Data(), &source.Size))
        return LastErrorOr(ERROR_OPEN_FAILED);
    // A protected photo (a camera's "protect" flag) stays on its card: its copy would have to go again.
    if ((tag.FileAttributes | source.Basic.FileAttributes) & FILE_ATTRIBUTE_READONLY) return ERROR_FILE_READ_ONLY;
    return ERROR_SUCCESS;
}

// Whether the photo is still as it was when it was opened (a system that enforces no sharing, a
// share written from elsewhere): only the file that was copied may be deleted.
bool SourceChanged(const SourceFile& source) {
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    return !GetFileInformationByHandleEx(source.Data(), FileBasicInfo, &basic, sizeof(basic)) ||
           !GetFileSizeEx(source.Data(), &size) || size.QuadPart != source.Size.QuadPart ||
           basic.LastWriteTime.QuadPart != source.Basic.LastWriteTime.QuadPart;
}

// The volume a directory lies on: its mount point as the system names it, with the volume's
// serial number where the system gives one. Empty when the system cannot tell.
std::wstring VolumeKey(const std::wstring& directory) {
    wchar_t mount[MAX_PATH + 1];
    if (directory.empty() || !GetVolumePathNameW(directory.c_str(), mount, MAX_PATH + 1)) return {};
    DWORD serial = 0;
    const bool known = GetVolumeInformationW(mount, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    return PathKey(mount) + L"|" + (known ? std::to_wstring(serial) : std::wstring(L"?"));
}

}  // namespace

DWORD TargetDisk::SpaceRefusal(const std::wstring&, uint64_t) { return ERROR_SUCCESS; }

FileMover::FileMover(CopyWatch Watch) : FWatch(std::move(Watch)) {}

const std::wstring& FileMover::VolumeOf(const std::wstring& Directory, int Slot) {
    if (Directory != FDirectories[Slot]) {
        FDirectories[Slot] = Directory;
        FVolumes[Slot] = VolumeKey(Directory);
    }
    return FVolumes[Slot];
}

// A rename where both lie on one volume as far as the system tells; otherwise, and where it
// cannot tell, a copy (which is right on one volume too). A plan and a move decide alike.
FileMover::Way FileMover::WayOf(const std::wstring& Source, const std::wstring& Target) {
    if (SamePath(Source, Target)) return Way::InPlace;
    const std::wstring& from = VolumeOf(DirectoryOf(Source), 0);
    const std::wstring& to = VolumeOf(DirectoryOf(Target), 1);
    return !from.empty() && from == to ? Way::Rename : Way::Copy;
}

DWORD FileMover::Check(const std::wstring& Source, const std::wstring& Target, TargetDisk& Disk) {
    if (DWORD refusal = TargetNameRefusal(Target)) return refusal;
    const Way way = WayOf(Source, Target);
    if (way == Way::InPlace) return ERROR_SUCCESS;
    if (DWORD refusal = Disk.TargetRefusal(Target)) return refusal;
    if (way == Way::Copy) {
        SourceFile source;
        if (DWORD refusal = OpenSource(Source, source)) return refusal;
        return Disk.SpaceRefusal(Target, static_cast<uint64_t>(source.Size.QuadPart));
    }
    return ERROR_SUCCESS;
}

DWORD FileMover::Move(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover) {
    if (Leftover) Leftover->clear();
    if (DWORD refusal = TargetNameRefusal(Target)) return refusal;
    switch (WayOf(Source, Target)) {
        case Way::InPlace:
            // Already under its new name, or in another letter case: a rename changes the case alone.
            if (Source == Target || MoveFileExW(Source.c_str(), Target.c_str(), 0)) return ERROR_SUCCESS;
            return LastErrorOr(ERROR_GEN_FAILURE);
        case Way::Rename: {
            // Nothing is copied, so nothing can be half done; the rename refuses a folder that has
            // gone and a name taken, as a plan does.
            if (MoveFileExW(Source.c_str(), Target.c_str(), 0)) return ERROR_SUCCESS;
            const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
            if (error != ERROR_NOT_SAME_DEVICE) return error;
            break;
        }
        case Way::Copy:
            break;
    }
    return CopyVerifiedThenDelete(Source, Target, Leftover);
}

// Copies Size bytes of Source to Copy, returning the checksum of what was read.
DWORD FileMover::CopyBytes(HANDLE Source, uint64_t Size, VerifiedCopy& Copy, uint32_t& Checksum) {
    CopyBlock block;
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    Checksum = 0;
    uint64_t done = 0;
    for (;;) {
        if (FWatch && FWatch(CopyProgress{done, Size, false})) return ERROR_CANCELLED;
        DWORD read = 0;
        if (!ReadFile(Source, block.Data(), kCopyBlockSize, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
        if (read == 0) break;
        Checksum = Crc32c(Checksum, block.Data(), read);
        done += read;
        if (BeforeCopyBlockWritten) BeforeCopyBlockWritten(block.Data(), read);
        if (DWORD error = Copy.Write(block.Data(), read)) return error;
    }
    // Fewer or more bytes than the photo had when it was opened: it changed on the way.
    return done == Size ? ERROR_SUCCESS : ERROR_FILE_INVALID;
}

// The copy across volumes. On any failure the photo stays where it was and the file this move
// made goes again; one that cannot be removed is named in Leftover, never left unsaid.
DWORD FileMover::CopyVerifiedThenDelete(const std::wstring& Source, const std::wstring& Target,
                                        std::wstring* Leftover) {
    // Refused before anything is copied, as a rename refuses it, and as a plan does.
    PresentDisk disk;
    if (DWORD refusal = disk.TargetRefusal(Target)) return refusal;
    SourceFile source;
    if (DWORD refusal = OpenSource(Source, source)) return refusal;

    VerifiedCopy copy;
    if (DWORD error = copy.Create(DirectoryOf(Target))) return error;
    // The photo stays where it was, once: the file this move made goes again, or is reported.
    auto failed = [&](DWORD error) {
        const std::wstring path = copy.Path();
        if (!copy.Remove() && Leftover) *Leftover = path;
        return error;
    };
    const uint64_t size = static_cast<uint64_t>(source.Size.QuadPart);
    uint32_t checksum = 0;
    if (DWORD error = CopyBytes(source.Data(), size, copy, checksum)) return failed(error);
    if (DWORD error = copy.Finish(source.Basic)) return failed(error);
    if (DWORD error = copy.Verify(checksum, size, FWatch)) return failed(error);
    if (DWORD error = copy.File(Target)) return failed(error);
    if (AfterCopyFiled) AfterCopyFiled();

    if (SourceChanged(source)) return failed(ERROR_FILE_INVALID);
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(source.Handle.Get(), FileDispositionInfo, &disposition, sizeof(disposition)))
        return failed(LastErrorOr(ERROR_ACCESS_DENIED));
    // Deleted as its handle closes: the very file that was copied, whatever took its name.
    return ERROR_SUCCESS;
}

namespace {

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
// so that the checksum costs the copy little. One instruction waits for the one
// before, so long data goes in three lanes at once, whose registers are then
// joined: a register carried over n zero bytes is a linear map of it, which
// four tables of 256 entries apply for the lane's length.
constexpr size_t kLane = 4096;

// A linear map of 32-bit registers over GF(2): column i is the image of bit i.
using Gf2Map = std::array<uint32_t, 32>;

uint32_t Apply(const Gf2Map& map, uint32_t value) {
    uint32_t image = 0;
    for (int bit = 0; value; ++bit, value >>= 1)
        if (value & 1) image ^= map[bit];
    return image;
}

// first, then second.
Gf2Map Compose(const Gf2Map& first, const Gf2Map& second) {
    Gf2Map result;
    for (int bit = 0; bit < 32; ++bit) result[bit] = Apply(second, first[bit]);
    return result;
}

// The register carried over kLane zero bytes, as four tables of a byte each.
std::array<std::array<uint32_t, 256>, 4> MakeLaneShift() {
    Gf2Map step;  // one zero bit: the register shifts right, bit 0 brings in the polynomial
    step[0] = 0x82F63B78u;
    for (int bit = 1; bit < 32; ++bit) step[bit] = 1u << (bit - 1);
    Gf2Map shift;
    for (int bit = 0; bit < 32; ++bit) shift[bit] = 1u << bit;
    for (size_t bits = 8 * kLane; bits; bits >>= 1, step = Compose(step, step))
        if (bits & 1) shift = Compose(shift, step);
    std::array<std::array<uint32_t, 256>, 4> tables{};
    for (int byte = 0; byte < 4; ++byte)
        for (uint32_t value = 0; value < 256; ++value) tables[byte][value] = Apply(shift, value << (8 * byte));
    return tables;
}

uint32_t OverLane(uint32_t crc) {
    static const auto tables = MakeLaneShift();
    return tables[0][crc & 0xFF] ^ tables[1][(crc >> 8) & 0xFF] ^ tables[2][(crc >> 16) & 0xFF] ^ tables[3][crc >> 24];
}

#ifdef __x86_64__
using CrcWord = uint64_t;
__attribute__((target("sse4.2"))) inline uint32_t CrcStep(uint32_t crc, CrcWord word) {
    return static_cast<uint32_t>(_mm_crc32_u64(crc, word));
}
#else
using CrcWord = uint32_t;
__attribute__((target("sse4.2"))) inline uint32_t CrcStep(uint32_t crc, CrcWord word) {
    return _mm_crc32_u32(crc, word);
}
#endif

inline CrcWord LoadWord(const unsigned char* bytes) {
    CrcWord word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

__attribute__((target("sse4.2"))) uint32_t Crc32cByProcessor(uint32_t crc, const unsigned char* bytes,
                                                              size_t size) {
    for (; size >= 3 * kLane; bytes += 3 * kLane, size -= 3 * kLane) {
        uint32_t first = crc, second = 0, third = 0;
        for (size_t at = 0; at < kLane; at += sizeof(CrcWord)) {
            first = CrcStep(first, LoadWord(bytes + at));
            second = CrcStep(second, LoadWord(bytes + kLane + at));
            third = CrcStep(third, LoadWord(bytes + 2 * kLane + at));
        }
        crc = OverLane(OverLane(first) ^ second) ^ third;
    }
    for (; size >= sizeof(CrcWord); bytes += sizeof(CrcWord), size -= sizeof(CrcWord))
        crc = CrcStep(crc, LoadWord(bytes));
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
    // Any letter case: a copy renamed by a tool that upper-cases names is still a leftover.
    const std::wstring name = forms::AsciiLowerCase(FileName);
    if (name.size() != 15 || name.compare(0, 4, L"~kd-") != 0 || name.compare(10, 5, L".part") != 0)
        return false;
    for (size_t i = 4; i < 10; ++i)
        if (!iswxdigit(name[i])) return false;
    return true;
}

std::wstring PathKey(const std::wstring& Path) {
    std::wstring upper(Path.size(), L'\0');
    if (Path.empty() || LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Path.c_str(), static_cast<int>(Path.size()),
                                     upper.data(), static_cast<int>(upper.size())) != static_cast<int>(Path.size())) {
        upper = Path;
        for (wchar_t& character : upper)
            if (character >= L'a' && character <= L'z') character = static_cast<wchar_t>(character - L'a' + L'A');
    }
    return upper;
}

bool SamePath(const std::wstring& Path1, const std::wstring& Path2) {
    return Path1.size() == Path2.size() && PathKey(Path1) == PathKey(Path2);
}

DWORD TargetNameRefusal(const std::wstring& Target) {
    const size_t slash = Target.find_last_of(L'\\');
    const std::wstring_view name = slash == std::wstring::npos ? std::wstring_view(Target)
                                                               : std::wstring_view(Target).substr(slash + 1);
    // What Windows refuses in a name, and a dot or blank at its end, which it would drop
    // (a file would stand under another name than the one reported).
    if (name.empty() || name.find_first_of(L"<>:\"/|?*") != std::wstring_view::npos ||
        std::any_of(name.begin(), name.end(), [](wchar_t character) { return character < 32; }) ||
        name.back() == L'.' || name.back() == L' ')
        return ERROR_INVALID_NAME;
    // A name of a folder entry has at most 255 characters; a plain path fewer than MAX_PATH.
    if (name.size() > 255 || Target.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover) {
    FileMover mover;
    return mover.Move(Source, Target, Leftover);
}

}  // namespace engine
