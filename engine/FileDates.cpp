#include "engine/FileDates.h"

#include <windows.h>

#include <utility>

#include "media/CaptureTime.h"
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

ReleaseDate FileDateReader::ReadDate(const std::wstring& FileName) {
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
    if (!file) return {DateOfLastWrite(nullptr), false};
    FILETIME lastWrite;
    const FILETIME* listed = ListedTime(FileName.substr(slash + 1));
    if (!listed && GetFileTime(file.Get(), nullptr, nullptr, &lastWrite)) listed = &lastWrite;
    if (FSource == DateSource::Photo && listed)
        if (const std::optional<forms::TDateTime> taken = PhotoDate(file.Get(), FileName.substr(slash + 1), *listed))
            return {*taken, true};
    return {DateOfLastWrite(listed), false};
}

namespace {

// The capture reader's view of an open file: reads at an offset through the handle.
class HandleSource final : public media::ByteSource {
public:
    HandleSource(HANDLE File, uint64_t Size) : ByteSource(Size), FFile(File) {}

protected:
    bool ReadAt(uint64_t Offset, uint8_t* Into, size_t Length) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(Offset);
        at.OffsetHigh = static_cast<DWORD>(Offset >> 32);
        DWORD read = 0;
        return Length <= MAXDWORD && ReadFile(FFile, Into, static_cast<DWORD>(Length), &read, &at) && read == Length;
    }

private:
    HANDLE FFile;
};

std::optional<media::CivilTime> CivilOf(const SYSTEMTIME& time) {
    media::CivilTime civil{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond, 0};
    civil.Nanosecond = static_cast<uint32_t>(time.wMilliseconds) * 1000000u;
    return civil;
}

// A UTC time in the local time of its own date (its daylight saving time, not today's).
std::optional<media::CivilTime> LocalOfUtc(const media::CivilTime& utc) {
    SYSTEMTIME universal{};
    universal.wYear = static_cast<WORD>(utc.Year);
    universal.wMonth = static_cast<WORD>(utc.Month);
    universal.wDay = static_cast<WORD>(utc.Day);
    universal.wHour = static_cast<WORD>(utc.Hour);
    universal.wMinute = static_cast<WORD>(utc.Minute);
    universal.wSecond = static_cast<WORD>(utc.Second);
    SYSTEMTIME local;
    if (utc.Year < 1601 || utc.Year > 30827 || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return std::nullopt;
    std::optional<media::CivilTime> civil = CivilOf(local);
    civil->Nanosecond = utc.Nanosecond;
    return civil;
}

}  // namespace

std::optional<forms::TDateTime> PhotoDate(HANDLE File, const std::wstring& Name, const FILETIME& LastWrite) {
    if (!media::MayHaveCaptureTime(Name)) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(File, &size) || size.QuadPart < 0) return std::nullopt;
    HandleSource source(File, static_cast<uint64_t>(size.QuadPart));
    const std::optional<media::CaptureTime> capture = media::ReadCaptureTime(source, Name);
    if (!capture) return std::nullopt;
    // The file date's clock, for a movie whose camera wrote its local time into the header.
    std::optional<media::CivilTime> written;
    FILETIME local;
    SYSTEMTIME parts;
    if (FileTimeToLocalFileTime(&LastWrite, &local) && FileTimeToSystemTime(&local, &parts)) written = CivilOf(parts);
    const std::optional<media::LocalCapture> taken = media::LocalCaptureTime(*capture, written, LocalOfUtc);
    if (!taken || taken->Time.Year < 1 || taken->Time.Year > 9999) return std::nullopt;
    const media::CivilTime& t = taken->Time;
    // Sub-seconds order the shots of one second: the fraction of the day past the millisecond too.
    return forms::EncodeDateTime(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, 0) +
           static_cast<double>(t.Nanosecond) / 86400e9;
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
