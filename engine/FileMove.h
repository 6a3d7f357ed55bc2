#pragma once
// Moving one file to its new name without ever overwriting it or leaving half a file.

#include <windows.h>

#include <cstdint>
#include <string>

#include "engine/VerifiedCopy.h"

namespace engine {

// What a move finds under its target's name: the disk itself, or for a plan the
// disk as the moves planned before would leave it.
class TargetDisk {
public:
    // ERROR_PATH_NOT_FOUND when Target's folder is not there, ERROR_ALREADY_EXISTS
    // when a file or folder has Target's name, otherwise ERROR_SUCCESS.
    virtual DWORD TargetRefusal(const std::wstring& Target) = 0;
    // Whether Size more bytes can be copied to Target's volume: ERROR_DISK_FULL
    // when not. The disk itself says so only when the copy is made.
    virtual DWORD SpaceRefusal(const std::wstring& Target, uint64_t Size);
    // Size bytes counted for Target's volume by SpaceRefusal are not copied after
    // all: the move's other copy was refused.
    virtual void SpaceReturned(const std::wstring& Target, uint64_t Size);

protected:
    ~TargetDisk() = default;
};

// The moves of one run; what it learns of the volumes holds for the run.
class FileMover {
public:
    // Watch is asked block by block while a file is copied and read back: true
    // abandons the copy in hand.
    explicit FileMover(CopyWatch Watch = {});

    // The one answer, for a plan and a move alike, to "can Source move to Target,
    // and if not, why", found before anything on disk changes: a name no file
    // system takes or over the path limits, the output folder gone, the name
    // taken, and across volumes a photo that cannot leave its card (read-only,
    // held, not deletable) or that the disk has no room for. ERROR_SUCCESS when nothing stands in the way, also
    // for a file that already has its new name (in another letter case at most).
    DWORD Check(const std::wstring& Source, const std::wstring& Target, TargetDisk& Disk);
    // The same with a second copy under Backup (a full path; empty: none), which
    // must be whole and verified before the photo may leave its card. BackupSide
    // tells whether a refusal is the backup's. A file under Backup's name that is
    // byte for byte the photo (an earlier run ended between its two renames)
    // counts as the photo's backup.
    DWORD Check(const std::wstring& Source, const std::wstring& Target, const std::wstring& Backup, TargetDisk& Disk,
                bool& BackupSide);

    // Moves Source to Target, never over an existing file, after the same checks.
    // On one volume this is a rename. Across volumes the file is copied to a
    // temporary name beside Target (TemporaryCopyName) with a checksum of what
    // was read, read back and compared, renamed to Target, and only then is
    // Source deleted, through the handle it was read by, unless it changed. A link
    // is copied as the file it points to, and the link itself leaves the card:
    // nothing outside it is changed.
    // ERROR_SUCCESS when moved; otherwise the system's error code of why not
    // (ERROR_CRC when the copy read back differs, ERROR_FILE_READ_ONLY for a
    // protected photo, ERROR_FILE_INVALID when the photo changed while it was
    // copied, ERROR_CANCELLED when the copy was abandoned): Source is where it
    // was, and no file of this move is left, unless Leftover then names one that
    // could not be removed again (the copy under Target, or its temporary file).
    DWORD Move(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover = nullptr);
    // Moves Source to Target with a second copy under Backup (empty: none, the
    // move above). The photo is read once; its bytes go to a temporary file
    // beside each name, each verified on its own; the backup is filed first,
    // then the copy under Target (or, on one volume, the photo is renamed), and
    // only then does the photo leave its card. On any failure neither copy of
    // this move is left (or Leftover names what could not be removed) and
    // BackupSide tells whether the failure was the backup's. A file already under
    // Backup's name that is byte for byte the photo counts as its backup and stays.
    DWORD Move(const std::wstring& Source, const std::wstring& Target, const std::wstring& Backup, bool& BackupSide,
               std::wstring* Leftover = nullptr);

private:
    enum class Way { InPlace, Rename, Copy };
    Way WayOf(const std::wstring& Source, const std::wstring& Target);
    bool TwoVolumes(const std::wstring& Target, const std::wstring& Backup);
    const std::wstring& VolumeOf(const std::wstring& Directory, int Slot);
    DWORD CopyVerifiedThenDelete(const std::wstring& Source, const std::wstring& Target, const std::wstring& Backup,
                                 Way How, bool& BackupSide, std::wstring* Leftover);
    DWORD CopyBytes(HANDLE Source, uint64_t Size, VerifiedCopy* Copy, VerifiedCopy* Backup, uint32_t& Checksum,
                    bool& BackupSide);

    CopyWatch FWatch;

    // The last directories asked about, a source's, a target's and a backup's, with their volumes.
    std::wstring FDirectories[3];
    std::wstring FVolumes[3];
};

// One move with a mover of its own.
DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover = nullptr);

// Why nothing can be filed under Target whatever the disk holds: a character or
// an end no file name may have (ERROR_INVALID_NAME), a name or a path longer than
// a plain path allows (ERROR_FILENAME_EXCED_RANGE). ERROR_SUCCESS otherwise.
DWORD TargetNameRefusal(const std::wstring& Target);

// A path as the file system tells names apart: upper-cased as it compares them.
std::wstring PathKey(const std::wstring& Path);
// Two paths name one file, as the file system compares names (letter case aside).
bool SamePath(const std::wstring& Path1, const std::wstring& Path2);

// Whether a file name is one this program gives a copy in progress: "~kd-" with
// six hexadecimal digits and ".part", in any letter case (no longer than any photo's new name, so a
// name near the path limit still fits). Such a file is never a photo.
bool IsTemporaryCopyName(const std::wstring& FileName);

// For tests: called with every block after its checksum was taken and before it
// is written to the temporary copy, so a test can spoil what reaches the disk.
using CopyBlockHook = void (*)(char* Block, DWORD Size);
extern CopyBlockHook BeforeCopyBlockWritten;
// For tests: called once the copy stands under its new name, before the photo
// is deleted from its card, so a test can change the disk there.
using MoveStepHook = void (*)();
extern MoveStepHook AfterCopyFiled;
// For tests: as BeforeCopyBlockWritten, for the backup's copy alone (the block
// handed over is the backup's own, so the output's copy stays as read).
extern CopyBlockHook BeforeBackupBlockWritten;
// For tests: called once the backup stands under its new name, before the copy
// under the output's name is filed (or the photo renamed to it).
extern MoveStepHook AfterBackupFiled;
// For tests: asked before every read of the card while a photo is copied; an
// error code other than ERROR_SUCCESS is taken as that read's failure.
using CardReadHook = DWORD (*)(uint64_t Done);
extern CardReadHook BeforeCardRead;
// For the benchmark: false flushes and reads back the two copies one after the
// other also where they lie on two volumes, to measure what doing both at once gives.
extern bool FinishCopiesAtOnce;

}  // namespace engine
