#pragma once
// When a camera's file was taken, as the file's own record tells it: Exif's date of the shot for
// photos (JPEG, the TIFF-based RAW files, RAF, CR3, HEIF/AVIF) and the movie header's creation time
// for MP4/MOV/M4V/3GP. Portable: the caller hands the file over as a ByteSource. A record that is
// missing, damaged or nonsense gives no capture time, never an error: the caller keeps the file date.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "media/ByteSource.h"
#include "media/CivilTime.h"

namespace media {

// Which clock a capture time is on.
enum class CaptureClock {
    CameraLocal,  // the camera's own clock, as it showed the time (Exif)
    Utc,          // a movie header's time, UTC by its format's rule (see LocalCaptureTime)
};

// The record a capture time was read from.
enum class CaptureRecord {
    DateTimeOriginal,   // Exif: the moment of the shot
    DateTimeDigitized,  // Exif: the moment it was stored, where the first is missing
    MovieHeader,        // the movie header's creation time
};

struct CaptureTime {
    CivilTime Time;
    CaptureClock Clock = CaptureClock::CameraLocal;
    CaptureRecord Record = CaptureRecord::DateTimeOriginal;
    // A movie's length from its header, in whole seconds (0 for a photo or when unknown).
    std::uint64_t DurationSeconds = 0;
};

// Whether the file's name says a format whose record is read (by the extension, any letter case):
// jpg jpeg, cr2 nef nrw arw sr2 dng orf rw2 pef srw iiq 3fr erf, raf, cr3, heic heif hif avif,
// mp4 mov m4v 3gp. Other files are not opened for a date.
bool MayHaveCaptureTime(std::wstring_view FileName);

// The capture time of the file in Source, or nothing. FileName chooses whether to look at all
// (MayHaveCaptureTime); the first bytes then choose the reader. Reads a few KiB at most per record.
std::optional<CaptureTime> ReadCaptureTime(ByteSource& Source, std::wstring_view FileName);

// The local time of that UTC date and time (on Windows: SystemTimeToTzSpecificLocalTime), or
// nothing when it cannot be converted.
using UtcToLocalTime = std::function<std::optional<CivilTime>(const CivilTime& Utc)>;

// How a movie header's time was taken.
enum class MovieClockReading {
    NotAMovie,    // a camera's local time already (Exif): taken as it is
    AsUtc,        // by the format's rule: UTC, converted to the local time of that date
    AsLocalTime,  // the camera wrote its local time there, as the file's own date shows
};

struct LocalCapture {
    CivilTime Time;
    MovieClockReading Reading = MovieClockReading::NotAMovie;
};

// The capture time as local time, the clock of a file date. A photo's time is the camera's local
// time already. A movie header's time is UTC by rule, but many cameras write their local time
// there: the header's time is taken as local time when the file's last write (local time, the file
// date) falls within the recording (start to start plus the duration, with 10 minutes either side)
// read as local time and not when read as UTC; otherwise as UTC. Where both fit (a zone near UTC,
// or a clip longer than the zone's offset), the reading whose end lies nearer the last write wins,
// UTC on a tie. Nothing when the UTC reading is needed and cannot be converted.
std::optional<LocalCapture> LocalCaptureTime(const CaptureTime& Capture,
                                             const std::optional<CivilTime>& FileLastWriteLocal,
                                             const UtcToLocalTime& ToLocal);

}  // namespace media
