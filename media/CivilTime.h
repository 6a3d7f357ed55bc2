#pragma once
// A date and a time of day as a clock shows them, with no time zone attached, and the arithmetic the
// readers need on it (days of a month, seconds since 1970-01-01 of the same clock).

#include <compare>
#include <cstdint>
#include <optional>

namespace media {

struct CivilTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    // The fraction of the second, where the record gives one (0 otherwise).
    std::uint32_t Nanosecond = 0;

    auto operator<=>(const CivilTime&) const = default;
};

int DaysInMonth(int Year, int Month);
// Whether every field is in its range, years 1 to 9999.
bool IsValid(const CivilTime& Time);
// Whole seconds since 1970-01-01 00:00:00 of the same clock (the fraction left out).
std::int64_t SecondsSinceEpoch(const CivilTime& Time);
// The time Seconds after 1970-01-01 00:00:00; nothing outside years 1 to 9999.
std::optional<CivilTime> CivilTimeFromSeconds(std::int64_t Seconds);

}  // namespace media
