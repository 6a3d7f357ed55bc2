#include "engine/ReleaseChecks.h"

#include <windows.h>

#include "engine/FileMove.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

const wchar_t kInvalidInputDirectory[] = L"Invalid input directory.\r\nBe sure camera is attached and standby in USB mode.";
const wchar_t kInvalidOutputDirectory[] = L"Invalid output directory.";
const wchar_t kLabelMissing[] = L"Label must be specified.";
const wchar_t kSameDirectories[] = L"The input directory is the same as the output directory.";

std::wstring StartRefusal(const std::wstring& Input, const std::wstring& Output, const std::wstring& Label) {
    if (!forms::DirectoryExists(Input)) return kInvalidInputDirectory;
    if (!forms::DirectoryExists(Output)) return kInvalidOutputDirectory;
    if (Label.empty()) return kLabelMissing;
    return {};
}

std::wstring UnnameableCharacters(const std::wstring& Label) {
    std::wstring found;
    for (wchar_t character : Label)
        if ((character < 32 || std::wstring_view(L"<>:\"/\\|?*").find(character) != std::wstring_view::npos) &&
            found.find(character) == std::wstring::npos)
            found += character;
    return found;
}

std::wstring UnnameableLabelRefusal(const std::wstring& Characters) {
    std::wstring named;
    for (wchar_t character : Characters) {
        if (!named.empty()) named += L' ';
        named += character < 32 ? forms::Format(L"U+%04X", static_cast<unsigned>(character)) : std::wstring(1, character);
    }
    return L"The label holds characters that no file name can hold: " + named;
}

namespace {

// A directory's volume and file index; false where the system does not tell.
bool DirectoryIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    forms::FileHandle directory(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return directory && GetFileInformationByHandle(directory.Get(), &info) &&
           (info.nFileIndexLow != 0 || info.nFileIndexHigh != 0);
}

std::wstring WithoutTrailingDelimiter(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

}  // namespace

bool SameDirectory(const std::wstring& Path1, const std::wstring& Path2) {
    BY_HANDLE_FILE_INFORMATION one{}, other{};
    if (DirectoryIdentity(Path1, one) && DirectoryIdentity(Path2, other) &&
        one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexLow == other.nFileIndexLow &&
        one.nFileIndexHigh == other.nFileIndexHigh)
        return true;
    return SamePath(WithoutTrailingDelimiter(Path1), WithoutTrailingDelimiter(Path2));
}

}  // namespace engine
