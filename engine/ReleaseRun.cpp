#include "engine/ReleaseRun.h"

#include <unordered_map>
#include <unordered_set>

#include "engine/FileDates.h"
#include "engine/FileMove.h"
#include "engine/ReleaseChecks.h"
#include "engine/TargetNames.h"
#include "runtime/SysUtils.h"
#include "runtime/SystemMessage.h"

namespace engine {

bool ReleaseObserver::DateRead(int, int) { return true; }
bool ReleaseObserver::Sorted(const std::vector<std::wstring>&, const std::vector<std::wstring>&) { return true; }
void ReleaseObserver::FileStarting(int, const std::wstring&) {}
bool ReleaseObserver::CopyAbandoned(const CopyProgress&) { return false; }
std::wstring ReleaseObserver::BackupDirectory() { return {}; }

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
        case kErrorNoOutputDirectory:
            reason = kInvalidOutputDirectory;
            break;
        case kErrorFreeSpaceUnknown:
            reason = Result.BackupFailed ? L"Cannot tell: the free space of the backup volume is not known."
                                         : L"Cannot tell: the free space of the output volume is not known.";
            break;
        default:
            reason = forms::SystemMessage(Result.Error);
    }
    if (Result.BackupFailed) reason = L"backup: " + reason;
    if (!Result.Leftover.empty()) reason += L" A copy could not be removed again: " + Result.Leftover;
    return reason;
}

namespace {

std::wstring Amount(uint64_t bytes, double unit) { return forms::Format(L"%.1f", static_cast<double>(bytes) / unit); }

}  // namespace

std::wstring AmountCopied(const CopyProgress& Progress) {
    // Units of 1024, as the system's own file sizes are shown.
    const bool gigabytes = Progress.Size >= (1ull << 30);
    const double unit = gigabytes ? double(1ull << 30) : double(1ull << 20);
    return std::wstring(Progress.Verifying ? L"verifying " : L"") + Amount(Progress.Done, unit) + L" of " +
           Amount(Progress.Size, unit) + (gigabytes ? L" GB" : L" MB");
}

