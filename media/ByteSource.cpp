#include "media/ByteSource.h"

#include <cstring>

namespace media {

bool ByteSource::Read(std::uint64_t Offset, std::span<std::uint8_t> Into) {
    if (Offset > FSize || Into.size() > FSize - Offset) return false;
    if (Into.empty()) return true;
    ++FReadCount;
    FBytesRead += Into.size();
    return ReadAt(Offset, Into.data(), Into.size());
}

bool MemorySource::ReadAt(std::uint64_t Offset, std::uint8_t* Into, std::size_t Length) {
    std::memcpy(Into, FBytes.data() + Offset, Length);
    return true;
}

}  // namespace media
