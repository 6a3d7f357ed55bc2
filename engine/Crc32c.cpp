#include "engine/Crc32c.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <nmmintrin.h>
#define KAMDROP_HARDWARE_CRC 1
#endif

#include <array>
#include <cstring>

namespace engine {

namespace {

std::array<std::array<uint32_t, 256>, 8> MakeCrcTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0x82F63B78u & (0u - (crc & 1)));
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int t = 1; t < 8; ++t) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
    return tables;
}

uint32_t ByTables(uint32_t crc, const unsigned char* bytes, size_t size) {
    static const auto tables = MakeCrcTables();
    // Eight bytes a step through eight tables.
    while (size >= 8) {
        const uint32_t low = crc ^ (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        const uint32_t high = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<uint32_t>(bytes[7]) << 24;
        crc = tables[7][low & 0xFF] ^ tables[6][(low >> 8) & 0xFF] ^ tables[5][(low >> 16) & 0xFF] ^
              tables[4][low >> 24] ^ tables[3][high & 0xFF] ^ tables[2][(high >> 8) & 0xFF] ^
              tables[1][(high >> 16) & 0xFF] ^ tables[0][high >> 24];
        bytes += 8;
        size -= 8;
    }
    while (size--) crc = (crc >> 8) ^ tables[0][(crc ^ *bytes++) & 0xFF];
    return crc;
}

#ifdef KAMDROP_HARDWARE_CRC
// The processor's own CRC-32C instruction (SSE 4.2): several times the tables' speed,
// so that the checksum costs the copy little. One instruction waits for the one
// before, so long data goes in three lanes at once, whose registers are then
// joined: a register carried over n zero bytes is a linear map of it, which
// four tables of 256 entries apply for the lane's length.
constexpr size_t kLane = 4096;

// A linear map of 32-bit registers over GF(2): column i is the image of bit i.
using Gf2Map = std::array<uint32_t, 32>;

uint32_t Apply(const Gf2Map& map, uint32_t value) {
    uint32_t image = 0;
    for (int bit = 0; value; ++bit, value >>= 1)
        if (value & 1) image ^= map[bit];
    return image;
}

// first, then second.
Gf2Map Compose(const Gf2Map& first, const Gf2Map& second) {
    Gf2Map result;
    for (int bit = 0; bit < 32; ++bit) result[bit] = Apply(second, first[bit]);
    return result;
}

// The register carried over kLane zero bytes, as four tables of a byte each.
std::array<std::array<uint32_t, 256>, 4> MakeLaneShift() {
    Gf2Map step;  // one zero bit: the register shifts right, bit 0 brings in the polynomial
    step[0] = 0x82F63B78u;
    for (int bit = 1; bit < 32; ++bit) step[bit] = 1u << (bit - 1);
    Gf2Map shift;
    for (int bit = 0; bit < 32; ++bit) shift[bit] = 1u << bit;
    for (size_t bits = 8 * kLane; bits; bits >>= 1, step = Compose(step, step))
        if (bits & 1) shift = Compose(shift, step);
    std::array<std::array<uint32_t, 256>, 4> tables{};
    for (int byte = 0; byte < 4; ++byte)
        for (uint32_t value = 0; value < 256; ++value) tables[byte][value] = Apply(shift, value << (8 * byte));
    return tables;
}

uint32_t OverLane(uint32_t crc) {
    static const auto tables = MakeLaneShift();
    return tables[0][crc & 0xFF] ^ tables[1][(crc >> 8) & 0xFF] ^ tables[2][(crc >> 16) & 0xFF] ^ tables[3][crc >> 24];
}

#ifdef __x86_64__
using CrcWord = uint64_t;
__attribute__((target("sse4.2"))) inline uint32_t CrcStep(uint32_t crc, CrcWord word) {
    return static_cast<uint32_t>(_mm_crc32_u64(crc, word));
}
#else
using CrcWord = uint32_t;
__attribute__((target("sse4.2"))) inline uint32_t CrcStep(uint32_t crc, CrcWord word) {
    return _mm_crc32_u32(crc, word);
}
#endif

inline CrcWord LoadWord(const unsigned char* bytes) {
    CrcWord word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

__attribute__((target("sse4.2"))) uint32_t ByProcessor(uint32_t crc, const unsigned char* bytes, size_t size) {
    for (; size >= 3 * kLane; bytes += 3 * kLane, size -= 3 * kLane) {
        uint32_t first = crc, second = 0, third = 0;
        for (size_t at = 0; at < kLane; at += sizeof(CrcWord)) {
            first = CrcStep(first, LoadWord(bytes + at));
            second = CrcStep(second, LoadWord(bytes + kLane + at));
            third = CrcStep(third, LoadWord(bytes + 2 * kLane + at));
        }
        crc = OverLane(OverLane(first) ^ second) ^ third;
    }
    for (; size >= sizeof(CrcWord); bytes += sizeof(CrcWord), size -= sizeof(CrcWord))
        crc = CrcStep(crc, LoadWord(bytes));
    for (; size > 0; ++bytes, --size) crc = _mm_crc32_u8(crc, *bytes);
    return crc;
}

#endif

}  // namespace

uint32_t Crc32c(uint32_t Crc, const void* Data, size_t Size) {
    static const bool byProcessor = ProcessorHasCrc32c();
    return byProcessor ? Crc32cByProcessor(Crc, Data, Size) : Crc32cByTables(Crc, Data, Size);
}

uint32_t Crc32cByTables(uint32_t Crc, const void* Data, size_t Size) {
    return ~ByTables(~Crc, static_cast<const unsigned char*>(Data), Size);
}

bool ProcessorHasCrc32c() {
#ifdef KAMDROP_HARDWARE_CRC
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSE4_2);
#else
    return false;
#endif
}

uint32_t Crc32cByProcessor(uint32_t Crc, const void* Data, size_t Size) {
#ifdef KAMDROP_HARDWARE_CRC
    return ~ByProcessor(~Crc, static_cast<const unsigned char*>(Data), Size);
#else
    return Crc32cByTables(Crc, Data, Size);
#endif
}

}  // namespace engine
