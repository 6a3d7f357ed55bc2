#pragma once
// One release: the files' dates, their order, their new names and the moves,
// with each file's result handed to the caller as it happens. No window in it:
// the window and the command-line program both drive it.

#include <windows.h>

#include <string>
#include <vector>

#include "engine/FileDates.h"
#include "engine/VerifiedCopy.h"

namespace engine {

// Why a file did not move, beside the system's error codes: the engine's own
// (bit 29 marks a code as an application's own).
// The output directory's text was empty at the file's turn ("Invalid output directory.").
constexpr DWORD kErrorNoOutputDirectory = 0x20000001;
// A plan cannot tell whether the file would move: the free space of its
// target's volume is not known.
constexpr DWORD kErrorFreeSpaceUnknown = 0x20000002;

struct FileResult {
    std::wstring Source;
    // Empty when the label makes no single file name inside the output directory.
    std::wstring Target;
    // The name of the second copy in the backup directory, the same file name as
    // Target's; empty when there is no backup (or no Target).
    std::wstring Backup;
    // ERROR_SUCCESS when the file moved (in a plan: would move), otherwise the
    // system's error code of why it did not.
    DWORD Error = ERROR_SUCCESS;
    // A copy the move made and could not remove again when it failed: the file
    // stands there too (or in part, under a temporary name). Empty otherwise.
    std::wstring Leftover;
    // The date the file was sorted and named by, and where it came from.
    ReleaseDate Date;
    // The failure is the backup's: Error is what its directory or volume said.
    bool BackupFailed = false;
    bool Moved() const { return Error == ERROR_SUCCESS; }
    // A plan's answer when it cannot tell: neither "would move" nor "would fail".
    bool Unsure() const { return Error == kErrorFreeSpaceUnknown; }
};

// Why a file did not move, in words: the system's message for its error (the
// engine's own for the errors it decides itself), after "backup: " when the
// backup failed, and a copy left behind.
std::wstring FailureReason(const FileResult& Result);

// How much of the copy in hand is done, for a copy that takes long: "1.2 of
// 4.0 GB", or "verifying 1.2 of 4.0 GB" while it is read back.
std::wstring AmountCopied(const CopyProgress& Progress);

// What a release asks of its caller and tells it, file by file.
class ReleaseObserver {
public:
    // Asked anew for every file: an edit during the run renames the files after it.
    virtual std::wstring OutputDirectory() = 0;
    virtual std::wstring Label() = 0;
    // Where each file's second copy goes, asked anew for every file: empty for
    // none (the default), when a file moves as it always has.
    virtual std::wstring BackupDirectory();
    // Another file's date has been read; Done of Count. False stops the run
    // before any file moves.
    virtual bool DateRead(int Done, int Count);
    // The files stand in date order, Days[i] the day ("yyyy-mm-dd") of Files[i];
    // they follow in this order. False ends the run before any file moves.
    virtual bool Sorted(const std::vector<std::wstring>& Files, const std::vector<std::wstring>& Days);
    // File Index (from 0, in date order) is next.
    virtual void FileStarting(int Index, const std::wstring& Source);
    // File Index is done, moved or not. False stops the run after it.
    virtual bool FileDone(int Index, const FileResult& Result) = 0;
    // Asked block by block while a file is copied across volumes and its copy
    // read back: true abandons the copy in hand (its temporary file goes, the
    // file stays where it was).
    virtual bool CopyAbandoned(const CopyProgress& Progress);

protected:
    ~ReleaseObserver() = default;
};

enum class ReleaseMode { Move, Plan };

// Sorts Files (in the order the directory was listed) by file date and moves
// each in turn to its new name; Files ends in date order. A file that cannot
// move stays where it is and the run goes on, but the run fails with the date
// error ("Invalid argument to date encode") when a date cannot be read, at the
// sort or when a failed move finds its file gone or held since.
// With a backup directory, a file leaves its card only once its copy there
// stands too, whole and verified (FileMover::Move).
// A plan moves nothing: it tells of every file what the moves would do on a
// disk that does not change meanwhile, failures included: it tries whether
// each output folder takes a new file, and counts the bytes to copy against
// each volume's free space. A file whose output directory text is empty at its
// turn does not move (kErrorNoOutputDirectory), also in a plan. A copy a
// failed move could not remove again is reported (FileDone) also when the run
// then ends on the date error.
// Dates tells where the dates come from: the files' own (the default), or the
// photos' records where they have one.
void ReleaseFiles(std::vector<std::wstring>& Files, ReleaseObserver& Observer, ReleaseMode Mode = ReleaseMode::Move,
                  DateSource Dates = DateSource::File);

}  // namespace engine
