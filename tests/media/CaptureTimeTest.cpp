// The capture-time reader on the target programs' own build: files made byte by byte, read through
// a source that stands for a file of any size. The real camera files are compared with a trusted
// reader on the build machine (CaptureTimeOracle.cpp), and the reader is fuzzed there.

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "MediaTestFiles.h"
#include "media/CaptureTime.h"
#include "media/ExifReader.h"

namespace {

using media::ByteOrder;
using media::CaptureTime;
using media::CivilTime;
using namespace media_test;

// A file of Size bytes, zero but for the pieces placed in it: a movie of gigabytes without the disk.
class PiecesSource final : public media::ByteSource {
public:
    explicit PiecesSource(std::uint64_t Size) : ByteSource(Size) {}
    void Place(std::uint64_t Offset, std::vector<std::uint8_t> Bytes) { FPieces[Offset] = std::move(Bytes); }

protected:
    bool ReadAt(std::uint64_t Offset, std::uint8_t* Into, std::size_t Length) override {
        std::memset(Into, 0, Length);
        for (const auto& [start, bytes] : FPieces)
            for (std::size_t i = 0; i < bytes.size(); ++i)
                if (start + i >= Offset && start + i < Offset + Length)
                    Into[static_cast<std::size_t>(start + i - Offset)] = bytes[i];
        return true;
    }

private:
    std::map<std::uint64_t, std::vector<std::uint8_t>> FPieces;
};

std::optional<CaptureTime> Read(const std::vector<std::uint8_t>& Bytes, const wchar_t* Name) {
    media::MemorySource source(Bytes);
    return media::ReadCaptureTime(source, Name);
}

CivilTime Civil(int Year, int Month, int Day, int Hour, int Minute, int Second, std::uint32_t Nanosecond = 0) {
    return CivilTime{Year, Month, Day, Hour, Minute, Second, Nanosecond};
}

std::vector<std::uint8_t> Bytes(const char* Text) {
    return std::vector<std::uint8_t>(Text, Text + std::strlen(Text));
}

TEST(CaptureTime, ExifDateTextIsCheckedFieldByField) {
    const struct {
        const char* Text;
        std::optional<CivilTime> Expected;
    } cases[] = {
        {"2023:01:11 14:05:09", Civil(2023, 1, 11, 14, 5, 9)},
        {"2024:02:29 23:59:59\0", Civil(2024, 2, 29, 23, 59, 59)},
        {"2023-01-11T14:05:09", Civil(2023, 1, 11, 14, 5, 9)},
        {"0000:00:00 00:00:00", std::nullopt},  // a camera without a set clock
        {"    :  :     :  :  ", std::nullopt},
        {"2023:02:29 12:00:00", std::nullopt},  // not a leap year
        {"2023:01:11 24:00:00", std::nullopt},
        {"2023:13:11 12:00:00", std::nullopt},
        {"2023:01:11 12:00:60", std::nullopt},
        {"2023:01-11 12:00:00", std::nullopt},
        {"2023:01:11 12:00", std::nullopt},
    };
    for (const auto& item : cases)
        EXPECT_EQ(media::ParseExifDateTime(Bytes(item.Text)), item.Expected) << item.Text;

    // SubSecTime's digits are a fraction: "5" is half a second, "05" a twentieth.
    EXPECT_EQ(media::ParseSubSecond(Bytes("5")), 500000000u);
    EXPECT_EQ(media::ParseSubSecond(Bytes("05")), 50000000u);
    EXPECT_EQ(media::ParseSubSecond(Bytes(" 813  ")), 813000000u);
    EXPECT_EQ(media::ParseSubSecond(Bytes("1234567891234")), 123456789u);
    EXPECT_EQ(media::ParseSubSecond(Bytes("")), std::nullopt);
    EXPECT_EQ(media::ParseSubSecond(Bytes("8x")), std::nullopt);
}

TEST(CaptureTime, JpegExifInEitherByteOrder_originalBeforeDigitized) {
    for (const ByteOrder order : {ByteOrder::LittleEndian, ByteOrder::BigEndian}) {
        const auto both = MakeJpeg({MakeTiff(order, {{0x9004, "2020:01:01 00:00:00"},
                                                     {0x9003, "2023:01:11 14:05:09"},
                                                     {0x9291, "25"}})});
        const auto time = Read(both, L"C:\\DCIM\\IMG_0001.JPG");
        ASSERT_TRUE(time);
        EXPECT_EQ(time->Time, Civil(2023, 1, 11, 14, 5, 9, 250000000));
        EXPECT_EQ(time->Record, media::CaptureRecord::DateTimeOriginal);
        EXPECT_EQ(time->Clock, media::CaptureClock::CameraLocal);

        const auto digitized = Read(MakeJpeg({MakeTiff(order, {{0x9004, "2020:01:01 00:00:01"}, {0x9292, "7"}})}),
                                    L"b.jpeg");
        ASSERT_TRUE(digitized);
        EXPECT_EQ(digitized->Time, Civil(2020, 1, 1, 0, 0, 1, 700000000));
        EXPECT_EQ(digitized->Record, media::CaptureRecord::DateTimeDigitized);
    }
}

TEST(CaptureTime, TheNameChoosesWhetherToRead_theContentHowToRead) {
    const auto jpeg = MakeJpeg({MakeTiff(ByteOrder::BigEndian, {{0x9003, "2023:01:11 14:05:09"}})});
    EXPECT_TRUE(Read(jpeg, L"photo.JpG"));
    EXPECT_TRUE(Read(jpeg, L"renamed.mov"));  // read as the JPEG it is
    EXPECT_FALSE(Read(jpeg, L"photo.txt"));
    EXPECT_FALSE(Read(jpeg, L"C:\\cards.jpg\\photo"));
    EXPECT_FALSE(Read(std::vector<std::uint8_t>(4096, 0), L"empty.jpg"));
    EXPECT_FALSE(Read({}, L"nothing.mp4"));
}

TEST(CaptureTime, MovieHeaderBehindFiveGibibytesOfMedia_readInAFewKibibytes) {
    const std::uint64_t mediaSize = 5ull << 30;
    // 2021-12-31 23:59:30 UTC, seconds since 1904.
    const std::uint64_t created = 3723839970ull;
    for (const unsigned version : {0u, 1u}) {
        const auto fileType = MakeFileType("isom");
        ByteWriter mediaHeader;
        mediaHeader.U32(1);  // the size follows as 64 bits
        mediaHeader.Text("mdat");
        mediaHeader.U64(mediaSize);
        const auto movie = MakeBox("moov", MakeMovieHeader(version, created, 600, 600 * 75));
        const std::uint64_t movieAt = fileType.size() + mediaSize;
        PiecesSource source(movieAt + movie.size());
        source.Place(0, fileType);
        source.Place(fileType.size(), mediaHeader.Bytes());
        source.Place(movieAt, movie);

        const auto time = media::ReadCaptureTime(source, L"CLIP0001.MP4");
        ASSERT_TRUE(time) << version;
        EXPECT_EQ(time->Time, Civil(2021, 12, 31, 23, 59, 30));
        EXPECT_EQ(time->Clock, media::CaptureClock::Utc);
        EXPECT_EQ(time->DurationSeconds, 75u);
        EXPECT_LE(source.BytesRead(), 8u * 1024) << version;
        EXPECT_LE(source.ReadCount(), 3u) << version;
    }
}

TEST(CaptureTime, DamagedRecordsGiveNoTime) {
    const auto good = MakeJpeg({MakeTiff(ByteOrder::LittleEndian, {{0x9003, "2023:01:11 14:05:09"}})});
    ASSERT_TRUE(Read(good, L"a.jpg"));
    // Offsets into the good file: 2 SOI, 4 APP1 header, 6 "Exif\0\0", then the TIFF block.
    const std::size_t tiff = 12;
    const struct {
        const char* What;
        std::size_t At;
        std::vector<std::uint8_t> Bytes;
    } damages[] = {
        {"segment longer than the file", 4, {0xFF, 0xFF}},
        {"segment shorter than its length field", 4, {0x00, 0x01}},
        {"IFD0 past the end", tiff + 4, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"Exif IFD pointer past the end", tiff + 8 + 2 + 8, {0xF0, 0xFF, 0xFF, 0xFF}},
        {"too many entries", tiff + 26, {0xFF, 0xFF}},
        {"date offset past the end", tiff + 26 + 2 + 8, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"not a TIFF byte order", tiff, {'I', 'M'}},
    };
    for (const auto& damage : damages) {
        auto bytes = good;
        std::copy(damage.Bytes.begin(), damage.Bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(damage.At));
        EXPECT_FALSE(Read(bytes, L"a.jpg")) << damage.What;
    }
    // Every cut of the file ends softly.
    for (std::size_t length = 0; length < good.size(); ++length)
        Read(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)), L"a.jpg");

    // Boxes whose sizes do not hold: smaller than their header, past the end, a movie header cut short.
    const auto header = MakeMovieHeader(0, 3723839970ull, 600, 600);
    const std::vector<std::vector<std::uint8_t>> movies = {
        MakeBox("moov", std::vector<std::uint8_t>(header.begin(), header.begin() + 12)),
        [&] {
            auto box = MakeBox("moov", header);
            box[3] = 4;
            return box;
        }(),
        [&] {
            auto box = MakeBox("moov", header);
            box[0] = 0x7F;
            return box;
        }(),
        MakeBox("moov", MakeMovieHeader(0, 0, 600, 600)),  // a camera without a set clock
    };
    for (const auto& movie : movies) EXPECT_FALSE(Read(movie, L"a.mov"));
}

