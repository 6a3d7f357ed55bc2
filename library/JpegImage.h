#pragma once
// Decoding a JPEG picture held in memory (libjpeg), for pictures stored in the program.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace library {

struct TJpegImage {
    int Width = 0;
    int Height = 0;
    // Rows from the top, each pixel 0x00RRGGBB.
    std::vector<uint32_t> Pixels;
};

// Fails with the decoder's message when the data is no JPEG picture it can read.
TJpegImage DecodeJpeg(const void* data, size_t size);

}  // namespace library
