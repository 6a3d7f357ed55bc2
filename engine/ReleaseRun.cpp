#include "engine/ReleaseRun.h"

#include <unordered_set>

#include "engine/FileDates.h"
#include "engine/FileMove.h"
#include "engine/SystemMessage.h"
#include "engine/TargetNames.h"
#include "runtime/SysUtils.h"

namespace engine {

bool ReleaseObserver::DateRead(int, int) { return true; }
void ReleaseObserver::Sorted(int) {}
void ReleaseObserver::FileStarting(int, const std::wstring&) {}
bool ReleaseObserver::CopyAbandoned() { return false; }

std::wstring FailureReason(const FileResult& Result) {
    std::wstring reason;
    switch (Result.Error) {
        // Windows has texts for these that some systems lack.
        case ERROR_FILE_READ_ONLY:
            reason = L"The file is read-only (protected): it does not leave its volume.";
            break;
        case ERROR_FILE_INVALID:
            reason = L"The file changed while it was copied.";
            break;
        default:
            reason = SystemMessage(Result.Error);
    }
    if (!Result.Leftover.empty()) reason += L" A copy could not be removed again: " + Result.Leftover;
    return reason;
}

namespace {

// The disk as the moves planned so far would leave it. File names compare
// without regard to letter case, as the file system compares them.
class PlannedDisk : public TargetDisk {
public:
    DWORD TargetRefusal(const std::wstring& Target) override {
        const std::wstring directory = Target.substr(0, Target.find_last_of(L'\\') + 1);
        if (directory != FCheckedDirectory) {
            FDirectoryExists = forms::DirectoryExists(directory);
            FCheckedDirectory = directory;
        }
        if (!FDirectoryExists) return ERROR_PATH_NOT_FOUND;
        const std::wstring target = PathKey(Target);
        if (FArrived.count(target) || (!FLeft.count(target) && GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES))
            return ERROR_ALREADY_EXISTS;
        return ERROR_SUCCESS;
    }
    void Moved(const std::wstring& Source, const std::wstring& Target) {
        const std::wstring source = PathKey(Source), target = PathKey(Target);
        // A file already at its name (or renamed in letter case) leaves nothing free and takes nothing.
        if (source == target) return;
        FArrived.insert(target);
        FArrived.erase(source);
        FLeft.insert(source);
        FLeft.erase(target);
    }

private:
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
    {
        // Gone before the first move: its listing holds the input folder open.
        FileDateReader reader;
        for (int i = 0; i < count; ++i) {
            dates.push_back(reader.Read(Files[i]));
            if (!Observer.DateRead(i + 1, count)) return;
        }
    }
    SortByFileDates(Files, dates);
    Observer.Sorted(count);

    PlannedDisk plan;
    FileMover mover([&Observer] { return Observer.CopyAbandoned(); });
    DayCounter counter;
    for (int i = 0; i < count; ++i) {
        const std::wstring& source = Files[i];
        Observer.FileStarting(i, source);
        const std::wstring day = forms::FormatDateIso(dates[i]);
        const int number = counter.Next(day);
        FileResult result;
        result.Source = source;
        result.Target = BuildTargetName(Observer.OutputDirectory(), day, Observer.Label(), number, source);
        // A plan asks the very question a move asks first, of the disk as the moves before would leave it.
        if (result.Target.empty()) {
            result.Error = ERROR_INVALID_NAME;
        } else if (Mode == ReleaseMode::Plan) {
            result.Error = mover.Check(source, result.Target, plan);
            if (result.Moved()) plan.Moved(source, result.Target);
        } else {
            result.Error = mover.Move(source, result.Target, &result.Leftover);
        }
        // A file that went or is held since the sort cannot move, and its date
        // cannot be read now either: that ends the run here, as it would have
        // at the sort. Asking only when the move failed spares every file a read.
        if (!result.Moved()) GetFileDate(source);
        if (!Observer.FileDone(i, result)) return;
    }
}

}  // namespace engine
