#include "engine/FileDates.h"

#include <windows.h>

#include <utility>

#include "runtime/Handles.h"

namespace engine {

namespace {

// The file date of a last-write time (nullptr: it could not be read); a time
// outside the DOS range, or none, fails with the date error.
forms::TDateTime DateOfLastWrite(const FILETIME* lastWrite) {
    DWORD dosDateTime = 0xFFFFFFFF;
    FILETIME local;
    if (lastWrite && FileTimeToLocalFileTime(lastWrite, &local)) {
        // Some systems wrap years after 2107 instead of refusing them, so the range is checked here.
        SYSTEMTIME parts;
        WORD dosDate, dosTime;
        if (FileTimeToSystemTime(&local, &parts) && parts.wYear >= 1980 && parts.wYear <= 2107 &&
            FileTimeToDosDateTime(&local, &dosDate, &dosTime))
            dosDateTime = (static_cast<DWORD>(dosDate) << 16) | dosTime;
    }
    return forms::EncodeDateTime(static_cast<int>(dosDateTime >> 25) + 1980, (dosDateTime >> 21) & 0x0F,
                                 (dosDateTime >> 16) & 0x1F, (dosDateTime >> 11) & 0x1F, (dosDateTime >> 5) & 0x3F,
                                 2 * (dosDateTime & 0x1F), 0);
}

forms::FileHandle OpenUnshared(const std::wstring& FileName) {
    return forms::FileHandle(
        CreateFileW(FileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

forms::TDateTime GetFileDate(const std::wstring& FileName) {
    forms::FileHandle file = OpenUnshared(FileName);
    FILETIME lastWrite;
    return DateOfLastWrite(file && GetFileTime(file.Get(), nullptr, nullptr, &lastWrite) ? &lastWrite : nullptr);
}

const FILETIME* FileDateReader::ListedTime(const std::wstring& Name) {
    for (;;) {
        const auto listed = FTimes.find(Name);
        if (listed != FTimes.end()) return &listed->second;
        if (!FListing) return nullptr;
        WIN32_FIND_DATAW entry;
        if (!FindNextFileW(FListing.Get(), &entry)) {
            FListing.Reset();
            return nullptr;
        }
        if (!(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            FTimes.emplace(entry.cFileName, entry.ftLastWriteTime);
    }
}

forms::TDateTime FileDateReader::Read(const std::wstring& FileName) {
    const size_t slash = FileName.find_last_of(L"\\/");
    const std::wstring directory = FileName.substr(0, slash + 1);
    if (directory != FDirectory) {
        FDirectory = directory;
        FTimes.clear();
        WIN32_FIND_DATAW entry;
        FListing.Reset(FindFirstFileW((directory + L"*.*").c_str(), &entry));
        if (FListing && !(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            FTimes.emplace(entry.cFileName, entry.ftLastWriteTime);
    }
    forms::FileHandle file = OpenUnshared(FileName);
    if (!file) return DateOfLastWrite(nullptr);
    if (const FILETIME* listed = ListedTime(FileName.substr(slash + 1))) return DateOfLastWrite(listed);
    FILETIME lastWrite;
    return DateOfLastWrite(GetFileTime(file.Get(), nullptr, nullptr, &lastWrite) ? &lastWrite : nullptr);
}

int CompareFileDates(forms::TStrings& List, int Index1, int Index2) {
    forms::TDateTime date1 = GetFileDate(List.Get(Index1));
    forms::TDateTime date2 = GetFileDate(List.Get(Index2));
    return date1 < date2 ? -1 : date1 > date2 ? 1 : 0;
}

void SortByFileDates(std::vector<std::wstring>& Files, std::vector<forms::TDateTime>& Dates) {
    if (Files.size() < 2) return;
    forms::QuickSortRange(
        0, static_cast<int>(Files.size()) - 1,
        [&](int index1, int index2) {
            return Dates[index1] < Dates[index2] ? -1 : Dates[index1] > Dates[index2] ? 1 : 0;
        },
        [&](int index1, int index2) {
            std::swap(Files[index1], Files[index2]);
            std::swap(Dates[index1], Dates[index2]);
        });
}

}  // namespace engine
