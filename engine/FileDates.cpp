#include "engine/FileDates.h"

#include <windows.h>

#include <utility>

#include "runtime/Handles.h"

namespace engine {

forms::TDateTime GetFileDate(const std::wstring& FileName) {
    DWORD dosDateTime = 0xFFFFFFFF;
    forms::FileHandle file(CreateFileW(FileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME lastWrite, local;
    if (file && GetFileTime(file.Get(), nullptr, nullptr, &lastWrite) && FileTimeToLocalFileTime(&lastWrite, &local)) {
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
