#include "engine/ReleaseChecks.h"

#include <windows.h>

#include <cstdint>
#include <map>

#include "engine/FileMove.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

const wchar_t kInvalidInputDirectory[] = L"Invalid input directory.\r\nBe sure camera is attached and standby in USB mode.";
const wchar_t kInvalidOutputDirectory[] = L"Invalid output directory.";
const wchar_t kLabelMissing[] = L"Label must be specified.";
const wchar_t kSameDirectories[] = L"The input directory is the same as the output directory.";
const wchar_t kInvalidBackupDirectory[] = L"Invalid backup directory.";

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

std::wstring BackupRefusal(const std::wstring& Backup, const std::wstring& Input, const std::wstring& Output) {
    if (!forms::DirectoryExists(Backup)) return kInvalidBackupDirectory;
    // The folder and each folder above it, each asked of the file system: a second spelling of
    // the input (a share, 8.3 names) is found as the input.
    std::wstring folder = WithoutTrailingDelimiter(Backup);
    for (int depth = 0; depth < 256; ++depth) {
        if (SameDirectory(folder, Input) || SameDirectory(folder, Output))
            return L"The backup directory must be neither the input nor the output directory, nor lie inside "
                   L"either: " +
                   Backup;
        const size_t slash = folder.find_last_of(L"\\/");
        if (slash == std::wstring::npos || slash + 1 >= folder.size()) break;
        // "D:\Backup" goes up to "D:\", a share's "\\server\share" no further.
        std::wstring parent = folder.substr(0, slash);
        if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
        if (parent.empty() || parent == L"\\" || (parent.size() >= 2 && parent.compare(0, 2, L"\\\\") == 0 &&
                                                  parent.find(L'\\', 2) == std::wstring::npos))
            break;
        if (parent == folder) break;
        folder = parent;
    }
    return {};
}

namespace {

// A volume as the system names it, with its serial number; empty when it cannot tell.
std::wstring VolumeKeyOf(const std::wstring& directory, std::wstring& mount) {
    wchar_t path[MAX_PATH + 1];
    if (directory.empty() || !GetVolumePathNameW(directory.c_str(), path, MAX_PATH + 1)) return {};
    mount = path;
    DWORD serial = 0;
    const bool known = GetVolumeInformationW(path, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    return PathKey(path) + L"|" + (known ? std::to_wstring(serial) : std::wstring(L"?"));
}

std::wstring WithDelimiter(const std::wstring& path) {
    return !path.empty() && path.back() != L'\\' ? path + L'\\' : path;
}

std::wstring Megabytes(uint64_t bytes) {
    return forms::Format(L"%.1f MB", static_cast<double>(bytes) / double(1ull << 20));
}

}  // namespace

std::wstring BackupSpaceRefusal(const std::vector<std::wstring>& Files, const std::wstring& Output,
                                const std::wstring& Backup) {
    struct Need {
        uint64_t Bytes = 0;
        uint64_t Cluster = 1;
        std::wstring Mount;
        std::wstring Directory;  // asked for its free space: the first folder of the volume a copy goes to
        std::wstring Names;
    };
    std::map<std::wstring, Need> needs;
    std::wstring mount;
    auto volumeOf = [&](const std::wstring& directory, const wchar_t* name) -> Need* {
        const std::wstring key = VolumeKeyOf(directory, mount);
        if (key.empty()) return nullptr;
        auto [entry, added] = needs.try_emplace(key);
        Need& need = entry->second;
        if (added) {
            need.Mount = mount;
            need.Directory = directory;
            DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
            if (GetDiskFreeSpaceW(mount.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
                sectorsPerCluster && bytesPerSector)
                need.Cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
        }
        if (need.Names.find(name) == std::wstring::npos) need.Names += need.Names.empty() ? name : std::wstring(L" and ") + name;
        return &need;
    };
    std::wstring outputKey;
    Need* output = volumeOf(WithDelimiter(Output), L"output");
    if (output) outputKey = VolumeKeyOf(WithDelimiter(Output), mount);
    Need* backup = volumeOf(WithDelimiter(Backup), L"backup");
    std::wstring sourceDirectory, sourceKey;
    for (const std::wstring& file : Files) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) continue;
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const std::wstring directory = file.substr(0, file.find_last_of(L'\\') + 1);
        if (directory != sourceDirectory) {
            sourceDirectory = directory;
            sourceKey = VolumeKeyOf(directory, mount);
        }
        // Each copy takes whole clusters, as a plan counts them. Renamed on its own volume, a
        // file takes no room in the output.
        auto count = [size](Need& need) { need.Bytes += (size + need.Cluster - 1) / need.Cluster * need.Cluster; };
        if (output && sourceKey != outputKey) count(*output);
        if (backup) count(*backup);
    }
    for (const auto& [key, need] : needs) {
        ULARGE_INTEGER free{};
        if (!GetDiskFreeSpaceExW(need.Directory.c_str(), &free, nullptr, nullptr)) continue;
        if (need.Bytes > free.QuadPart)
            return L"There is not enough space on the " + need.Names + L" volume (" + need.Directory + L"): the run copies " +
                   Megabytes(need.Bytes) + L" there, " + Megabytes(free.QuadPart) + L" are free.";
    }
    return {};
}

}  // namespace engine
