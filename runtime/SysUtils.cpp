#include "runtime/SysUtils.h"

#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <vector>

namespace forms {

Exception::Exception(std::wstring message) : FMessage(std::move(message)), FNarrow(WideToUtf8(FMessage)) {}

void AssertionFailed(std::wstring_view text, std::wstring_view sourceFile, int line) {
    throw EAssertionFailed(Format(L"%s (%s, line %d)", std::wstring(text).c_str(),
                                  std::wstring(sourceFile).c_str(), line));
}

std::wstring Format(const wchar_t* pattern, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, pattern);
        int written = _vsnwprintf(buffer.data(), buffer.size(), pattern, args);
        va_end(args);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size())
            return std::wstring(buffer.data(), written);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) return {};
    int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring AsciiUpperCase(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return result;
}

std::wstring AsciiLowerCase(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return result;
}

std::wstring ExtractFileExt(std::wstring_view path) {
    size_t dot = path.find_last_of(L".\\:");
    if (dot == std::wstring_view::npos || path[dot] != L'.') return {};
    return std::wstring(path.substr(dot));
}

std::wstring IncludeTrailingPathDelimiter(std::wstring_view path) {
    std::wstring result(path);
    if (result.empty() || result.back() != L'\\') result += L'\\';
    return result;
}

bool DirectoryExists(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring Trim(std::wstring_view text) {
    size_t first = 0, last = text.size();
    while (first < last && text[first] <= L' ') ++first;
    while (last > first && text[last - 1] <= L' ') --last;
    return std::wstring(text.substr(first, last - first));
}

namespace {

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1 January 0001 to the given date, counting that day as 1.
int64_t DayNumber(int year, int month, int day) {
    int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
    return days + day;
}

constexpr int64_t kDayNumberOf18991230 = 693594;  // DayNumber(1899, 12, 30)

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    bool valid = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
                 day <= DaysInMonth(year, month) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
                 second >= 0 && second < 60 && millisecond >= 0 && millisecond < 1000;
    if (!valid) throw EConvertError(L"Invalid argument to date encode");
    double date = static_cast<double>(DayNumber(year, month, day) - kDayNumberOf18991230);
    double time = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
    // Before the epoch the fraction still counts forward in time, away from zero.
    return date < 0 ? date - time : date + time;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    // Civil-from-days on the 400-year cycle, counted from 1 March 0000.
    constexpr int64_t kDaysFrom18991230To19700101 = 25569;
    int64_t z = static_cast<int64_t>(std::trunc(value)) - kDaysFrom18991230To19700101 + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::wstring FormatDateIso(TDateTime value) {
    int year, month, day;
    DecodeDate(value, year, month, day);
    return Format(L"%04d-%02d-%02d", year, month, day);
}

TDateTime Now() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                          now.wMilliseconds);
}

}  // namespace forms
