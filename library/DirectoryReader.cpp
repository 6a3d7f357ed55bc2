#include "library/DirectoryReader.h"

#include <cmath>
#include <limits>

#include "forms/Forms.h"
#include "runtime/DirectoryListing.h"

namespace library {

namespace {

// Misuse is reported with this source name and these fixed line numbers,
// which callers and their tests match.
constexpr const wchar_t* kSourceFile = L"VexaDirectoryReader";
constexpr int kLineActiveDirectory = 196;
constexpr int kLineDirectoryWhileActive = 234;
constexpr int kLineDirectoryMissing = 235;

constexpr int64_t kTicksPerDay = 864000000000;
constexpr double kDaysFrom1601To1899 = -109205.0;

// Abs that cannot overflow: the most negative value saturates.
int32_t Magnitude(int32_t value) {
    if (value == std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::max();
    return value < 0 ? -value : value;
}

int64_t WholeMilliseconds(forms::TDateTime value) { return std::llround(value * 86400000.0); }

int64_t SecondsBetween(forms::TDateTime a, forms::TDateTime b) {
    int64_t difference = WholeMilliseconds(a) - WholeMilliseconds(b);
    return (difference < 0 ? -difference : difference) / 1000;
}

bool ToLocalFileTime(const FILETIME& utc, FILETIME& local) { return FileTimeToLocalFileTime(&utc, &local) != 0; }

// The last-write time as a file date: local time, truncated to the 2-second
// step of a DOS date-time. Outside the years a DOS date can hold (1980-2107)
// the exact local time is used; such a file is decades away from now anyway.
forms::TDateTime FileDate(const FILETIME& utc) {
    FILETIME local;
    if (!ToLocalFileTime(utc, local)) return FileTimeToDateTime(utc);
    SYSTEMTIME parts;
    WORD dosDate = 0, dosTime = 0;
    // FileTimeToDosDateTime wraps years from 2108 on instead of failing.
    if (!FileTimeToSystemTime(&local, &parts) || parts.wYear < 1980 || parts.wYear > 2107 ||
        !FileTimeToDosDateTime(&local, &dosDate, &dosTime))
        return FileTimeToDateTime(local);
    return forms::EncodeDateTime(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F, dosTime >> 11,
                                 (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2, 0);
}

// The last-access time in local time, so that it is compared with the local
// "now" like the write time is; a UTC reading would be off by the zone offset.
forms::TDateTime AccessDate(const FILETIME& utc) {
    FILETIME local;
    return FileTimeToDateTime(ToLocalFileTime(utc, local) ? local : utc);
}

bool MaskAccepts(const std::wstring& mask, const std::wstring& name) {
    if (mask == L"*.*") return true;
    return forms::AsciiUpperCase(forms::ExtractFileExt(name)) == forms::AsciiUpperCase(forms::ExtractFileExt(mask));
}

void ProcessMessages() {
    if (forms::Application) forms::Application->ProcessMessages();
}

}  // namespace

forms::TDateTime FileTimeToDateTime(int64_t fileTime) {
    // The quotient is formed from the exact tick count (long double holds all
    // 64 bits on this target) and rounded once to double, then the epoch shift.
    double days = static_cast<double>(static_cast<long double>(fileTime) / static_cast<long double>(kTicksPerDay));
    double result = days + kDaysFrom1601To1899;
    return result;
}

forms::TDateTime FileTimeToDateTime(const FILETIME& fileTime) {
    uint64_t ticks = (static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
    return FileTimeToDateTime(static_cast<int64_t>(ticks));
}

TDirReader::TDirReader() : FExcludeDirs(std::make_unique<forms::TStringList>()) {}

TDirReader::~TDirReader() = default;

void TDirReader::SetActive(bool value) {
    if (value == FActive) return;
    forms::Assert(forms::DirectoryExists(FDirectory), L"Directory not exists", kSourceFile, kLineActiveDirectory);
    FActive = value;
    if (!value) return;
    // However the walk ends, the reader is inactive again before OnReady, so
    // the ready handler may start it anew; a handler's error, or a listing that
    // broke off, goes on to the caller, and Failed tells the ready handler so.
    FFailed = false;
    try {
        ReadDirectory(FDirectory);
    } catch (...) {
        FActive = false;
        FFailed = true;
        DoReady();
        throw;
    }
    FActive = false;
    DoReady();
}

void TDirReader::SetDirectory(const std::wstring& value) {
    std::wstring path = forms::IncludeTrailingPathDelimiter(value);
    forms::Assert(!FActive, L"Can not change directory when active", kSourceFile, kLineDirectoryWhileActive);
    // The empty text would become "\", the current drive's root.
    forms::Assert(!value.empty() && forms::DirectoryExists(path), L"Directory not exists", kSourceFile,
                  kLineDirectoryMissing);
    FDirectory = path;
}

void TDirReader::SetDelayTimeStamp(int32_t value) { FDelayTimeStamp = Magnitude(value); }

void TDirReader::SetDelayLastAccess(int32_t value) { FDelayLastAccess = Magnitude(value); }

void TDirReader::ReadDirectory(const std::wstring& Dir) {
    if (IsExcluded(Dir)) return;
    DoDirectoryFound(Dir);

    forms::DirectoryListing listing(Dir + L"*.*");
    try {
        for (bool hasEntry = listing.Ok() && !listing.AtEnd(); hasEntry && FActive;) {
            const WIN32_FIND_DATAW& entry = listing.Entry();
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                // never reported
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (FRecursive) ReadDirectory(Dir + name + L"\\");
            } else if (MaskAccepts(FFileMask, name) &&
                       (FDelayTimeStamp == 0 ||
                        FDelayTimeStamp <= SecondsBetween(FileDate(entry.ftLastWriteTime), forms::Now())) &&
                       (FDelayLastAccess == 0 ||
                        FDelayLastAccess <= SecondsBetween(AccessDate(entry.ftLastAccessTime), forms::Now()))) {
                DoFileFound(Dir + name);
            }
            hasEntry = listing.Next();
            ProcessMessagesWhenDue();
        }
        // A listing that could not begin or broke off (no access, a damaged or pulled card) ends the
        // walk: its caller must not take part of a directory for all of it.
        if (!listing.Ok()) throw forms::EListingError(Dir, listing.Error());
    } catch (...) {
        listing.Close();
        ProcessMessages();
        throw;
    }
    listing.Close();
    ProcessMessages();
}

void TDirReader::ProcessMessagesWhenDue() {
    if (FMessageInterval == 0) return ProcessMessages();
    // The performance counter costs no round trip, unlike a look at the queue.
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    if (now.QuadPart < FNextMessages) return;
    QueryPerformanceFrequency(&frequency);
    FNextMessages = now.QuadPart + frequency.QuadPart * FMessageInterval / 1000;
    ProcessMessages();
}

bool TDirReader::IsExcluded(const std::wstring& Dir) const {
    std::wstring target = forms::AsciiUpperCase(forms::IncludeTrailingPathDelimiter(Dir));
    for (int i = 0; i < FExcludeDirs->Count(); ++i)
        if (forms::AsciiUpperCase(forms::IncludeTrailingPathDelimiter(FExcludeDirs->Get(i))) == target) return true;
    return false;
}

void TDirReader::DoFileFound(const std::wstring& FileName) {
    if (FFileFound) FFileFound(this, FileName);
}

void TDirReader::DoDirectoryFound(const std::wstring& Dir) {
    if (FDirectoryFound) FDirectoryFound(this, Dir);
}

void TDirReader::DoReady() {
    if (FReady) FReady(this);
}

}  // namespace library
