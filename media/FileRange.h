#pragma once
// A stretch of the file (a record, a box, an embedded preview) whose offsets count from its start,
// and the block cache its reads share. Every read is checked against the stretch and capped: nothing
// is allocated from a size the file gives beyond MaxRecordBytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "media/ByteReader.h"
#include "media/ByteSource.h"

namespace media {

// The most any one read of a record asks for; a record's own larger size is not trusted.
inline constexpr std::size_t MaxRecordBytes = 64 * 1024;

// Reads the source a block at a time: the few small reads a record takes (a segment header, an
// entry table, a date) mostly fall into one block, so the file is asked a few times, not dozens.
class FileCache {
public:
    explicit FileCache(ByteSource& Source) : FSource(Source) {}
    std::uint64_t Size() const { return FSource.Size(); }
    // Copies Length bytes at Offset into Into (resized); false when outside the file or too long.
    bool Copy(std::uint64_t Offset, std::size_t Length, std::vector<std::uint8_t>& Into);

private:
    static constexpr std::size_t BlockBytes = 4096;
    ByteSource& FSource;
    std::vector<std::uint8_t> FBlock;
    std::uint64_t FBlockStart = 0;
};

class FileRange {
public:
    // The whole file.
    explicit FileRange(FileCache& Cache) : FCache(&Cache), FStart(0), FLength(Cache.Size()) {}

    std::uint64_t Size() const { return FLength; }
    // The part [Offset, Offset + Length) of this range, or nothing when it does not lie inside.
    std::optional<FileRange> Part(std::uint64_t Offset, std::uint64_t Length) const;
    // The part from Offset to the end.
    std::optional<FileRange> From(std::uint64_t Offset) const;
    // Loads Length bytes at Offset (at most MaxRecordBytes); nothing when they are not all inside.
    std::optional<std::vector<std::uint8_t>> Load(std::uint64_t Offset, std::size_t Length) const;
    // Loads up to Length bytes at Offset, fewer where the range ends first.
    std::optional<std::vector<std::uint8_t>> LoadUpTo(std::uint64_t Offset, std::size_t Length) const;

private:
    FileRange(FileCache* Cache, std::uint64_t Start, std::uint64_t Length)
        : FCache(Cache), FStart(Start), FLength(Length) {}

    FileCache* FCache;
    std::uint64_t FStart;
    std::uint64_t FLength;
};

}  // namespace media
