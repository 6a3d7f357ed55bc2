#pragma once
// The checksum a copy is verified by.

#include <cstddef>
#include <cstdint>

namespace engine {

// CRC-32C of Size bytes, continuing from Crc (0 to start).
uint32_t Crc32c(uint32_t Crc, const void* Data, size_t Size);

}  // namespace engine
