#include "engine/ReleaseRun.h"

#include <algorithm>
#include <unordered_set>

#include "engine/FileDates.h"
#include "engine/FileMove.h"
#include "engine/TargetNames.h"
#include "runtime/SysUtils.h"

namespace engine {

bool ReleaseObserver::DateRead(int, int) { return true; }
void ReleaseObserver::Sorted(int) {}
void ReleaseObserver::FileStarting(int, const std::wstring&) {}

namespace {

// The names on disk as the moves so far would have left them. File names
// compare without regard to letter case, as the file system compares them.
class PlannedDisk {
public:
    DWORD Move(const std::wstring& Source, const std::wstring& Target) {
        const std::wstring name = Target.substr(Target.find_last_of(L'\\') + 1);
        if (name.find_first_of(L"<>|\"*?") != std::wstring::npos ||
            std::any_of(name.begin(), name.end(), [](wchar_t character) { return character < 32; }))
            return ERROR_INVALID_NAME;
        const std::wstring directory = Target.substr(0, Target.size() - name.size());
        if (directory != FCheckedDirectory) {
            FDirectoryExists = forms::DirectoryExists(directory);
            FCheckedDirectory = directory;
        }
        if (!FDirectoryExists) return ERROR_PATH_NOT_FOUND;
        const std::wstring target = Key(Target);
        if (FArrived.count(target) || (!FLeft.count(target) && GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES))
            return ERROR_ALREADY_EXISTS;
        const std::wstring source = Key(Source);
        FArrived.insert(target);
        FArrived.erase(source);
        FLeft.insert(source);
        FLeft.erase(target);
        return ERROR_SUCCESS;
    }

private:
    static std::wstring Key(const std::wstring& path) {
        std::wstring upper(path.size(), L'\0');
        if (path.empty() || LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, path.c_str(), static_cast<int>(path.size()),
                                         upper.data(), static_cast<int>(upper.size())) != static_cast<int>(path.size()))
            return forms::AsciiUpperCase(path);
        return upper;
    }

    std::unordered_set<std::wstring> FArrived;
    std::unordered_set<std::wstring> FLeft;
    std::wstring FCheckedDirectory;
    bool FDirectoryExists = false;
};

}  // namespace

void ReleaseFiles(std::vector<std::wstring>& Files, ReleaseObserver& Observer, ReleaseMode Mode) {
    const int count = static_cast<int>(Files.size());
    // Each date is read once instead of twice per comparison; sorted on those
    // dates, the files take the very order the comparator would give them.
    std::vector<forms::TDateTime> dates;
    dates.reserve(count);
    for (int i = 0; i < count; ++i) {
        dates.push_back(GetFileDate(Files[i]));
        if (!Observer.DateRead(i + 1, count)) return;
    }
    SortByFileDates(Files, dates);
    Observer.Sorted(count);

    PlannedDisk plan;
    DayCounter counter;
    for (int i = 0; i < count; ++i) {
        const std::wstring& source = Files[i];
        Observer.FileStarting(i, source);
        const std::wstring day = forms::FormatDateIso(dates[i]);
        const int number = counter.Next(day);
        FileResult result;
        result.Source = source;
        result.Target = BuildTargetName(Observer.OutputDirectory(), day, Observer.Label(), number, source);
        if (result.Target.empty())
            result.Error = ERROR_INVALID_NAME;
        else
            result.Error = Mode == ReleaseMode::Plan ? plan.Move(source, result.Target) : MoveToTarget(source, result.Target);
        // A file that went or is held since the sort cannot move, and its date
        // cannot be read now either: that ends the run here, as it would have
        // at the sort. Asking only when the move failed spares every file a read.
        if (!result.Moved()) GetFileDate(source);
        if (!Observer.FileDone(i, result)) return;
    }
}

}  // namespace engine
