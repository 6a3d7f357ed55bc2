// The coverage-guided fuzzer's entry (libFuzzer, built on the build machine by scripts/fuzz.sh with
// address and undefined-behaviour checks): any bytes, read as a camera file, must end in a valid
// time or none, within the bounds of the input.

#include <cstdint>
#include <cstdlib>

#include "media/CaptureTime.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    media::MemorySource source(std::span<const std::uint8_t>(Data, Size));
    // The content chooses the reader; any name of the list lets it read.
    const auto capture = media::ReadCaptureTime(source, L"input.jpg");
    if (!capture) return 0;
    if (!media::IsValid(capture->Time)) std::abort();
    const auto local = media::LocalCaptureTime(
        *capture, capture->Time,
        [](const media::CivilTime& Utc) { return media::CivilTimeFromSeconds(media::SecondsSinceEpoch(Utc) - 5400); });
    if (local && !media::IsValid(local->Time)) std::abort();
    return 0;
}
