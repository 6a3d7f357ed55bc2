#include "media/CaptureTime.h"

#include <cstdlib>
#include <string>

#include "media/ExifReader.h"
#include "media/FileRange.h"
#include "media/IsoBoxReader.h"

namespace media {

namespace {

// The extensions, lower-case, whose files are read.
constexpr std::wstring_view ReadExtensions[] = {
    L"jpg", L"jpeg",                                                                          // JPEG
    L"cr2", L"nef", L"nrw", L"arw", L"sr2", L"dng", L"orf", L"rw2", L"pef", L"srw", L"iiq",  // TIFF-based RAW
    L"3fr", L"erf", L"raf", L"cr3",                                                           //
    L"heic", L"heif", L"hif", L"avif",                                                        // HEIF
    L"mp4", L"mov", L"m4v", L"3gp",                                                           // movies
};

std::wstring LowerExtension(std::wstring_view FileName) {
    const std::size_t dot = FileName.find_last_of(L'.');
    const std::size_t separator = FileName.find_last_of(L"\\/:");
    if (dot == std::wstring_view::npos || (separator != std::wstring_view::npos && separator > dot)) return {};
    std::wstring extension(FileName.substr(dot + 1));
    for (wchar_t& c : extension)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return extension;
}

bool IsTiffHeader(std::span<const std::uint8_t> Head) {
    if (Head.size() < 4) return false;
    ByteReader reader(Head);
    if (reader.SkipIf("II")) {
        reader.SetOrder(ByteOrder::LittleEndian);
    } else if (!reader.SkipIf("MM")) {
        return false;
    }
    const auto magic = reader.U16();
    return magic && (*magic == 42 || *magic == 0x4F52 || *magic == 0x5352 || *magic == 0x55);
}

// Within this of the recording a file's last write counts as written by the camera: the few
// seconds it takes to close a file, a FAT date's two-second step, a header's rounded duration.
constexpr std::int64_t RecordingSlackSeconds = 10 * 60;

// How far the last write lies outside the recording that starts at Start, or nothing when inside
// it with the slack; the distance of its end from the last write when inside.
struct Fit {
    bool Inside;
    std::int64_t FromEnd;
};
Fit FitRecording(std::int64_t Start, std::int64_t Duration, std::int64_t LastWrite) {
    const std::int64_t end = Start + Duration;
    return {LastWrite >= Start - RecordingSlackSeconds && LastWrite <= end + RecordingSlackSeconds,
            std::llabs(LastWrite - end)};
}

}  // namespace

bool MayHaveCaptureTime(std::wstring_view FileName) {
    const std::wstring extension = LowerExtension(FileName);
    for (const std::wstring_view known : ReadExtensions)
        if (extension == known) return true;
    return false;
}

std::optional<CaptureTime> ReadCaptureTime(ByteSource& Source, std::wstring_view FileName) {
    if (!MayHaveCaptureTime(FileName)) return std::nullopt;
    FileCache cache(Source);
    const FileRange file(cache);
    const auto head = file.LoadUpTo(0, 16);
    if (!head || head->size() < 4) return std::nullopt;
    // The first bytes decide, not the name: a renamed file is read as what it is.
    if ((*head)[0] == 0xFF && (*head)[1] == 0xD8 && (*head)[2] == 0xFF) return ReadJpegCaptureTime(file);
    if (IsTiffHeader(*head)) return ReadTiffCaptureTime(file);
    if (ByteReader(*head).SkipIf("FUJIFILMCCD-RAW")) return ReadRafCaptureTime(file);
    switch (SniffIsoFile(file)) {
        case IsoFileKind::CanonRaw3: return ReadCr3CaptureTime(file);
        case IsoFileKind::HeifImage: return ReadHeifCaptureTime(file);
        case IsoFileKind::Movie: return ReadMovieCaptureTime(file);
        case IsoFileKind::NotIso: break;
    }
    return std::nullopt;
}

std::optional<LocalCapture> LocalCaptureTime(const CaptureTime& Capture,
                                             const std::optional<CivilTime>& FileLastWriteLocal,
                                             const UtcToLocalTime& ToLocal) {
    if (Capture.Clock == CaptureClock::CameraLocal) return LocalCapture{Capture.Time, MovieClockReading::NotAMovie};
    const std::optional<CivilTime> asUtc = ToLocal ? ToLocal(Capture.Time) : std::nullopt;
    if (FileLastWriteLocal) {
        // Durations beyond a day are nonsense for a camera's clip and are not trusted.
        const std::int64_t duration =
            static_cast<std::int64_t>(Capture.DurationSeconds < 86400 ? Capture.DurationSeconds : 0);
        const std::int64_t lastWrite = SecondsSinceEpoch(*FileLastWriteLocal);
        const Fit local = FitRecording(SecondsSinceEpoch(Capture.Time), duration, lastWrite);
        const std::optional<Fit> utc =
            asUtc ? std::optional<Fit>(FitRecording(SecondsSinceEpoch(*asUtc), duration, lastWrite)) : std::nullopt;
        const bool utcFits = utc && utc->Inside;
        if (local.Inside && (!utcFits || local.FromEnd < utc->FromEnd))
            return LocalCapture{Capture.Time, MovieClockReading::AsLocalTime};
    }
    if (!asUtc) return std::nullopt;
    CivilTime local = *asUtc;
    local.Nanosecond = Capture.Time.Nanosecond;
    return LocalCapture{local, MovieClockReading::AsUtc};
}

}  // namespace media
