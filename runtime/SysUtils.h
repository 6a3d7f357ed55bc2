#pragma once
// Errors, text helpers and date-time values shared by every layer.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace forms {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// An error that carries a message; every failure of the program is one of these.
class Exception : public std::exception {
public:
    explicit Exception(std::wstring message);
    const std::wstring& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FNarrow.c_str(); }

private:
    std::wstring FMessage;
    std::string FNarrow;
};

class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EComponentError : public Exception {
public:
    using Exception::Exception;
};

class EStringListError : public Exception {
public:
    using Exception::Exception;
};

// Misuse of a component: "text (source, line n)".
[[noreturn]] void AssertionFailed(std::wstring_view text, std::wstring_view sourceFile, int line);
inline void Assert(bool condition, std::wstring_view text, std::wstring_view sourceFile, int line) {
    if (!condition) AssertionFailed(text, sourceFile, line);
}

// printf-style formatting into a wide string (%s takes const wchar_t*).
std::wstring Format(const wchar_t* pattern, ...);

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Letter-case mapping that touches only A-Z / a-z, as paths and target names need.
std::wstring AsciiUpperCase(std::wstring_view text);
std::wstring AsciiLowerCase(std::wstring_view text);

// The text from the last "." after the last "\" or ":", dot included; empty when none.
std::wstring ExtractFileExt(std::wstring_view path);
// Path with "\" appended unless it already ends with one.
std::wstring IncludeTrailingPathDelimiter(std::wstring_view path);
// Directory-existence test; links are followed, the empty text is no directory.
bool DirectoryExists(const std::wstring& path);

// Removes leading and trailing characters with codes up to 32.
std::wstring Trim(std::wstring_view text);

// Days since 30 December 1899, the time of day as the fraction; local time.
using TDateTime = double;

// Fails with EConvertError "Invalid argument to date encode" for an invalid date or time.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// Formats with "yyyy-mm-dd".
std::wstring FormatDateIso(TDateTime value);
TDateTime Now();

}  // namespace forms
