#include "media/CivilTime.h"

namespace media {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (the usual era arithmetic: 400-year cycles
// starting on 1 March, so the leap day is the last day of a cycle's year).
std::int64_t DaysFromCivil(std::int64_t Year, int Month, int Day) {
    Year -= Month <= 2 ? 1 : 0;
    const std::int64_t era = (Year >= 0 ? Year : Year - 399) / 400;
    const std::int64_t yearOfEra = Year - era * 400;
    const std::int64_t dayOfYear = (153 * (Month > 2 ? Month - 3 : Month + 9) + 2) / 5 + Day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

constexpr std::int64_t SecondsPerDay = 86400;

}  // namespace

int DaysInMonth(int Year, int Month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12) return 0;
    const bool leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
    return Month == 2 && leap ? 29 : days[Month - 1];
}

bool IsValid(const CivilTime& Time) {
    return Time.Year >= 1 && Time.Year <= 9999 && Time.Month >= 1 && Time.Month <= 12 && Time.Day >= 1 &&
           Time.Day <= DaysInMonth(Time.Year, Time.Month) && Time.Hour >= 0 && Time.Hour <= 23 &&
           Time.Minute >= 0 && Time.Minute <= 59 && Time.Second >= 0 && Time.Second <= 59 &&
           Time.Nanosecond < 1000000000;
}

std::int64_t SecondsSinceEpoch(const CivilTime& Time) {
    return DaysFromCivil(Time.Year, Time.Month, Time.Day) * SecondsPerDay + Time.Hour * 3600 + Time.Minute * 60 +
           Time.Second;
}

std::optional<CivilTime> CivilTimeFromSeconds(std::int64_t Seconds) {
    // Years 1 to 9999 only, which also keeps the arithmetic below far from overflow.
    constexpr std::int64_t first = -62135596800;  // 0001-01-01 00:00:00
    constexpr std::int64_t last = 253402300799;   // 9999-12-31 23:59:59
    if (Seconds < first || Seconds > last) return std::nullopt;
    std::int64_t days = Seconds / SecondsPerDay;
    std::int64_t rest = Seconds % SecondsPerDay;
    if (rest < 0) {
        rest += SecondsPerDay;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    CivilTime time;
    time.Day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    time.Month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    time.Year = static_cast<int>(yearOfEra + era * 400 + (time.Month <= 2 ? 1 : 0));
    time.Hour = static_cast<int>(rest / 3600);
    time.Minute = static_cast<int>(rest / 60 % 60);
    time.Second = static_cast<int>(rest % 60);
    return time;
}

}  // namespace media
