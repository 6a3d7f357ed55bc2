#pragma once
// Exif's date of the shot: in a TIFF block (the RAW files, a JPEG's APP1 segment, a CR3's metadata
// boxes, a HEIF's Exif item), in a JPEG, and in a RAF's embedded JPEG preview.

#include <cstdint>
#include <optional>

#include "media/CaptureTime.h"
#include "media/FileRange.h"

namespace media {

// The date tags found so far, by where they were found: IFD0 or the Exif IFD.
struct ExifDates {
    struct Found {
        std::optional<CivilTime> Original;
        std::optional<CivilTime> Digitized;
        std::optional<std::uint32_t> OriginalFraction;   // nanoseconds, from SubSecTimeOriginal
        std::optional<std::uint32_t> DigitizedFraction;  // from SubSecTimeDigitized
    };
    Found Ifd0;
    Found ExifIfd;
};

enum class FirstIfd { Ifd0, ExifIfd };

// Adds the dates of the TIFF block Tiff (offsets count from its header) to Dates. First says what
// the block's first IFD is: IFD0, whose Exif IFD pointer is followed, or the Exif IFD itself (a
// CR3's second metadata box).
void CollectTiffDates(const FileRange& Tiff, FirstIfd First, ExifDates& Dates);

// The capture time the dates give: DateTimeOriginal of the Exif IFD, else of IFD0, else
// DateTimeDigitized likewise, each with its own sub-second tag where present.
std::optional<CaptureTime> ChooseCaptureTime(const ExifDates& Dates);

std::optional<CaptureTime> ReadTiffCaptureTime(const FileRange& Tiff);
std::optional<CaptureTime> ReadJpegCaptureTime(const FileRange& Jpeg);
std::optional<CaptureTime> ReadRafCaptureTime(const FileRange& File);

// The text forms, for the tests: "YYYY:MM:DD HH:MM:SS" (19 characters, anything may follow) and
// SubSecTime's digits as a fraction of a second.
std::optional<CivilTime> ParseExifDateTime(std::span<const std::uint8_t> Text);
std::optional<std::uint32_t> ParseSubSecond(std::span<const std::uint8_t> Text);

}  // namespace media
