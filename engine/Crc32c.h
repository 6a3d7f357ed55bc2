#pragma once
// The checksum a copy is verified by.

#include <cstddef>
#include <cstdint>

namespace engine {

// CRC-32C of Size bytes, continuing from Crc (0 to start): by the processor's own
// instruction where it has one, otherwise through tables.
uint32_t Crc32c(uint32_t Crc, const void* Data, size_t Size);

// Crc32c's two ways, each callable on its own so that tests run both on any machine: the tables
// are what the older processors without SSE 4.2 run. Crc32cByProcessor only where
// ProcessorHasCrc32c().
uint32_t Crc32cByTables(uint32_t Crc, const void* Data, size_t Size);
bool ProcessorHasCrc32c();
uint32_t Crc32cByProcessor(uint32_t Crc, const void* Data, size_t Size);

}  // namespace engine
