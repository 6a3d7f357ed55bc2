#include "media/ExifReader.h"

#include <array>
#include <vector>

namespace media {

namespace {

constexpr std::uint16_t TagDateTimeOriginal = 0x9003;
constexpr std::uint16_t TagDateTimeDigitized = 0x9004;
constexpr std::uint16_t TagSubSecTimeOriginal = 0x9291;
constexpr std::uint16_t TagSubSecTimeDigitized = 0x9292;
constexpr std::uint16_t TagExifIfdPointer = 0x8769;

constexpr std::uint16_t TypeAscii = 2;
constexpr std::uint16_t TypeLong = 4;
constexpr std::uint16_t TypeUndefined = 7;
constexpr std::uint16_t TypeIfd = 13;

// More entries than any camera writes in one IFD; a larger count is a damaged block.
constexpr std::uint16_t MaxIfdEntries = 1000;
// A date is 20 bytes; a longer text is read only as far as this.
constexpr std::size_t MaxTextBytes = 64;
// Segments of a JPEG before its image data; markers padded with fill bytes count one by one.
constexpr int MaxJpegSteps = 1024;

std::optional<int> Digits(std::span<const std::uint8_t> Text, std::size_t At, std::size_t Count) {
    int value = 0;
    for (std::size_t i = At; i < At + Count; ++i) {
        if (Text[i] < '0' || Text[i] > '9') return std::nullopt;
        value = value * 10 + (Text[i] - '0');
    }
    return value;
}

struct Entry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::array<std::uint8_t, 4> Value;
};

// The bytes of a text entry: in the entry itself up to 4 bytes, else at its offset in the block.
std::optional<std::vector<std::uint8_t>> TextOf(const Entry& Item, const FileRange& Tiff, ByteOrder Order) {
    if (Item.Type != TypeAscii && Item.Type != TypeUndefined) return std::nullopt;
    const std::size_t length = std::min<std::size_t>(Item.Count, MaxTextBytes);
    if (Item.Count <= 4) return std::vector<std::uint8_t>(Item.Value.begin(), Item.Value.begin() + length);
    ByteReader value(Item.Value, Order);
    const auto offset = value.U32();
    if (!offset) return std::nullopt;
    return Tiff.Load(*offset, length);
}

// Reads the IFD at Offset into Found; gives the Exif IFD pointer when the IFD has one.
std::optional<std::uint32_t> ReadIfd(const FileRange& Tiff, ByteOrder Order, std::uint32_t Offset,
                                     ExifDates::Found& Found) {
    const auto countBytes = Tiff.Load(Offset, 2);
    if (!countBytes) return std::nullopt;
    const auto count = ByteReader(*countBytes, Order).U16();
    if (!count || *count > MaxIfdEntries) return std::nullopt;
    // A table cut short by the block's end is read as far as it goes.
    const auto table = Tiff.LoadUpTo(std::uint64_t{Offset} + 2, std::size_t{*count} * 12);
    if (!table) return std::nullopt;
    ByteReader entries(*table, Order);
    std::optional<std::uint32_t> exifPointer;
    for (std::uint16_t i = 0; i < *count; ++i) {
        Entry item{};
        const auto tag = entries.U16();
        const auto type = entries.U16();
        const auto itemCount = entries.U32();
        const auto value = entries.Take(4);
        if (!tag || !type || !itemCount || !value) break;
        item = Entry{*tag, *type, *itemCount, {(*value)[0], (*value)[1], (*value)[2], (*value)[3]}};
        switch (item.Tag) {
            case TagExifIfdPointer:
                if ((item.Type == TypeLong || item.Type == TypeIfd) && item.Count == 1)
                    exifPointer = ByteReader(item.Value, Order).U32();
                break;
            case TagDateTimeOriginal:
            case TagDateTimeDigitized: {
                const auto text = TextOf(item, Tiff, Order);
                auto& slot = item.Tag == TagDateTimeOriginal ? Found.Original : Found.Digitized;
                if (text && !slot) slot = ParseExifDateTime(*text);
                break;
            }
            case TagSubSecTimeOriginal:
            case TagSubSecTimeDigitized: {
                const auto text = TextOf(item, Tiff, Order);
                auto& slot = item.Tag == TagSubSecTimeOriginal ? Found.OriginalFraction : Found.DigitizedFraction;
                if (text && !slot) slot = ParseSubSecond(*text);
                break;
            }
            default: break;
        }
    }
    return exifPointer;
}

std::optional<CaptureTime> TimeWithFraction(const std::optional<CivilTime>& Time,
                                            const std::optional<std::uint32_t>& Fraction, CaptureRecord Record) {
    if (!Time) return std::nullopt;
    CaptureTime capture;
    capture.Time = *Time;
    capture.Time.Nanosecond = Fraction.value_or(0);
    capture.Clock = CaptureClock::CameraLocal;
    capture.Record = Record;
    return capture;
}

bool IsExifHeader(ByteReader Data) { return Data.SkipIf(std::string_view("Exif\0", 5)); }

}  // namespace

