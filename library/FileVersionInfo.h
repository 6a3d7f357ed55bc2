#pragma once
// The version record of an executable file: its fixed part (the file and
// product version numbers) and its string values and translations.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "runtime/SysUtils.h"

namespace library {

class EFileVersionInfoError : public forms::Exception {
public:
    using Exception::Exception;
};

class TFileVersionInfo : public forms::TObject {
public:
    // Reads and parses the record of FileName; fails with EFileVersionInfoError.
    explicit TFileVersionInfo(const std::wstring& FileName);

    // A copy of the record's fixed part (signature 0xFEEF04BD).
    const VS_FIXEDFILEINFO& FixedInfo() const { return FFixedInfo; }
    // A string value ("ProductName", ...) of the first string table that has it; empty when none does.
    std::wstring StringValue(const std::wstring& name) const;
    // The languages and code pages the record names: language in the low word, code page in the high word.
    const std::vector<DWORD>& Translations() const { return FTranslations; }

private:
    void ParseChildren(const BYTE* base, const BYTE* begin, const BYTE* end);

    VS_FIXEDFILEINFO FFixedInfo{};
    std::vector<std::pair<std::wstring, std::wstring>> FStrings;
    std::vector<DWORD> FTranslations;
};

}  // namespace library
