#pragma once
// The box-structured files (ISO base media): MP4, MOV, M4V, 3GP (the movie header), CR3 (its Exif
// metadata boxes) and HEIF/AVIF (the Exif item). Boxes are walked header to header, seeking over
// their bodies, so a movie header behind gigabytes of media costs a few reads.

#include <cstdint>
#include <optional>

#include "media/CaptureTime.h"
#include "media/FileRange.h"

namespace media {

// A box's four-character type as a number, the first character highest.
constexpr std::uint32_t BoxType(const char (&Name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(Name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(Name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(Name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(Name[3]));
}

struct Box {
    std::uint32_t Type = 0;
    FileRange Body;  // after the header (for a "uuid" box: the 16-byte user type first)
};

// The boxes inside a range, one after the other; stops at the end, at a box that does not fit, and
// after MaxBoxes.
class BoxWalker {
public:
    explicit BoxWalker(const FileRange& Range) : FRange(Range) {}
    std::optional<Box> Next();
    // The first box of that type from here on.
    std::optional<Box> Find(std::uint32_t Type);

private:
    static constexpr int MaxBoxes = 1024;
    FileRange FRange;
    std::uint64_t FPosition = 0;
    int FCount = 0;
};

// What the first box says of a file: a CR3, a HEIF/AVIF image, a movie, or none of these.
enum class IsoFileKind { NotIso, CanonRaw3, HeifImage, Movie };
IsoFileKind SniffIsoFile(const FileRange& File);

std::optional<CaptureTime> ReadMovieCaptureTime(const FileRange& File);
std::optional<CaptureTime> ReadCr3CaptureTime(const FileRange& File);
std::optional<CaptureTime> ReadHeifCaptureTime(const FileRange& File);

}  // namespace media