namespace {

// The disk as the moves planned so far would leave it. File names compare
// without regard to letter case, as the file system compares them.
class PlannedDisk : public TargetDisk {
public:
    DWORD TargetRefusal(const std::wstring& Target) override {
        const std::wstring directory = Target.substr(0, Target.find_last_of(L'\\') + 1);
        // Tried once per directory: the output's and the backup's take turns.
        auto [checked, added] = FDirectoryRefusals.try_emplace(directory, ERROR_SUCCESS);
        if (added) checked->second = DirectoryRefusal(directory);
        if (checked->second) return checked->second;
        const std::wstring target = PathKey(Target);
        if (FArrived.count(target) || (!FLeft.count(target) && GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES))
            return ERROR_ALREADY_EXISTS;
        return ERROR_SUCCESS;
    }
    // The bytes planned for a volume so far against its free space, each file
    // taking whole clusters as the disk gives them.
    DWORD SpaceRefusal(const std::wstring& Target, uint64_t Size) override {
        const std::wstring directory = Target.substr(0, Target.find_last_of(L'\\') + 1);
        Volume& volume = VolumeOf(directory);
        if (!volume.Known) return kErrorFreeSpaceUnknown;
        const uint64_t needed = (Size + volume.Cluster - 1) / volume.Cluster * volume.Cluster;
        if (needed > volume.Free) return ERROR_DISK_FULL;
        volume.Free -= needed;
        return ERROR_SUCCESS;
    }
    void SpaceReturned(const std::wstring& Target, uint64_t Size) override {
        Volume& volume = VolumeOf(Target.substr(0, Target.find_last_of(L'\\') + 1));
        if (volume.Known) volume.Free += (Size + volume.Cluster - 1) / volume.Cluster * volume.Cluster;
    }
    // A backup planned under Target: its name is taken from then on.
    void Arrived(const std::wstring& Target) {
        const std::wstring target = PathKey(Target);
        FArrived.insert(target);
        FLeft.erase(target);
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
    struct Volume {
        bool Known = false;
        uint64_t Free = 0;
        uint64_t Cluster = 1;
    };

    // Why no file can be made in directory: gone, or not to be written (no
    // access, a read-only volume), as a new file there finds; tried once with a
    // temporary file that goes at once.
    static DWORD DirectoryRefusal(const std::wstring& directory) {
        if (!forms::DirectoryExists(directory)) return ERROR_PATH_NOT_FOUND;
        VerifiedCopy probe;
        return probe.Create(directory);
    }

    Volume& VolumeOf(const std::wstring& directory) {
        wchar_t mount[MAX_PATH + 1] = {};
        if (!GetVolumePathNameW(directory.c_str(), mount, MAX_PATH + 1)) lstrcpynW(mount, directory.c_str(), MAX_PATH + 1);
        const std::wstring key = PathKey(mount);
        auto [entry, added] = FVolumes.try_emplace(key);
        if (added) {
            ULARGE_INTEGER free{};
            DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
            entry->second.Known = GetDiskFreeSpaceExW(directory.c_str(), &free, nullptr, nullptr) != 0;
            entry->second.Free = free.QuadPart;
            if (GetDiskFreeSpaceW(mount, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters) &&
                sectorsPerCluster && bytesPerSector)
                entry->second.Cluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
        }
        return entry->second;
    }

    std::unordered_set<std::wstring> FArrived;
    std::unordered_set<std::wstring> FLeft;
    std::unordered_map<std::wstring, Volume> FVolumes;
    std::unordered_map<std::wstring, DWORD> FDirectoryRefusals;
};

}  // namespace

void ReleaseFiles(std::vector<std::wstring>& Files, ReleaseObserver& Observer, ReleaseMode Mode, DateSource Dates) {
    const int count = static_cast<int>(Files.size());
    // Each date is read once instead of twice per comparison; sorted on those
    // dates, the files take the very order the comparator would give them.
    std::vector<forms::TDateTime> dates;
    std::vector<ReleaseDate> sources;
    dates.reserve(count);
    {
        // Gone before the first move: its listing holds the input folder open.
        FileDateReader reader(Dates);
        for (int i = 0; i < count; ++i) {
            const ReleaseDate date = reader.ReadDate(Files[i]);
            dates.push_back(date.Date);
            // Kept by the file's place in the listing: the sort takes the dates with their files.
            sources.push_back(date);
            if (!Observer.DateRead(i + 1, count)) return;
        }
    }
    // Where each date came from, after the sort: the entries move with their dates, and a date
    // from a photo's record is told apart by its file.
    std::unordered_map<std::wstring, bool> fromPhoto;
    for (int i = 0; i < count; ++i)
        if (sources[i].FromPhoto) fromPhoto[Files[i]] = true;
    SortByFileDates(Files, dates);
    std::vector<std::wstring> days;
    days.reserve(count);
    for (forms::TDateTime date : dates) days.push_back(forms::FormatDateIso(date));
    if (!Observer.Sorted(Files, days)) return;

    PlannedDisk plan;
    FileMover mover([&Observer](const CopyProgress& progress) { return Observer.CopyAbandoned(progress); });
    DayCounter counter;
    for (int i = 0; i < count; ++i) {
        const std::wstring& source = Files[i];
        Observer.FileStarting(i, source);
        const int number = counter.Next(days[i]);
        FileResult result;
        result.Source = source;
        result.Date = {dates[i], fromPhoto.count(source) != 0};
        // An empty text is no folder: read as a path it would be the root of the current drive.
        const std::wstring output = Observer.OutputDirectory();
        if (!output.empty()) result.Target = BuildTargetName(output, days[i], Observer.Label(), number, source);
        if (!result.Target.empty()) {
            std::wstring backup = Observer.BackupDirectory();
            if (!backup.empty() && backup.back() != L'\\') backup += L'\\';
            if (backup.size() > 1) result.Backup = backup + result.Target.substr(result.Target.find_last_of(L'\\') + 1);
        }
        // A plan asks the very question a move asks first, of the disk as the moves before would leave it.
        if (output.empty()) {
            result.Error = kErrorNoOutputDirectory;
        } else if (result.Target.empty()) {
            result.Error = ERROR_INVALID_NAME;
        } else if (Mode == ReleaseMode::Plan) {
            result.Error = mover.Check(source, result.Target, result.Backup, plan, result.BackupFailed);
            if (result.Moved()) {
                plan.Moved(source, result.Target);
                if (!result.Backup.empty()) plan.Arrived(result.Backup);
            }
        } else {
            result.Error = mover.Move(source, result.Target, result.Backup, result.BackupFailed, &result.Leftover);
        }
        // A file that went or is held since the sort cannot move, and its date
        // cannot be read now either: that ends the run here, as it would have
        // at the sort. Asking only when the move failed spares every file a read.
        if (!result.Moved() && result.Error != kErrorNoOutputDirectory && !result.Unsure()) {
            try {
                GetFileDate(source);
            } catch (...) {
                // The run ends, but a copy the move could not remove again is never left unsaid.
                if (!result.Leftover.empty()) Observer.FileDone(i, result);
                throw;
            }
        }
        if (!Observer.FileDone(i, result)) return;
    }
}

}  // namespace engine
