#include "library/FileVersionInfo.h"

#include <algorithm>
#include <cstring>

#include "runtime/Classes.h"
#include "forms/SystemLibraries.h"

using namespace forms;

namespace library {

namespace {

// The version library is bound from the system folder, not imported: it is no
// DLL the system always takes from there, so one beside the program would load.
using GetFileVersionInfoSizeFunction = decltype(&::GetFileVersionInfoSizeW);
using GetFileVersionInfoFunction = decltype(&::GetFileVersionInfoW);

GetFileVersionInfoSizeFunction VersionInfoSizeCall() {
    static const auto call = SystemFunction<GetFileVersionInfoSizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    return call;
}

GetFileVersionInfoFunction VersionInfoCall() {
    static const auto call = SystemFunction<GetFileVersionInfoFunction>(L"version.dll", "GetFileVersionInfoW");
    return call;
}

constexpr wchar_t kNoVersionInformation[] = L"File contains no version information";

// One block of a version record: its length, the length of its value, the
// value's type (1 text, 0 binary), its key, its value and its children, each
// part starting on a 4-byte boundary of the record.
struct Block {
    std::wstring Key;
    const BYTE* Value = nullptr;
    size_t ValueBytes = 0;
    bool IsText = false;
    const BYTE* Children = nullptr;
    const BYTE* End = nullptr;
};

const BYTE* AlignFrom(const BYTE* base, const BYTE* at) {
    size_t offset = static_cast<size_t>(at - base);
    return base + ((offset + 3) & ~size_t{3});
}

// Reads the block at `at` that must lie within [at, limit); false when it does not fit.
bool ReadBlock(const BYTE* base, const BYTE* at, const BYTE* limit, Block& block) {
    if (limit - at < 6) return false;
    WORD length, valueLength, type;
    std::memcpy(&length, at, 2);
    std::memcpy(&valueLength, at + 2, 2);
    std::memcpy(&type, at + 4, 2);
    if (length < 6 || length > limit - at) return false;
    block.End = at + length;
    const BYTE* key = at + 6;
    block.Key.clear();
    for (;; key += 2) {
        if (block.End - key < 2) return false;
        wchar_t c;
        std::memcpy(&c, key, 2);
        if (c == L'\0') break;
        block.Key += c;
    }
    block.IsText = type == 1;
    // A text value's length counts characters, a binary one's bytes.
    block.ValueBytes = block.IsText ? size_t{valueLength} * 2 : valueLength;
    block.Value = AlignFrom(base, key + 2);
    if (block.Value > block.End || block.ValueBytes > static_cast<size_t>(block.End - block.Value)) {
        block.Value = block.End;
        block.ValueBytes = 0;
    }
    block.Children = std::min(AlignFrom(base, block.Value + block.ValueBytes), block.End);
    return true;
}

std::wstring TextOf(const Block& block) {
    std::wstring text(block.ValueBytes / 2, L'\0');
    if (!text.empty()) std::memcpy(text.data(), block.Value, text.size() * 2);
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

// The system's message for an error code, as a failed system call reports it.
std::wstring SystemErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? Trim(std::wstring(text, length)) : std::wstring();
    if (text) LocalFree(text);
    return Format(L"System Error.  Code: %lu.\r\n%s", code, message.c_str());
}

bool FileExists(const std::wstring& name) {
    DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TFileVersionInfo::TFileVersionInfo(const std::wstring& FileName) {
    if (!FileExists(FileName)) throw EFileVersionInfoError(Format(L"The file %s does not exist", FileName.c_str()));
    const auto sizeCall = VersionInfoSizeCall();
    const auto infoCall = VersionInfoCall();
    if (!sizeCall || !infoCall) throw EFileVersionInfoError(SystemErrorText(ERROR_MOD_NOT_FOUND));
    DWORD ignored = 0;
    DWORD size = sizeCall(FileName.c_str(), &ignored);
    if (size == 0) throw EFileVersionInfoError(kNoVersionInformation);
    std::vector<BYTE> record(size);
    if (!infoCall(FileName.c_str(), 0, size, record.data()))
        throw EFileVersionInfoError(SystemErrorText(GetLastError()));

    const BYTE* base = record.data();
    Block root;
    if (!ReadBlock(base, base, base + record.size(), root) || !SameText(root.Key, L"VS_VERSION_INFO") ||
        root.ValueBytes != sizeof(VS_FIXEDFILEINFO))
        throw EFileVersionInfoError(kNoVersionInformation);
    std::memcpy(&FFixedInfo, root.Value, sizeof FFixedInfo);
    if (FFixedInfo.dwSignature != 0xFEEF04BD) throw EFileVersionInfoError(kNoVersionInformation);
    ParseChildren(base, root.Children, root.End);
}

// Offsets align to 4 bytes counted from the record's start (base).
void TFileVersionInfo::ParseChildren(const BYTE* base, const BYTE* begin, const BYTE* end) {
    for (const BYTE* at = begin; at < end;) {
        Block child;
        if (!ReadBlock(base, at, end, child)) return;
        Block entry;
        if (SameText(child.Key, L"StringFileInfo")) {
            // String tables, one per language and code page, holding the named texts.
            for (const BYTE* table = child.Children; table < child.End;) {
                Block strings;
                if (!ReadBlock(base, table, child.End, strings)) break;
                for (const BYTE* item = strings.Children; item < strings.End && ReadBlock(base, item, strings.End, entry);
                     item = AlignFrom(base, entry.End))
                    FStrings.emplace_back(entry.Key, TextOf(entry));
                table = AlignFrom(base, strings.End);
            }
        } else if (SameText(child.Key, L"VarFileInfo")) {
            for (const BYTE* item = child.Children; item < child.End && ReadBlock(base, item, child.End, entry);
                 item = AlignFrom(base, entry.End))
                if (SameText(entry.Key, L"Translation"))
                    for (size_t i = 0; i + 4 <= entry.ValueBytes; i += 4) {
                        DWORD translation;
                        std::memcpy(&translation, entry.Value + i, 4);
                        FTranslations.push_back(translation);
                    }
        }
        at = AlignFrom(base, child.End);
    }
}

std::wstring TFileVersionInfo::StringValue(const std::wstring& name) const {
    for (const auto& [key, value] : FStrings)
        if (SameText(key, name)) return value;
    return {};
}

}  // namespace library
