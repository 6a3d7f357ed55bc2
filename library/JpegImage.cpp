#include "library/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <string>

#include <jpeglib.h>

#include "runtime/SysUtils.h"

namespace library {

namespace {

// libjpeg's own error handler ends the process, and a C++ exception must not
// unwind through its C frames: the handler jumps back to the decode call instead.
struct ErrorTrap {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JumpToTrap(j_common_ptr info) {
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    trap->Manager.format_message(info, trap->Message);
    std::longjmp(trap->Jump, 1);
}

// Kept apart from the setjmp frame, so that no local of that frame changes after the jump point;
// it has no locals that need destroying either, since a jump may leave it at any call.
void ReadPicture(jpeg_decompress_struct& info, const void* data, size_t size, TJpegImage& image,
                 std::vector<unsigned char>& row) {
    jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    row.resize(static_cast<size_t>(width) * 3);
    image.Pixels.assign(static_cast<size_t>(width) * height, 0);
    while (info.output_scanline < info.output_height) {
        uint32_t* pixel = &image.Pixels[static_cast<size_t>(info.output_scanline) * width];
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (int x = 0; x < width; ++x)
            pixel[x] = (uint32_t{row[3 * x]} << 16) | (uint32_t{row[3 * x + 1]} << 8) | row[3 * x + 2];
    }
    jpeg_finish_decompress(&info);
    image.Width = width;
    image.Height = height;
}

// The decoder's message, empty on success.
std::string Decode(const void* data, size_t size, TJpegImage& image, std::vector<unsigned char>& row) {
    jpeg_decompress_struct info{};
    ErrorTrap trap{};
    info.err = jpeg_std_error(&trap.Manager);
    trap.Manager.error_exit = JumpToTrap;
    jpeg_create_decompress(&info);
    if (setjmp(trap.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return trap.Message;
    }
    ReadPicture(info, data, size, image, row);
    jpeg_destroy_decompress(&info);
    return {};
}

}  // namespace

TJpegImage DecodeJpeg(const void* data, size_t size) {
    TJpegImage image;
    std::vector<unsigned char> row;
    std::string error = size == 0 ? std::string("Empty input file") : Decode(data, size, image, row);
    if (!error.empty()) throw forms::Exception(forms::Utf8ToWide(error));
    return image;
}

}  // namespace library