std::optional<CivilTime> ParseExifDateTime(std::span<const std::uint8_t> Text) {
    if (Text.size() < 19) return std::nullopt;
    // Some writers put dashes or slashes in the date, or a T between date and time.
    const auto dateSeparator = [](std::uint8_t c) { return c == ':' || c == '-' || c == '/'; };
    if (!dateSeparator(Text[4]) || Text[7] != Text[4] || (Text[10] != ' ' && Text[10] != 'T') || Text[13] != ':' ||
        Text[16] != ':')
        return std::nullopt;
    const auto year = Digits(Text, 0, 4), month = Digits(Text, 5, 2), day = Digits(Text, 8, 2);
    const auto hour = Digits(Text, 11, 2), minute = Digits(Text, 14, 2), second = Digits(Text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    const CivilTime time{*year, *month, *day, *hour, *minute, *second, 0};
    if (!IsValid(time)) return std::nullopt;
    return time;
}

std::optional<std::uint32_t> ParseSubSecond(std::span<const std::uint8_t> Text) {
    std::size_t at = 0;
    while (at < Text.size() && Text[at] == ' ') ++at;
    std::uint32_t nanoseconds = 0;
    std::uint32_t scale = 100000000;
    std::size_t digits = 0;
    for (; at < Text.size() && Text[at] >= '0' && Text[at] <= '9'; ++at, ++digits) {
        nanoseconds += static_cast<std::uint32_t>(Text[at] - '0') * scale;
        scale /= 10;
    }
    if (digits == 0) return std::nullopt;
    // Only spaces and the terminating zero may follow the digits.
    for (; at < Text.size(); ++at)
        if (Text[at] != ' ' && Text[at] != 0) return std::nullopt;
    return nanoseconds;
}

void CollectTiffDates(const FileRange& Tiff, FirstIfd First, ExifDates& Dates) {
    const auto header = Tiff.Load(0, 8);
    if (!header) return;
    ByteReader reader(*header);
    ByteOrder order;
    if (reader.SkipIf("II"))
        order = ByteOrder::LittleEndian;
    else if (reader.SkipIf("MM"))
        order = ByteOrder::BigEndian;
    else
        return;
    reader.SetOrder(order);
    // 42 is TIFF's; Olympus ("RO", "RS") and Panasonic (0x55) put their own number there.
    const auto magic = reader.U16();
    if (!magic || (*magic != 42 && *magic != 0x4F52 && *magic != 0x5352 && *magic != 0x55)) return;
    const auto firstOffset = reader.U32();
    if (!firstOffset) return;
    if (First == FirstIfd::ExifIfd) {
        ReadIfd(Tiff, order, *firstOffset, Dates.ExifIfd);
        return;
    }
    const auto exifOffset = ReadIfd(Tiff, order, *firstOffset, Dates.Ifd0);
    if (exifOffset) ReadIfd(Tiff, order, *exifOffset, Dates.ExifIfd);
}

std::optional<CaptureTime> ChooseCaptureTime(const ExifDates& Dates) {
    for (const auto* found : {&Dates.ExifIfd, &Dates.Ifd0})
        if (auto time = TimeWithFraction(found->Original, found->OriginalFraction, CaptureRecord::DateTimeOriginal))
            return time;
    for (const auto* found : {&Dates.ExifIfd, &Dates.Ifd0})
        if (auto time =
                TimeWithFraction(found->Digitized, found->DigitizedFraction, CaptureRecord::DateTimeDigitized))
            return time;
    return std::nullopt;
}

std::optional<CaptureTime> ReadTiffCaptureTime(const FileRange& Tiff) {
    ExifDates dates;
    CollectTiffDates(Tiff, FirstIfd::Ifd0, dates);
    return ChooseCaptureTime(dates);
}

std::optional<CaptureTime> ReadJpegCaptureTime(const FileRange& Jpeg) {
    const auto start = Jpeg.Load(0, 2);
    if (!start || (*start)[0] != 0xFF || (*start)[1] != 0xD8) return std::nullopt;
    std::uint64_t position = 2;
    for (int step = 0; step < MaxJpegSteps; ++step) {
        const auto marker = Jpeg.Load(position, 2);
        if (!marker || (*marker)[0] != 0xFF) return std::nullopt;
        const std::uint8_t code = (*marker)[1];
        if (code == 0xFF) {  // a fill byte before the marker
            ++position;
            continue;
        }
        if (code == 0xD9 || code == 0xDA) return std::nullopt;  // the end, or the image data: no Exif before it
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {    // markers without a length
            position += 2;
            continue;
        }
        const auto lengthBytes = Jpeg.Load(position + 2, 2);
        if (!lengthBytes) return std::nullopt;
        const auto length = ByteReader(*lengthBytes).U16();
        if (!length || *length < 2) return std::nullopt;
        const auto segment = Jpeg.Part(position + 4, *length - 2u);
        if (!segment) return std::nullopt;
        if (code == 0xE1) {
            // The first Exif segment speaks for the photo; a later one (an editor's copy, a second
            // picture's) only where the first gives no date.
            const auto head = segment->LoadUpTo(0, 6);
            if (head && head->size() == 6 && IsExifHeader(ByteReader(*head))) {
                const auto tiff = segment->From(6);
                if (tiff)
                    if (auto time = ReadTiffCaptureTime(*tiff)) return time;
            }
        }
        position += 2u + *length;
    }
    return std::nullopt;
}

std::optional<CaptureTime> ReadRafCaptureTime(const FileRange& File) {
    // The header gives the embedded JPEG preview's place (offset and length) at byte 84.
    const auto header = File.Load(0, 92);
    if (!header) return std::nullopt;
    ByteReader reader(*header);
    if (!reader.SkipIf("FUJIFILMCCD-RAW") || !reader.Seek(84)) return std::nullopt;
    const auto offset = reader.U32();
    const auto length = reader.U32();
    if (!offset || !length) return std::nullopt;
    const auto preview = File.Part(*offset, *length);
    if (!preview) return std::nullopt;
    return ReadJpegCaptureTime(*preview);
}

}  // namespace media
