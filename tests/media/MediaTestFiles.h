#pragma once
// Small camera files made byte by byte, for the tests and the fuzzer's seeds: a TIFF block with an
// Exif IFD, a JPEG around it, and a movie whose header can lie behind a media box of any size.

#include <cstdint>
#include <string>
#include <vector>

#include "media/ByteReader.h"

namespace media_test {

class ByteWriter {
public:
    explicit ByteWriter(media::ByteOrder Order = media::ByteOrder::BigEndian) : FOrder(Order) {}
    std::vector<std::uint8_t>& Bytes() { return FBytes; }
    std::size_t Size() const { return FBytes.size(); }
    void Number(std::uint64_t Value, unsigned Width) {
        for (unsigned i = 0; i < Width; ++i) {
            const unsigned shift = FOrder == media::ByteOrder::BigEndian ? 8 * (Width - 1 - i) : 8 * i;
            FBytes.push_back(static_cast<std::uint8_t>(Value >> shift));
        }
    }
    void U16(std::uint64_t Value) { Number(Value, 2); }
    void U32(std::uint64_t Value) { Number(Value, 4); }
    void U64(std::uint64_t Value) { Number(Value, 8); }
    void Text(const std::string& Value) { FBytes.insert(FBytes.end(), Value.begin(), Value.end()); }
    void Append(const std::vector<std::uint8_t>& Value) { FBytes.insert(FBytes.end(), Value.begin(), Value.end()); }

private:
    media::ByteOrder FOrder;
    std::vector<std::uint8_t> FBytes;
};

struct ExifTag {
    std::uint16_t Tag;
    std::string Text;  // written with its terminating zero
};

// A TIFF block: IFD0 with the Ifd0Tags and a pointer to an Exif IFD with the ExifTags.
inline std::vector<std::uint8_t> MakeTiff(media::ByteOrder Order, const std::vector<ExifTag>& ExifTags,
                                          const std::vector<ExifTag>& Ifd0Tags = {}) {
    ByteWriter out(Order);
    out.Text(Order == media::ByteOrder::LittleEndian ? "II" : "MM");
    out.U16(42);
    out.U32(8);
    const std::size_t ifd0Size = 2 + 12 * (Ifd0Tags.size() + 1) + 4;
    const std::size_t exifSize = 2 + 12 * ExifTags.size() + 4;
    std::size_t data = 8 + ifd0Size + exifSize;
    std::vector<std::uint8_t> values;
    const auto writeEntries = [&](const std::vector<ExifTag>& Tags) {
        for (const ExifTag& tag : Tags) {
            out.U16(tag.Tag);
            out.U16(2);
            out.U32(tag.Text.size() + 1);
            if (tag.Text.size() + 1 <= 4) {
                std::string inline_(tag.Text);
                inline_.resize(4, '\0');
                out.Text(inline_);
            } else {
                out.U32(data + values.size());
                values.insert(values.end(), tag.Text.begin(), tag.Text.end());
                values.push_back(0);
            }
        }
    };
    out.U16(Ifd0Tags.size() + 1);
    writeEntries(Ifd0Tags);
    out.U16(0x8769);
    out.U16(4);
    out.U32(1);
    out.U32(8 + ifd0Size);
    out.U32(0);
    out.U16(ExifTags.size());
    writeEntries(ExifTags);
    out.U32(0);
    out.Append(values);
    return out.Bytes();
}

// A JPEG whose APP1 segments hold these TIFF blocks as Exif, and a little image data.
inline std::vector<std::uint8_t> MakeJpeg(const std::vector<std::vector<std::uint8_t>>& ExifBlocks) {
    ByteWriter out;
    out.U16(0xFFD8);
    for (const auto& tiff : ExifBlocks) {
        out.U16(0xFFE1);
        out.U16(2 + 6 + tiff.size());
        out.Text(std::string("Exif\0\0", 6));
        out.Append(tiff);
    }
    out.U16(0xFFDA);
    out.U16(2);
    out.Text("image data");
    out.U16(0xFFD9);
    return out.Bytes();
}

// A box: size, type, body.
inline std::vector<std::uint8_t> MakeBox(const std::string& Type, const std::vector<std::uint8_t>& Body) {
    ByteWriter out;
    out.U32(8 + Body.size());
    out.Text(Type);
    out.Append(Body);
    return out.Bytes();
}

// A movie header box: version 0 (32-bit times) or 1 (64-bit), seconds since 1904.
inline std::vector<std::uint8_t> MakeMovieHeader(unsigned Version, std::uint64_t Created,
                                                 std::uint32_t Timescale, std::uint64_t Duration) {
    ByteWriter body;
    body.U32(Version << 24);
    const unsigned width = Version == 1 ? 8 : 4;
    body.Number(Created, width);
    body.Number(Created, width);
    body.U32(Timescale);
    body.Number(Duration, width);
    body.Bytes().resize(body.Size() + 80, 0);  // rate, volume, matrix, next track: not read
    return MakeBox("mvhd", body.Bytes());
}

inline std::vector<std::uint8_t> MakeFileType(const std::string& Brand) {
    ByteWriter body;
    body.Text(Brand);
    body.U32(0);
    body.Text(Brand);
    return MakeBox("ftyp", body.Bytes());
}

}  // namespace media_test
