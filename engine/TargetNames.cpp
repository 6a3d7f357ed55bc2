#include "engine/TargetNames.h"

#include "runtime/SysUtils.h"

namespace engine {

wchar_t FilterLabelCharacter(wchar_t Key) {
    switch (Key) {
        case L' ':
        case L'*':
        case L'.':
        case L'?':
        case L'\\':
            return L'_';
        default:
            return Key;
    }
}

std::wstring FilterLabel(std::wstring_view Label) {
    std::wstring filtered(Label);
    for (wchar_t& character : filtered) character = FilterLabelCharacter(character);
    return filtered;
}

int DayCounter::Next(const std::wstring& Day) {
    if (Day != FDay) {
        FDay = Day;
        FCounter = 1;
    } else {
        ++FCounter;
    }
    return FCounter;
}

std::wstring BuildTargetName(const std::wstring& OutputDirectory, const std::wstring& Day, const std::wstring& Label,
                             int Counter, const std::wstring& Source) {
    std::wstring name = Day + L"_" + Label + (Counter < 10 ? L"_0" : L"_") + std::to_wstring(Counter) +
                        forms::AsciiLowerCase(forms::ExtractFileExt(Source));
    // A label is free text: a separator or a stream colon in it would place
    // the file outside the output directory or into a stream of another file.
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return {};
    return forms::IncludeTrailingPathDelimiter(OutputDirectory) + name;
}

}  // namespace engine
