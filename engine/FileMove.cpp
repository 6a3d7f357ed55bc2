#include "engine/FileMove.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwctype>
#include <memory>
#include <thread>

#include "engine/Crc32c.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace engine {

CopyBlockHook BeforeCopyBlockWritten = nullptr;
MoveStepHook AfterCopyFiled = nullptr;
CopyBlockHook BeforeBackupBlockWritten = nullptr;
MoveStepHook AfterBackupFiled = nullptr;
CardReadHook BeforeCardRead = nullptr;
bool FinishCopiesAtOnce = true;

namespace {

forms::FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD flags) {
    return forms::FileHandle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr));
}

// The disk itself, as a move across volumes meets it before it copies anything.
class PresentDisk : public TargetDisk {
public:
    DWORD TargetRefusal(const std::wstring& Target) override {
        if (GetFileAttributesW(Target.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_ALREADY_EXISTS;
        const DWORD error = GetLastError();
        return error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS;
    }
};

// A photo about to leave its volume: deleted through Handle, read through Data. Its dates and
// attributes, and its size, as they were when it was opened (asked of the file alone: what asks
// the volume too costs Wine a trip to another process).
struct SourceFile {
    forms::FileHandle Handle;
    // The file a link points to, read for the copy; none when the photo is no link.
    forms::FileHandle Target;
    FILE_BASIC_INFO Basic{};
    LARGE_INTEGER Size{};
    HANDLE Data() const { return Target ? Target.Get() : Handle.Get(); }
};

DWORD OpenSource(const std::wstring& path, SourceFile& source) {
    // Delete access now: what cannot be deleted is found before anything is copied. Others may
    // read it meanwhile, but neither write to it nor delete or rename it. A link is opened as
    // itself: it is what leaves the card, never the file it points to.
    constexpr DWORD kFlags = FILE_FLAG_SEQUENTIAL_SCAN;
    source.Handle = OpenFile(path, GENERIC_READ | DELETE, FILE_SHARE_READ, kFlags | FILE_FLAG_OPEN_REPARSE_POINT);
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!source.Handle ||
        !GetFileInformationByHandleEx(source.Handle.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
        return LastErrorOr(ERROR_OPEN_FAILED);
    if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK) {
            // Its bytes are those of the file it points to, which may lie outside the card and stays.
            source.Target = OpenFile(path, GENERIC_READ, FILE_SHARE_READ, kFlags);
            if (!source.Target) return LastErrorOr(ERROR_OPEN_FAILED);
        } else {
            // Any other kind of reparse point holds the file's own data: opened as any file.
            source.Handle = OpenFile(path, GENERIC_READ | DELETE, FILE_SHARE_READ, kFlags);
            if (!source.Handle) return LastErrorOr(ERROR_OPEN_FAILED);
        }
    }
    if (!GetFileInformationByHandleEx(source.Data(), FileBasicInfo, &source.Basic, sizeof(source.Basic)) ||
        !GetFileSizeEx(source.Data(), &source.Size))
        return LastErrorOr(ERROR_OPEN_FAILED);
    // A protected photo (a camera's "protect" flag) stays on its card: its copy would have to go again.
    if ((tag.FileAttributes | source.Basic.FileAttributes) & FILE_ATTRIBUTE_READONLY) return ERROR_FILE_READ_ONLY;
    return ERROR_SUCCESS;
}

// Whether the photo is still as it was when it was opened (a system that enforces no sharing, a
// share written from elsewhere): only the file that was copied may be deleted.
bool SourceChanged(const SourceFile& source) {
    FILE_BASIC_INFO basic{};
    LARGE_INTEGER size{};
    return !GetFileInformationByHandleEx(source.Data(), FileBasicInfo, &basic, sizeof(basic)) ||
           !GetFileSizeEx(source.Data(), &size) || size.QuadPart != source.Size.QuadPart ||
           basic.LastWriteTime.QuadPart != source.Basic.LastWriteTime.QuadPart;
}

// The volume a directory lies on: its mount point as the system names it, with the volume's
// serial number where the system gives one. Empty when the system cannot tell.
std::wstring VolumeKey(const std::wstring& directory) {
    wchar_t mount[MAX_PATH + 1];
    if (directory.empty() || !GetVolumePathNameW(directory.c_str(), mount, MAX_PATH + 1)) return {};
    DWORD serial = 0;
    const bool known = GetVolumeInformationW(mount, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    return PathKey(mount) + L"|" + (known ? std::to_wstring(serial) : std::wstring(L"?"));
}

}  // namespace

DWORD TargetDisk::SpaceRefusal(const std::wstring&, uint64_t) { return ERROR_SUCCESS; }
void TargetDisk::SpaceReturned(const std::wstring&, uint64_t) {}

FileMover::FileMover(CopyWatch Watch) : FWatch(std::move(Watch)) {}

const std::wstring& FileMover::VolumeOf(const std::wstring& Directory, int Slot) {
    if (Directory != FDirectories[Slot]) {
        FDirectories[Slot] = Directory;
        FVolumes[Slot] = VolumeKey(Directory);
    }
    return FVolumes[Slot];
}

// Whether the two copies' folders lie on different volumes as far as the system tells.
bool FileMover::TwoVolumes(const std::wstring& Target, const std::wstring& Backup) {
    const std::wstring& output = VolumeOf(DirectoryOf(Target), 1);
    const std::wstring& backup = VolumeOf(DirectoryOf(Backup), 2);
    return !output.empty() && !backup.empty() && output != backup;
}

// A rename where both lie on one volume as far as the system tells; otherwise, and where it
// cannot tell, a copy (which is right on one volume too). A plan and a move decide alike.
FileMover::Way FileMover::WayOf(const std::wstring& Source, const std::wstring& Target) {
    if (SamePath(Source, Target)) return Way::InPlace;
    const std::wstring& from = VolumeOf(DirectoryOf(Source), 0);
    const std::wstring& to = VolumeOf(DirectoryOf(Target), 1);
    return !from.empty() && from == to ? Way::Rename : Way::Copy;
}

DWORD FileMover::Check(const std::wstring& Source, const std::wstring& Target, TargetDisk& Disk) {
    bool backupSide = false;
    return Check(Source, Target, std::wstring(), Disk, backupSide);
}

DWORD FileMover::Check(const std::wstring& Source, const std::wstring& Target, const std::wstring& Backup,
                       TargetDisk& Disk, bool& BackupSide) {
    BackupSide = false;
    if (DWORD refusal = TargetNameRefusal(Target)) return refusal;
    const bool backup = !Backup.empty();
    auto backupRefusal = [&](DWORD refusal) {
        BackupSide = true;
        return refusal;
    };
    if (backup)
        if (DWORD refusal = TargetNameRefusal(Backup)) return backupRefusal(refusal);
    const Way way = WayOf(Source, Target);
    if (way == Way::InPlace && !backup) return ERROR_SUCCESS;
    if (way != Way::InPlace)
        if (DWORD refusal = Disk.TargetRefusal(Target)) return refusal;
    DWORD backupTaken = ERROR_SUCCESS;
    if (backup) {
        backupTaken = Disk.TargetRefusal(Backup);
        if (backupTaken && backupTaken != ERROR_ALREADY_EXISTS) return backupRefusal(backupTaken);
    }
    if (way == Way::Rename && !backup) return ERROR_SUCCESS;
    SourceFile source;
    if (DWORD refusal = OpenSource(Source, source)) {
        // Only a photo that leaves its volume must be deletable; renamed, a protected one moves too.
        if (way == Way::Copy || refusal != ERROR_FILE_READ_ONLY) return refusal;
    }
    const uint64_t size = static_cast<uint64_t>(source.Size.QuadPart);
    if (way == Way::Copy)
        if (DWORD refusal = Disk.SpaceRefusal(Target, size)) return refusal;
    if (!backup) return ERROR_SUCCESS;
    auto backupFailed = [&](DWORD refusal) {
        if (way == Way::Copy) Disk.SpaceReturned(Target, size);
        return backupRefusal(refusal);
    };
    if (backupTaken) {
        // The name taken counts as the backup only when it holds the very bytes of the photo.
        uint32_t checksum = 0;
        uint64_t read = 0;
        if (DWORD error = ChecksumOfFile(source.Data(), checksum, read, {})) return error;
        if (read != size) return ERROR_FILE_INVALID;
        forms::FileHandle existing;
        if (DWORD refusal = HoldIfSameBytes(Backup, checksum, size, existing)) return backupFailed(refusal);
        return ERROR_SUCCESS;
    }
    if (DWORD refusal = Disk.SpaceRefusal(Backup, size)) return backupFailed(refusal);
    return ERROR_SUCCESS;
}

DWORD FileMover::Move(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover) {
    bool backupSide = false;
    return Move(Source, Target, std::wstring(), backupSide, Leftover);
}

DWORD FileMover::Move(const std::wstring& Source, const std::wstring& Target, const std::wstring& Backup,
                      bool& BackupSide, std::wstring* Leftover) {
    BackupSide = false;
    if (Leftover) Leftover->clear();
    if (DWORD refusal = TargetNameRefusal(Target)) return refusal;
    if (!Backup.empty()) {
        if (DWORD refusal = TargetNameRefusal(Backup)) {
            BackupSide = true;
            return refusal;
        }
    }
    Way way = WayOf(Source, Target);
    if (!Backup.empty()) {
        DWORD error = CopyVerifiedThenDelete(Source, Target, Backup, way, BackupSide, Leftover);
        if (error != ERROR_NOT_SAME_DEVICE || way != Way::Rename || BackupSide) return error;
        // Not one volume after all: the photo is copied to both.
        return CopyVerifiedThenDelete(Source, Target, Backup, Way::Copy, BackupSide, Leftover);
    }
    switch (way) {
        case Way::InPlace:
            // Already under its new name, or in another letter case: a rename changes the case alone.
            if (Source == Target || MoveFileExW(Source.c_str(), Target.c_str(), 0)) return ERROR_SUCCESS;
            return LastErrorOr(ERROR_GEN_FAILURE);
        case Way::Rename: {
            // Nothing is copied, so nothing can be half done; the rename refuses a folder that has
            // gone and a name taken, as a plan does.
            if (MoveFileExW(Source.c_str(), Target.c_str(), 0)) return ERROR_SUCCESS;
            const DWORD error = LastErrorOr(ERROR_GEN_FAILURE);
            if (error != ERROR_NOT_SAME_DEVICE) return error;
            break;
        }
        case Way::Copy:
            break;
    }
    return CopyVerifiedThenDelete(Source, Target, Backup, Way::Copy, BackupSide, Leftover);
}

// Copies Size bytes of Source to Copy and Backup (either may be absent), returning the checksum
// of what was read: the photo is read once, whatever number of copies it has.
DWORD FileMover::CopyBytes(HANDLE Source, uint64_t Size, VerifiedCopy* Copy, VerifiedCopy* Backup,
                           uint32_t& Checksum, bool& BackupSide) {
    CopyBlock block;
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;
    // The backup's own block, only where a test spoils what reaches the backup alone.
    std::unique_ptr<CopyBlock> backupBlock;
    if (Backup && BeforeBackupBlockWritten) {
        backupBlock = std::make_unique<CopyBlock>();
        if (!*backupBlock) return ERROR_NOT_ENOUGH_MEMORY;
    }
    Checksum = 0;
    uint64_t done = 0;
    for (;;) {
        if (FWatch && FWatch(CopyProgress{done, Size, false})) return ERROR_CANCELLED;
        DWORD read = 0;
        if (BeforeCardRead)
            if (DWORD error = BeforeCardRead(done)) return error;
        if (!ReadFile(Source, block.Data(), kCopyBlockSize, &read, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
        if (read == 0) break;
        Checksum = Crc32c(Checksum, block.Data(), read);
        done += read;
        if (Backup) {
            const char* data = block.Data();
            if (backupBlock) {
                std::memcpy(backupBlock->Data(), block.Data(), read);
                BeforeBackupBlockWritten(backupBlock->Data(), read);
                data = backupBlock->Data();
            }
            if (DWORD error = Backup->Write(data, read)) {
                BackupSide = true;
                return error;
            }
        }
        if (Copy) {
            if (BeforeCopyBlockWritten) BeforeCopyBlockWritten(block.Data(), read);
            if (DWORD error = Copy->Write(block.Data(), read)) return error;
        }
    }
    // Fewer or more bytes than the photo had when it was opened: it changed on the way.
    return done == Size ? ERROR_SUCCESS : ERROR_FILE_INVALID;
}

// The copy across volumes, and with a backup every move: How says what becomes of the photo on
// its own volume (a copy under Target, a rename to it, or nothing but the backup). On any failure
// the photo stays where it was and the files this move made go again; one that cannot be removed
// is named in Leftover, never left unsaid.
DWORD FileMover::CopyVerifiedThenDelete(const std::wstring& Source, const std::wstring& Target,
                                        const std::wstring& Backup, Way How, bool& BackupSide,
                                        std::wstring* Leftover) {
    const bool backup = !Backup.empty();
    auto backupFailure = [&](DWORD error) {
        BackupSide = true;
        return error;
    };
    // Refused before anything is copied, as a rename refuses it, and as a plan does.
    PresentDisk disk;
    if (How != Way::InPlace)
        if (DWORD refusal = disk.TargetRefusal(Target)) return refusal;
    // A file under the backup's name may be the photo's backup from a run that ended between the
    // two renames: it is compared once the photo has been read.
    bool backupTaken = false;
    if (backup) {
        const DWORD refusal = disk.TargetRefusal(Backup);
        if (refusal && refusal != ERROR_ALREADY_EXISTS) return backupFailure(refusal);
        backupTaken = refusal == ERROR_ALREADY_EXISTS;
    }
    SourceFile source;
    if (DWORD refusal = OpenSource(Source, source)) {
        // Only a photo that leaves its volume must be deletable; renamed, a protected one moves too.
        if (How == Way::Copy || refusal != ERROR_FILE_READ_ONLY) return refusal;
    }

    VerifiedCopy copy, backupCopy;
    const bool copies = How == Way::Copy;
    const bool backupCopies = backup && !backupTaken;
    if (copies)
        if (DWORD error = copy.Create(DirectoryOf(Target))) return error;
    if (backupCopies)
        if (DWORD error = backupCopy.Create(DirectoryOf(Backup))) return backupFailure(error);
    // The photo stays where it was, once: the files this move made go again, or are reported.
    auto failed = [&](DWORD error) {
        for (VerifiedCopy* made : {&backupCopy, &copy}) {
            const std::wstring path = made->Path();
            if (!made->Remove() && Leftover) *Leftover += (Leftover->empty() ? L"" : L", ") + path;
        }
        return error;
    };
    auto backupFailed = [&](DWORD error) { return failed(backupFailure(error)); };
    const uint64_t size = static_cast<uint64_t>(source.Size.QuadPart);
    uint32_t checksum = 0;
    if (DWORD error = CopyBytes(source.Data(), size, copies ? &copy : nullptr, backupCopies ? &backupCopy : nullptr,
                                checksum, BackupSide))
        return failed(error);
    // Each copy flushed and read back. On two volumes the backup's is done on a thread of its own
    // while the output's is done here, so that both disks work at once; on one volume, one after
    // the other, as the disk would take them in turns anyway. Only this thread asks the watch.
    DWORD outputError = ERROR_SUCCESS, backupError = ERROR_SUCCESS;
    auto finishBackup = [&](const CopyWatch& watch) {
        backupError = backupCopy.Finish(source.Basic);
        if (!backupError) backupError = backupCopy.Verify(checksum, size, watch);
    };
    if (copies && backupCopies && FinishCopiesAtOnce && TwoVolumes(Target, Backup)) {
        std::atomic<bool> abandoned{false}, done{false};
        std::atomic<uint64_t> verified{0};
        std::thread backupThread([&] {
            finishBackup([&](const CopyProgress& progress) {
                verified = progress.Done;
                return abandoned.load();
            });
            done = true;
        });
        // The backup's thread is joined however this side ends: the watch may throw.
        try {
            outputError = copy.Finish(source.Basic);
            if (!outputError) outputError = copy.Verify(checksum, size, FWatch);
            if (outputError == ERROR_CANCELLED) abandoned = true;
            while (!done) {
                if (!abandoned && FWatch && FWatch(CopyProgress{verified, size, true})) abandoned = true;
                Sleep(1);
            }
        } catch (...) {
            abandoned = true;
            backupThread.join();
            throw;
        }
        backupThread.join();
    } else {
        if (copies) {
            outputError = copy.Finish(source.Basic);
            if (!outputError) outputError = copy.Verify(checksum, size, FWatch);
        }
        if (backupCopies && !outputError) finishBackup(FWatch);
    }
    if (outputError) return failed(outputError);
    if (backupError) return backupFailed(backupError);
    forms::FileHandle existingBackup;
    if (backupTaken) {
        // Held until the photo has gone: it is the photo's second copy.
        if (DWORD error = HoldIfSameBytes(Backup, checksum, size, existingBackup)) return backupFailed(error);
    }
    // The backup first: a run that ends between the two leaves the photo on its card and its
    // backup whole, which the next run takes as the backup, so that nothing is asked of the user.
    if (backupCopies)
        if (DWORD error = backupCopy.File(Backup)) return backupFailed(error);
    if (backup && AfterBackupFiled) AfterBackupFiled();

    if (How == Way::Copy) {
        if (DWORD error = copy.File(Target)) return failed(error);
        if (AfterCopyFiled) AfterCopyFiled();
        if (SourceChanged(source)) return failed(ERROR_FILE_INVALID);
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (!SetFileInformationByHandle(source.Handle.Get(), FileDispositionInfo, &disposition, sizeof(disposition)))
            return failed(LastErrorOr(ERROR_ACCESS_DENIED));
        // Deleted as its handle closes: the very file that was copied, whatever took its name.
        return ERROR_SUCCESS;
    }
    if (How == Way::InPlace && Source == Target) return ERROR_SUCCESS;
    // On one volume the photo is renamed through its handle: the very file that was read.
    if (SourceChanged(source)) return failed(ERROR_FILE_INVALID);
    DWORD error = RenameOpenFile(source.Handle.Get(), Target);
    if (error == ERROR_NOT_SUPPORTED) {
        source.Handle.Reset();
        source.Target.Reset();
        error = MoveFileExW(Source.c_str(), Target.c_str(), 0) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
    }
    if (error) return failed(error);
    FlushDirectoryOf(Target);
    return ERROR_SUCCESS;
}

bool IsTemporaryCopyName(const std::wstring& FileName) {
    // Any letter case: a copy renamed by a tool that upper-cases names is still a leftover.
    const std::wstring name = forms::AsciiLowerCase(FileName);
    if (name.size() != 15 || name.compare(0, 4, L"~kd-") != 0 || name.compare(10, 5, L".part") != 0)
        return false;
    for (size_t i = 4; i < 10; ++i)
        if (!iswxdigit(name[i])) return false;
    return true;
}

std::wstring PathKey(const std::wstring& Path) {
    std::wstring upper(Path.size(), L'\0');
    if (Path.empty() || LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Path.c_str(), static_cast<int>(Path.size()),
                                     upper.data(), static_cast<int>(upper.size())) != static_cast<int>(Path.size())) {
        upper = Path;
        for (wchar_t& character : upper)
            if (character >= L'a' && character <= L'z') character = static_cast<wchar_t>(character - L'a' + L'A');
    }
    return upper;
}

bool SamePath(const std::wstring& Path1, const std::wstring& Path2) {
    return Path1.size() == Path2.size() && PathKey(Path1) == PathKey(Path2);
}

DWORD TargetNameRefusal(const std::wstring& Target) {
    const size_t slash = Target.find_last_of(L'\\');
    const std::wstring_view name = slash == std::wstring::npos ? std::wstring_view(Target)
                                                               : std::wstring_view(Target).substr(slash + 1);
    // What Windows refuses in a name, and a dot or blank at its end, which it would drop
    // (a file would stand under another name than the one reported).
    if (name.empty() || name.find_first_of(L"<>:\"/|?*") != std::wstring_view::npos ||
        std::any_of(name.begin(), name.end(), [](wchar_t character) { return character < 32; }) ||
        name.back() == L'.' || name.back() == L' ')
        return ERROR_INVALID_NAME;
    // A name of a folder entry has at most 255 characters; a plain path fewer than MAX_PATH.
    if (name.size() > 255 || Target.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
    return ERROR_SUCCESS;
}

DWORD MoveToTarget(const std::wstring& Source, const std::wstring& Target, std::wstring* Leftover) {
    FileMover mover;
    return mover.Move(Source, Target, Leftover);
}

}  // namespace engine
