#pragma once
// The new names: date, label, a counter that restarts every day, and the extension.

#include <string>
#include <string_view>

namespace engine {

// The label box's rule for a typed character: a blank, "*", ".", "?" and "\" become "_".
wchar_t FilterLabelCharacter(wchar_t Key);
// A whole label as if typed character by character.
std::wstring FilterLabel(std::wstring_view Label);

// Numbers the files of one day: 1 for the first file of a new day, then 2, 3, ...
class DayCounter {
public:
    // The counter of the next file, whose day ("yyyy-mm-dd") is Day.
    int Next(const std::wstring& Day);

private:
    std::wstring FDay;
    int FCounter = 0;
};

// The new full path of Source: output directory, "yyyy-mm-dd", "_", label,
// the day counter ("_0n" below 10) and the lower-cased extension. Empty when
// the name would not be a single file name inside the output directory
// (the label holds "\", "/" or ":").
std::wstring BuildTargetName(const std::wstring& OutputDirectory, const std::wstring& Day,
                             const std::wstring& Label, int Counter, const std::wstring& Source);

}  // namespace engine
