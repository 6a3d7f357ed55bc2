#include "media/IsoBoxReader.h"

#include <algorithm>
#include <array>

#include "media/ExifReader.h"

namespace media {

namespace {

// Seconds from 1904-01-01, the movie header's epoch, to 1970-01-01.
constexpr std::int64_t SecondsFrom1904To1970 = 2082844800;
// Items of a HEIF file read at most (an image of tiles has a few hundred).
constexpr std::uint32_t MaxItems = 4096;

// The body of a "full box" (a version byte and three bytes of flags first), after the flags.
struct FullBox {
    std::uint8_t Version;
    FileRange Body;
};

std::optional<FullBox> AsFullBox(const Box& Item) {
    const auto head = Item.Body.Load(0, 4);
    const auto body = Item.Body.From(4);
    if (!head || !body) return std::nullopt;
    return FullBox{(*head)[0], *body};
}

bool IsHeifBrand(std::uint32_t Brand) {
    for (const std::uint32_t heif : {BoxType("heic"), BoxType("heix"), BoxType("heim"), BoxType("heis"),
                                     BoxType("hevc"), BoxType("hevx"), BoxType("mif1"), BoxType("mif2"),
                                     BoxType("msf1"), BoxType("avif"), BoxType("avis")})
        if (Brand == heif) return true;
    return false;
}

bool IsMovieTopLevelBox(std::uint32_t Type) {
    // A QuickTime file from before "ftyp" starts with one of these.
    for (const std::uint32_t movie :
         {BoxType("moov"), BoxType("mdat"), BoxType("free"), BoxType("skip"), BoxType("wide"), BoxType("pnot")})
        if (Type == movie) return true;
    return false;
}

// The movie header's creation time and duration.
std::optional<CaptureTime> ReadMovieHeader(const Box& Header) {
    const auto full = AsFullBox(Header);
    if (!full) return std::nullopt;
    const auto bytes = full->Body.LoadUpTo(0, 28);
    if (!bytes) return std::nullopt;
    ByteReader reader(*bytes);
    std::optional<std::uint64_t> created, timescale, duration;
    if (full->Version == 1) {
        created = reader.U64();
        reader.Skip(8);  // modified
        timescale = reader.U32();
        duration = reader.U64();
    } else if (full->Version == 0) {
        created = reader.U32();
        reader.Skip(4);
        timescale = reader.U32();
        duration = reader.U32();
    }
    // Zero is what a camera without a set clock writes: no time.
    if (!created || *created == 0 || *created > static_cast<std::uint64_t>(INT64_MAX - SecondsFrom1904To1970))
        return std::nullopt;
    const auto time = CivilTimeFromSeconds(static_cast<std::int64_t>(*created) - SecondsFrom1904To1970);
    if (!time) return std::nullopt;
    CaptureTime capture;
    capture.Time = *time;
    capture.Clock = CaptureClock::Utc;
    capture.Record = CaptureRecord::MovieHeader;
    if (timescale && duration && *timescale != 0) capture.DurationSeconds = *duration / *timescale;
    return capture;
}

struct ItemPlace {
    std::uint8_t ConstructionMethod = 0;
    std::uint64_t Offset = 0;
    std::uint64_t Length = 0;
};

// The place of item ItemId's first extent, from the item location box.
std::optional<ItemPlace> FindItemPlace(const Box& Locations, std::uint32_t ItemId) {
    const auto full = AsFullBox(Locations);
    if (!full || full->Version > 2) return std::nullopt;
    const auto bytes = full->Body.LoadUpTo(0, MaxRecordBytes);
    if (!bytes) return std::nullopt;
    ByteReader reader(*bytes);
    const auto sizes = reader.U8();
    const auto moreSizes = reader.U8();
    if (!sizes || !moreSizes) return std::nullopt;
    const unsigned offsetSize = *sizes >> 4, lengthSize = *sizes & 15, baseOffsetSize = *moreSizes >> 4;
    const unsigned indexSize = full->Version == 0 ? 0 : *moreSizes & 15;
    const bool hasMethod = full->Version == 1 || full->Version == 2;
    const auto itemCount = reader.UnsignedOfWidth(full->Version < 2 ? 2 : 4);
    if (!itemCount) return std::nullopt;
    for (std::uint64_t item = 0; item < *itemCount && item < MaxItems; ++item) {
        const auto id = reader.UnsignedOfWidth(full->Version < 2 ? 2 : 4);
        std::optional<std::uint16_t> method = std::uint16_t{0};
        if (hasMethod) method = reader.U16();
        const auto dataReference = reader.U16();
        const auto baseOffset = reader.UnsignedOfWidth(baseOffsetSize);
        const auto extentCount = reader.U16();
        if (!id || !method || !dataReference || !baseOffset || !extentCount) return std::nullopt;
        std::optional<ItemPlace> first;
        for (std::uint16_t extent = 0; extent < *extentCount; ++extent) {
            if (indexSize != 0 && !reader.UnsignedOfWidth(indexSize)) return std::nullopt;
            const auto offset = reader.UnsignedOfWidth(offsetSize);
            const auto length = reader.UnsignedOfWidth(lengthSize);
            if (!offset || !length) return std::nullopt;
            if (extent == 0 && *baseOffset <= UINT64_MAX - *offset)
                first = ItemPlace{static_cast<std::uint8_t>(*method & 15), *baseOffset + *offset, *length};
        }
        // Only an item in this file (data reference 0) can be read.
        if (*id == ItemId) return *dataReference == 0 ? first : std::nullopt;
    }
    return std::nullopt;
}

// The item id of the first Exif item in the item information box.
std::optional<std::uint32_t> FindExifItem(const Box& Information) {
    const auto full = AsFullBox(Information);
    if (!full) return std::nullopt;
    const auto countBytes = full->Body.Load(0, full->Version == 0 ? 2 : 4);
    if (!countBytes) return std::nullopt;
    const auto entries = full->Body.From(countBytes->size());
    if (!entries) return std::nullopt;
    BoxWalker walker(*entries);
    while (const auto entry = walker.Find(BoxType("infe"))) {
        const auto info = AsFullBox(*entry);
        if (!info || info->Version < 2) continue;  // older entries name no item type
        const auto bytes = info->Body.LoadUpTo(0, 10);
        if (!bytes) continue;
        ByteReader reader(*bytes);
        const auto id = reader.UnsignedOfWidth(info->Version == 2 ? 2 : 4);
        if (!id || !reader.Skip(2)) continue;  // the protection index
        if (reader.SkipIf("Exif")) return static_cast<std::uint32_t>(*id);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Box> BoxWalker::Next() {
    if (FCount >= MaxBoxes) return std::nullopt;
    ++FCount;
    const auto header = FRange.LoadUpTo(FPosition, 16);
    if (!header || header->size() < 8) return std::nullopt;
    ByteReader reader(*header);
    const auto size32 = reader.U32();
    const auto type = reader.U32();
    if (!size32 || !type) return std::nullopt;
    std::uint64_t headerSize = 8;
    std::uint64_t size = *size32;
    if (*size32 == 1) {  // the size follows as 64 bits
        const auto size64 = reader.U64();
        if (!size64) return std::nullopt;
        size = *size64;
        headerSize = 16;
    } else if (*size32 == 0) {  // to the end of what holds it
        size = FRange.Size() - FPosition;
    }
    if (size < headerSize) return std::nullopt;
    const auto body = FRange.Part(FPosition + headerSize, size - headerSize);
    if (!body) return std::nullopt;
    FPosition += size;
    return Box{*type, *body};
}

std::optional<Box> BoxWalker::Find(std::uint32_t Type) {
    while (auto box = Next())
        if (box->Type == Type) return box;
    return std::nullopt;
}

IsoFileKind SniffIsoFile(const FileRange& File) {
    const auto head = File.LoadUpTo(0, 12);
    if (!head || head->size() < 8) return IsoFileKind::NotIso;
    ByteReader reader(*head);
    reader.Skip(4);
    const auto type = reader.U32();
    if (type == BoxType("ftyp")) {
        const auto brand = reader.U32();
        if (!brand) return IsoFileKind::NotIso;
        if (*brand == BoxType("crx ")) return IsoFileKind::CanonRaw3;
        if (IsHeifBrand(*brand)) return IsoFileKind::HeifImage;
        return IsoFileKind::Movie;
    }
    return type && IsMovieTopLevelBox(*type) ? IsoFileKind::Movie : IsoFileKind::NotIso;
}

std::optional<CaptureTime> ReadMovieCaptureTime(const FileRange& File) {
    const auto movie = BoxWalker(File).Find(BoxType("moov"));
    if (!movie) return std::nullopt;
    const auto header = BoxWalker(movie->Body).Find(BoxType("mvhd"));
    if (!header) return std::nullopt;
    return ReadMovieHeader(*header);
}

std::optional<CaptureTime> ReadCr3CaptureTime(const FileRange& File) {
    static constexpr std::array<std::uint8_t, 16> CanonMetadata = {
        0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0, 0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
    const auto movie = BoxWalker(File).Find(BoxType("moov"));
    if (!movie) return std::nullopt;
    BoxWalker inMovie(movie->Body);
    while (const auto box = inMovie.Find(BoxType("uuid"))) {
        const auto userType = box->Body.Load(0, 16);
        const auto body = box->Body.From(16);
        if (!userType || !body || !std::equal(userType->begin(), userType->end(), CanonMetadata.begin())) continue;
        // The first metadata box holds IFD0, the second the Exif IFD, each as a TIFF block.
        ExifDates dates;
        BoxWalker inMetadata(*body);
        while (const auto item = inMetadata.Next()) {
            if (item->Type == BoxType("CMT1")) CollectTiffDates(item->Body, FirstIfd::Ifd0, dates);
            if (item->Type == BoxType("CMT2")) CollectTiffDates(item->Body, FirstIfd::ExifIfd, dates);
        }
        return ChooseCaptureTime(dates);
    }
    return std::nullopt;
}

std::optional<CaptureTime> ReadHeifCaptureTime(const FileRange& File) {
    const auto meta = BoxWalker(File).Find(BoxType("meta"));
    if (!meta) return std::nullopt;
    const auto full = AsFullBox(*meta);
    if (!full) return std::nullopt;
    std::optional<Box> information, locations, itemData;
    BoxWalker inMeta(full->Body);
    while (const auto box = inMeta.Next()) {
        if (box->Type == BoxType("iinf") && !information) information = box;
        if (box->Type == BoxType("iloc") && !locations) locations = box;
        if (box->Type == BoxType("idat") && !itemData) itemData = box;
    }
    if (!information || !locations) return std::nullopt;
    const auto exifItem = FindExifItem(*information);
    if (!exifItem) return std::nullopt;
    const auto place = FindItemPlace(*locations, *exifItem);
    if (!place) return std::nullopt;
    // Method 0: an offset in the file; 1: in the item data box.
    std::optional<FileRange> base;
    if (place->ConstructionMethod == 0) base = File;
    if (place->ConstructionMethod == 1 && itemData) base = itemData->Body;
    if (!base) return std::nullopt;
    const auto item = place->Length == 0 ? base->From(place->Offset) : base->Part(place->Offset, place->Length);
    if (!item) return std::nullopt;
    // The item starts with the offset of the TIFF header after it (past "Exif\0\0", usually).
    const auto headerOffsetBytes = item->Load(0, 4);
    if (!headerOffsetBytes) return std::nullopt;
    const auto headerOffset = ByteReader(*headerOffsetBytes).U32();
    if (!headerOffset) return std::nullopt;
    const auto tiff = item->From(4 + std::uint64_t{*headerOffset});
    if (!tiff) return std::nullopt;
    return ReadTiffCaptureTime(*tiff);
}

}  // namespace media