TEST(CaptureTime, MovieTimeIsUtcUnlessTheFileDateSaysTheCameraWroteLocalTime) {
    // A zone one hour east of UTC, as in winter in Amsterdam.
    const media::UtcToLocalTime plusOneHour = [](const CivilTime& Utc) -> std::optional<CivilTime> {
        return media::CivilTimeFromSeconds(media::SecondsSinceEpoch(Utc) + 3600);
    };
    CaptureTime movie;
    movie.Time = Civil(2021, 12, 31, 23, 59, 30);
    movie.Clock = media::CaptureClock::Utc;
    movie.Record = media::CaptureRecord::MovieHeader;
    movie.DurationSeconds = 75;
    using Reading = media::MovieClockReading;
    const struct {
        const char* What;
        std::optional<CivilTime> LastWrite;
        CivilTime Expected;
        Reading How;
    } cases[] = {
        {"no file date: the format's rule", std::nullopt, Civil(2022, 1, 1, 0, 59, 30), Reading::AsUtc},
        {"written when the UTC reading ends", Civil(2022, 1, 1, 1, 0, 46), Civil(2022, 1, 1, 0, 59, 30),
         Reading::AsUtc},
        {"written when the local reading ends", Civil(2022, 1, 1, 0, 0, 46), Civil(2021, 12, 31, 23, 59, 30),
         Reading::AsLocalTime},
        {"camera stamps the end, local", Civil(2021, 12, 31, 23, 59, 30), Civil(2021, 12, 31, 23, 59, 30),
         Reading::AsLocalTime},
        {"copied later: neither fits", Civil(2022, 3, 1, 12, 0, 0), Civil(2022, 1, 1, 0, 59, 30), Reading::AsUtc},
    };
    for (const auto& item : cases) {
        const auto local = media::LocalCaptureTime(movie, item.LastWrite, plusOneHour);
        ASSERT_TRUE(local) << item.What;
        EXPECT_EQ(local->Time, item.Expected) << item.What;
        EXPECT_EQ(local->Reading, item.How) << item.What;
    }
    // A clip longer than the offset fits both readings: the nearer end wins.
    movie.DurationSeconds = 2 * 3600;
    EXPECT_EQ(media::LocalCaptureTime(movie, Civil(2022, 1, 1, 1, 59, 31), plusOneHour)->Reading,
              Reading::AsLocalTime);
    EXPECT_EQ(media::LocalCaptureTime(movie, Civil(2022, 1, 1, 2, 59, 31), plusOneHour)->Reading, Reading::AsUtc);
    // A photo's time is the camera's local time already.
    CaptureTime photo;
    photo.Time = Civil(2023, 1, 11, 14, 5, 9, 5);
    EXPECT_EQ(media::LocalCaptureTime(photo, std::nullopt, nullptr)->Time, photo.Time);
}

}  // namespace
