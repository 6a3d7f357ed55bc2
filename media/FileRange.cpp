#include "media/FileRange.h"

#include <algorithm>
#include <span>

namespace media {

bool FileCache::Copy(std::uint64_t Offset, std::size_t Length, std::vector<std::uint8_t>& Into) {
    const std::uint64_t size = FSource.Size();
    if (Length > MaxRecordBytes || Offset > size || Length > size - Offset) return false;
    const bool cached = Offset >= FBlockStart && Offset - FBlockStart <= FBlock.size() &&
                        Length <= FBlock.size() - (Offset - FBlockStart);
    if (!cached) {
        // A block from the offset asked for, not aligned: a box header far into a movie is read with
        // what follows it, which is what the next read wants.
        const std::size_t blockLength =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::max(Length, BlockBytes), size - Offset));
        FBlock.resize(blockLength);
        if (!FSource.Read(Offset, std::span<std::uint8_t>(FBlock))) {
            FBlock.clear();
            return false;
        }
        FBlockStart = Offset;
    }
    const auto begin = FBlock.begin() + static_cast<std::ptrdiff_t>(Offset - FBlockStart);
    Into.assign(begin, begin + static_cast<std::ptrdiff_t>(Length));
    return true;
}

std::optional<FileRange> FileRange::Part(std::uint64_t Offset, std::uint64_t Length) const {
    if (Offset > FLength || Length > FLength - Offset) return std::nullopt;
    return FileRange(FCache, FStart + Offset, Length);
}

std::optional<FileRange> FileRange::From(std::uint64_t Offset) const {
    if (Offset > FLength) return std::nullopt;
    return FileRange(FCache, FStart + Offset, FLength - Offset);
}

std::optional<std::vector<std::uint8_t>> FileRange::Load(std::uint64_t Offset, std::size_t Length) const {
    if (Offset > FLength || Length > FLength - Offset) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (!FCache->Copy(FStart + Offset, Length, bytes)) return std::nullopt;
    return bytes;
}

std::optional<std::vector<std::uint8_t>> FileRange::LoadUpTo(std::uint64_t Offset, std::size_t Length) const {
    if (Offset > FLength) return std::nullopt;
    return Load(Offset, static_cast<std::size_t>(std::min<std::uint64_t>(Length, FLength - Offset)));
}

}  // namespace media
