#pragma once
// A file's date as the release sees it, and the order of the files by it.

#include <windows.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/Classes.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

// The file date: the last-write time in local time at the 2-second step of a
// DOS date-time. Fails with "Invalid argument to date encode" when it cannot be read.
forms::TDateTime GetFileDate(const std::wstring& FileName);

// Where a file's date for the sort, the day and the counter comes from: its
// last-write time (the file date), or the moment the photo was taken as its own
// record tells it (Exif, a movie header), and the file date where it has none.
enum class DateSource { File, Photo };

// A file's date as the release uses it, and whether it came from the photo's
// own record.
struct ReleaseDate {
    forms::TDateTime Date = 0;
    bool FromPhoto = false;
};

// Reads the dates of the files of a run as GetFileDate reads each: the file is
// opened without sharing, so that a file another program holds fails alike,
// but its time comes from a listing of its directory. Asking the open file for
// its time costs a round trip to Wine's server per file, about a third of a
// move; the listing costs almost nothing. The listing is read as far as the
// file asked for, so that for files asked in the order of a listing each read
// takes a step of it (a caller that keeps a window answering between reads
// never waits for a whole directory of thousands). A file the listing does not
// show as itself (a link, or a file made since) is asked through its handle.
// The listing holds the folder open until the reader goes.
class FileDateReader {
public:
    explicit FileDateReader(DateSource Source = DateSource::File) : FSource(Source) {}
    forms::TDateTime Read(const std::wstring& FileName) { return ReadDate(FileName).Date; }
    // With the photo's own date, its capture time where the file's record has one,
    // read through the handle the date step opens anyway (a few KiB; a movie's
    // header reached box by box). A record that cannot be read gives the file date.
    ReleaseDate ReadDate(const std::wstring& FileName);

private:
    // The listed time of Name in FDirectory, reading the listing on as far as Name.
    const FILETIME* ListedTime(const std::wstring& Name);

    DateSource FSource;
    std::wstring FDirectory;
    forms::FindHandle FListing;
    // Last-write times by file name, of the files (not links) listed so far.
    std::unordered_map<std::wstring, FILETIME> FTimes;
};

// Comparator for a file queue: ascending file date, read from disk at every call.
int CompareFileDates(forms::TStrings& List, int Index1, int Index2);

// The capture time of the open File (Name its name, LastWrite its last-write
// time) as local time, when its own record has one that can be read.
std::optional<forms::TDateTime> PhotoDate(HANDLE File, const std::wstring& Name, const FILETIME& LastWrite);

// Sorts Files by date, with entry i's date given in Dates[i] (the dates move
// with their entries): the very order a file queue's sort with CompareFileDates
// leaves, ties included, with each date read once instead of at every comparison.
void SortByFileDates(std::vector<std::wstring>& Files, std::vector<forms::TDateTime>& Dates);

}  // namespace engine
