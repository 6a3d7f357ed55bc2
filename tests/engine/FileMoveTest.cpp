// Moving one file to its new name: a rename on one volume, a verified copy across volumes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/Crc32c.h"
#include "engine/FileMove.h"
#include "TempTree.h"

namespace {

// The case in hand, for the hooks (plain functions) to take.
std::wstring gSource, gTarget;
HANDLE gHolder = INVALID_HANDLE_VALUE;
bool gAbandon = false;
int gBlocks = 0;
engine::CopyBlockHook gDuringCopy = nullptr;

// A folder on another file system than the temporary folder's: a card.
const wchar_t kOtherVolume[] = L"Z:\\dev\\shm\\";

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (std::wstring(entry.cFileName) != L"." && std::wstring(entry.cFileName) != L"..")
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// Opened as another program would, with the sharing given.
HANDLE Hold(const std::wstring& path, DWORD access, DWORD share) {
    return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The temporary file of the copy in hand.
std::wstring TemporaryFile() {
    const std::wstring folder = gTarget.substr(0, gTarget.find_last_of(L'\\') + 1);
    for (const std::wstring& name : Names(folder))
        if (engine::IsTemporaryCopyName(name)) return folder + name;
    return {};
}

// Counts the blocks copied and hands each to the case's own hook.
void CountBlock(char* block, DWORD size) {
    ++gBlocks;
    if (gDuringCopy) gDuringCopy(block, size);
}

class FileMoveTest : public ::testing::Test {
protected:
    void TearDown() override {
        engine::BeforeCopyBlockWritten = nullptr;
        engine::AfterCopyFiled = nullptr;
        engine::BeforeBackupBlockWritten = nullptr;
        engine::AfterBackupFiled = nullptr;
        engine::BeforeCardRead = nullptr;
        engine::NextTemporaryNumber = nullptr;
        gDuringCopy = nullptr;
    }
    TempTree disk;
    TempTree card{kOtherVolume};
};

// A move that fails before it looks at the target (the source is held) never
// deletes a file that was there under the target's name; across volumes the
// existing name is refused before anything is copied.
TEST_F(FileMoveTest, FailedMoveLeavesAnExistingTargetAlone) {
    for (TempTree* from : {&disk, &card}) {
        std::wstring source = from->MakeFile(L"source.jpg", 2023, 1, 1);
        std::wstring target = disk.MakeFile(L"target.jpg", 2023, 1, 2);
        for (bool held : {false, true}) {
            SCOPED_TRACE(testing::Message() << (from == &card ? "across volumes" : "one volume")
                                            << (held ? ", held" : ""));
            HANDLE holder = held ? Hold(source, GENERIC_READ, 0) : INVALID_HANDLE_VALUE;
            engine::BeforeCopyBlockWritten = [](char*, DWORD) { ADD_FAILURE() << "copied onto a taken name"; };
            // Refused for the name taken, but on one volume a held photo is refused first.
            const DWORD expected = held && from == &disk ? ERROR_SHARING_VIOLATION : ERROR_ALREADY_EXISTS;
            EXPECT_EQ(engine::MoveToTarget(source, target), expected);
            engine::BeforeCopyBlockWritten = nullptr;
            if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
            EXPECT_EQ(disk.Content(L"target.jpg"), "target.jpg");
            EXPECT_TRUE(from->Exists(L"source.jpg"));
        }
        DeleteFileW(target.c_str());
    }
    EXPECT_EQ(Names(disk.Path()), std::vector<std::wstring>{L"source.jpg"}) << "no temporary file is left";
}

// Across volumes the copy is whole (the copy ran: blocks went through it), keeps its date and
// attributes, and the source goes; on one volume the file is renamed, a protected one too, which
// keeps its flag. Large enough for several blocks and a short last one.
TEST_F(FileMoveTest, MovedFileIsWholeUnderItsNewNameWithItsDate) {
    engine::BeforeCopyBlockWritten = CountBlock;
    for (TempTree* from : {&disk, &card}) {
        const bool across = from == &card;
        SCOPED_TRACE(across ? "across volumes" : "one volume");
        const std::wstring source = from->Path(L"big.jpg");
        std::string bytes(3 * 1024 * 1024 + 517, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 12));
        HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        SetLastWriteTime(source, LocalToFileTime(2023, 5, 4, 10, 11, 12));
        const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | (across ? 0 : FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(source.c_str(), attributes);
        const FILETIME before = LastWrite(source);

        gBlocks = 0;
        const std::wstring target = disk.Path(across ? L"moved-across.jpg" : L"moved-here.jpg");
        ASSERT_EQ(engine::MoveToTarget(source, target), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(gBlocks, across ? 49 : 0) << "a copy in 64 KiB blocks across volumes, a rename on one";
        EXPECT_FALSE(from->Exists(L"big.jpg"));
        EXPECT_TRUE(disk.Content(target.substr(disk.Path().size() + 1)) == bytes);
        const FILETIME after = LastWrite(target);
        EXPECT_EQ(CompareFileTime(&before, &after), 0);
        EXPECT_EQ(GetFileAttributesW(target.c_str()) & attributes, attributes);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(Names(disk.Path()).size(), 2u) << "no temporary file is left";
}

enum class Left { Nothing, TheOtherFile, CopyUnderItsName, TemporaryFile };

// A copy across volumes that cannot be finished, or a photo that cannot leave its card: the photo
// stays on the card, whole, and the output folder is as before, or what could not be removed
// again is reported by its name.
TEST_F(FileMoveTest, CopyThatFailsLeavesThePhotoOnTheCardAndNothingBehindUnsaid) {
    const struct {
        const char* what;
        void (*before)();                     // before the move
        engine::CopyBlockHook duringCopy;     // with every block
        engine::MoveStepHook afterFiled;      // once the copy stands under its name
        DWORD error;
        bool copies;
        Left left;
    } cases[] = {
        {"a spoiled byte", nullptr, [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, ERROR_CRC, true,
         Left::Nothing},
        {"the name taken meanwhile", nullptr,
         [](char*, DWORD) {
             HANDLE other = CreateFileW(gTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
             if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
         },
         nullptr, ERROR_ALREADY_EXISTS, true, Left::TheOtherFile},
        {"the photo held by a reader who shares reading only",
         [] { gHolder = Hold(gSource, GENERIC_READ, FILE_SHARE_READ); }, nullptr, nullptr, ERROR_SHARING_VIOLATION,
         false, Left::Nothing},
        {"a protected (read-only) photo", [] { SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_READONLY); },
         nullptr, nullptr, ERROR_FILE_READ_ONLY, false, Left::Nothing},
        {"the photo cannot be deleted, its copy is held by a reader who shares everything", nullptr, nullptr,
         [] {
             SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_READONLY);
             gHolder = Hold(gTarget, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
         },
         ERROR_ACCESS_DENIED, true, Left::Nothing},
        // The move holds its copy open until it is done with it, so a viewer that does not share
        // deleting cannot open it; another program can still make it read-only.
        {"the photo cannot be deleted, its copy made read-only by another program", nullptr, nullptr,
         [] {
             SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_READONLY);
             SetFileAttributesW(gTarget.c_str(), FILE_ATTRIBUTE_READONLY);
         },
         ERROR_ACCESS_DENIED, true, Left::CopyUnderItsName},
        {"the photo changed on the card meanwhile", nullptr, nullptr,
         [] {
             HANDLE other = Hold(gSource, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
             const FILETIME later = LocalToFileTime(2024, 1, 1, 0, 0, 0);
             SetFileTime(other, nullptr, nullptr, &later);
             CloseHandle(other);
         },
         ERROR_FILE_INVALID, true, Left::Nothing},
        {"a spoiled byte, the temporary file held by a reader who shares everything", nullptr,
         [](char* block, DWORD) {
             block[7] ^= 0x20;
             if (gHolder == INVALID_HANDLE_VALUE)
                 gHolder = Hold(TemporaryFile(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
         },
         nullptr, ERROR_CRC, true, Left::Nothing},
        {"the copy abandoned", nullptr, [](char*, DWORD) { gAbandon = true; }, nullptr, ERROR_CANCELLED, true,
         Left::Nothing},
    };
    engine::BeforeCopyBlockWritten = CountBlock;
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        gSource = card.MakeFile(L"IMG_0001.JPG", 2023, 5, 4);
        gTarget = disk.Path(L"2023-05-04_Cut_01.jpg");
        gHolder = INVALID_HANDLE_VALUE;
        gAbandon = false;
        gBlocks = 0;
        if (each.before) each.before();
        gDuringCopy = each.duringCopy;
        engine::AfterCopyFiled = each.afterFiled;
        engine::FileMover mover([](const engine::CopyProgress&) { return gAbandon; });
        std::wstring leftover;
        EXPECT_EQ(mover.Move(gSource, gTarget, &leftover), each.error);
        engine::AfterCopyFiled = nullptr;
        if (gHolder != INVALID_HANDLE_VALUE) CloseHandle(gHolder);

        EXPECT_EQ(card.Content(L"IMG_0001.JPG"), "IMG_0001.JPG") << "the photo is whole on its card";
        EXPECT_EQ(gBlocks > 0, each.copies);
        const std::vector<std::wstring> left = Names(disk.Path());
        switch (each.left) {
            case Left::Nothing:
                EXPECT_TRUE(left.empty()) << testing::PrintToString(left);
                EXPECT_TRUE(leftover.empty());
                break;
            case Left::TheOtherFile:
                EXPECT_EQ(left, std::vector<std::wstring>{L"2023-05-04_Cut_01.jpg"});
                EXPECT_EQ(disk.Content(L"2023-05-04_Cut_01.jpg"), "") << "not the photo's copy";
                EXPECT_TRUE(leftover.empty());
                break;
            case Left::CopyUnderItsName:
                EXPECT_EQ(leftover, gTarget);
                EXPECT_EQ(disk.Content(L"2023-05-04_Cut_01.jpg"), "IMG_0001.JPG") << "the copy is whole";
                break;
            case Left::TemporaryFile:
                ASSERT_EQ(left.size(), 1u);
                EXPECT_TRUE(engine::IsTemporaryCopyName(left[0]));
                EXPECT_EQ(leftover, disk.Path(left[0]));
                break;
        }
        for (const std::wstring& name : left) {
            SetFileAttributesW(disk.Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(disk.Path(name).c_str());
        }
        SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(gSource.c_str());
    }
}

// A temporary name a leftover of an earlier run holds is passed over: the copy takes the next
// name, and the leftover stays as it was.
TEST_F(FileMoveTest, TemporaryNameOfALeftoverIsPassedOverForANewOne) {
    disk.MakeFile(L"~kd-000001.part", 2023, 1, 1);
    engine::NextTemporaryNumber = [] {
        static unsigned number = 0;
        return ++number;
    };
    gTarget = disk.Path(L"2023-05-04_Cut_01.jpg");
    engine::BeforeCopyBlockWritten = [](char*, DWORD) {
        const std::wstring second = gTarget.substr(0, gTarget.find_last_of(L'\\') + 1) + L"~kd-000002.part";
        EXPECT_NE(GetFileAttributesW(second.c_str()), INVALID_FILE_ATTRIBUTES) << "the copy is made under the next name";
    };
    const std::wstring source = card.MakeFile(L"IMG_0001.JPG", 2023, 5, 4);
    EXPECT_EQ(engine::MoveToTarget(source, gTarget), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(disk.Content(L"~kd-000001.part"), "~kd-000001.part");
    EXPECT_EQ(disk.Content(L"2023-05-04_Cut_01.jpg"), "IMG_0001.JPG");
    EXPECT_EQ(Names(disk.Path()).size(), 2u) << "the new temporary file is gone";
}

// A link on a card: across volumes the file it points to is copied (and verified), the link is
// what leaves the card, and the file it points to, outside the card, stays as it was.
TEST_F(FileMoveTest, LinkOnACardLeavesItAndTheFileItPointsToStays) {
    TempTree elsewhere{kOtherVolume};
    const std::wstring pointedTo = elsewhere.MakeFile(L"original.jpg", 2023, 5, 4);
    const std::wstring link = card.Path(L"IMG_0001.JPG");
    // Wine 8 answers success and makes nothing; Windows needs the right to make links.
    if (!CreateSymbolicLinkW(link.c_str(), pointedTo.c_str(), 0) ||
        !(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) ||
        GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "this system makes no file links here";
    const std::wstring target = disk.Path(L"2023-05-04_Cut_01.jpg");
    ASSERT_EQ(engine::MoveToTarget(link, target), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(disk.Content(L"2023-05-04_Cut_01.jpg"), "original.jpg") << "the linked file's bytes are filed";
    EXPECT_EQ(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u) << "a copy, not a link";
    EXPECT_FALSE(card.Exists(L"IMG_0001.JPG")) << "the link left the card";
    EXPECT_EQ(elsewhere.Content(L"original.jpg"), "original.jpg") << "the file outside the card is untouched";
}

// A test volume the harness mounted (a tmpfs of 1 MiB, or one mounted read-only) as a Windows
// folder; empty where this machine has none.
std::wstring MountedVolume(const char* variable) {
    const char* directory = getenv(variable);
    if (!directory || !*directory) return {};
    std::wstring path = L"Z:";
    for (const char* at = directory; *at; ++at) path += *at == '/' ? L'\\' : static_cast<wchar_t>(*at);
    return path;
}

// A photo of Size bytes that are not all alike, last written at a fixed time.
std::string MakePhoto(const std::wstring& path, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 12));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    SetLastWriteTime(path, LocalToFileTime(2023, 5, 4, 10, 11, 12));
    return bytes;
}

int gCardReads = 0;

// With a backup the photo is read once, both copies are whole under the same new name with its
// date, and only then does it leave its card: copied across volumes, or renamed on its own.
TEST_F(FileMoveTest, MoveWithBackupReadsThePhotoOnceAndLeavesTwoWholeCopies) {
    TempTree sameVolumeAsCard{kOtherVolume};
    for (const int way : {0, 1, 2}) {
        // The output on another volume than the card (and the backup beside it, or on a third
        // volume, the card's: both copies are then flushed and read back at once), or the output
        // on the card's volume.
        const bool rename = way == 1;
        SCOPED_TRACE(way == 0 ? "a copy to the output" : way == 1 ? "a rename in the card's volume" : "a copy, the backup on another volume");
        TempTree backup(way == 2 ? kOtherVolume : L"");
        const TempTree& output = rename ? sameVolumeAsCard : disk;
        const std::wstring source = card.Path(L"IMG_0001.JPG");
        const std::string bytes = MakePhoto(source, 3 * 1024 * 1024 + 517);
        const FILETIME before = LastWrite(source);
        gCardReads = 0;
        engine::BeforeCardRead = [](uint64_t) {
            ++gCardReads;
            return static_cast<DWORD>(ERROR_SUCCESS);
        };
        // The backup stands, whole, before the photo has its new name in the output.
        engine::AfterBackupFiled = [] {
            EXPECT_EQ(GetFileAttributesW(gTarget.c_str()), INVALID_FILE_ATTRIBUTES);
            EXPECT_NE(GetFileAttributesW(gSource.c_str()), INVALID_FILE_ATTRIBUTES);
        };
        gSource = source;
        gTarget = output.Path(L"2023-05-04_Trip_01.jpg");
        const std::wstring second = backup.Path(L"2023-05-04_Trip_01.jpg");
        engine::FileMover mover;
        bool backupSide = true;
        ASSERT_EQ(mover.Move(source, gTarget, second, backupSide), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(backupSide);
        EXPECT_EQ(gCardReads, 49 + 1) << "49 blocks and the read that finds the end, once";
        EXPECT_FALSE(card.Exists(L"IMG_0001.JPG"));
        for (const std::wstring& copy : {gTarget, second}) {
            SCOPED_TRACE(testing::PrintToString(copy));
            HANDLE file = CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            std::string read(bytes.size() + 1, '\0');
            DWORD got = 0;
            ReadFile(file, read.data(), static_cast<DWORD>(read.size()), &got, nullptr);
            CloseHandle(file);
            read.resize(got);
            EXPECT_TRUE(read == bytes) << "whole";
            const FILETIME after = LastWrite(copy);
            EXPECT_EQ(CompareFileTime(&before, &after), 0);
        }
        EXPECT_EQ(Names(output.Path()).size(), 1u) << "no temporary file is left";
        EXPECT_EQ(Names(backup.Path()).size(), 1u) << "no temporary file is left";
        DeleteFileW(gTarget.c_str());
        DeleteFileW(second.c_str());
    }
}

enum class Side { Output, Backup, Card };

// A move with a backup that fails on either side, or on the card: the photo stays on its card,
// neither folder keeps anything this move made, and the failure names its side. A file that
// stood under a name before stays as it was.
TEST_F(FileMoveTest, MoveWithBackupThatFailsOnEitherSideLeavesNeitherCopy) {
    static TempTree* backupTree;
    static std::wstring gBackup;
    TempTree backupFolder;
    backupTree = &backupFolder;
    const std::wstring smallVolume = MountedVolume("KAMDROP_SMALL_VOLUME");
    const std::wstring readOnlyVolume = MountedVolume("KAMDROP_READONLY_VOLUME");
    // Another volume than the output's: the two copies are flushed and read back at once.
    TempTree otherVolume{kOtherVolume};
    const std::wstring elsewhere = otherVolume.Path();
    const struct {
        const char* what;
        bool rename;                           // the output on the card's volume
        bool mounted;                          // the backup on a volume the harness mounted
        std::wstring backupFolder;             // empty: backupTree
        size_t size;                           // of the photo
        void (*before)();
        engine::CardReadHook cardRead;
        engine::CopyBlockHook outputBlock, backupBlock;
        engine::MoveStepHook afterBackupFiled, afterCopyFiled;
        DWORD error;                           // ERROR_SUCCESS: any error of that side
        Side side;
        std::string backupLeft;                // the content left under the backup's name; "-": none
    } cases[] = {
        {"the backup folder gone", false, false, {}, 1000, [] { RemoveDirectoryW(backupTree->Path().c_str()); }, nullptr,
         nullptr, nullptr, nullptr, nullptr, ERROR_PATH_NOT_FOUND, Side::Backup, "-"},
        {"the backup volume full", false, true, smallVolume, 1536 * 1024, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, ERROR_DISK_FULL, Side::Backup, "-"},
        {"the backup volume read-only", false, true, readOnlyVolume, 1000, nullptr, nullptr, nullptr, nullptr, nullptr,
         nullptr, ERROR_SUCCESS, Side::Backup, "-"},
        {"the backup name taken by another file", false, false, {}, 1000,
         [] { MakePhoto(gBackup, 999); }, nullptr, nullptr, nullptr, nullptr, nullptr, ERROR_ALREADY_EXISTS,
         Side::Backup, "other"},
        {"the backup name taken by another file of the photo's size", true, false, {}, 1000,
         [] {
             MakePhoto(gBackup, 1000);
             HANDLE file = CreateFileW(gBackup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
             DWORD written = 0;
             WriteFile(file, "X", 1, &written, nullptr);
             CloseHandle(file);
         },
         nullptr, nullptr, nullptr, nullptr, nullptr, ERROR_ALREADY_EXISTS, Side::Backup, "other"},
        {"a read error on the card", false, false, {}, 300 * 1024, nullptr,
         [](uint64_t done) { return done > 0 ? static_cast<DWORD>(ERROR_READ_FAULT) : ERROR_SUCCESS; }, nullptr,
         nullptr, nullptr, nullptr, ERROR_READ_FAULT, Side::Card, "-"},
        {"a spoiled byte in the backup's copy alone", false, false, {}, 1000, nullptr, nullptr, nullptr,
         [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, nullptr, ERROR_CRC, Side::Backup, "-"},
        {"a spoiled byte in the backup's copy alone, renamed on the card's volume", true, false, {}, 1000, nullptr, nullptr,
         nullptr, [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, nullptr, ERROR_CRC, Side::Backup, "-"},
        {"a spoiled byte in the output's copy alone", false, false, {}, 1000, nullptr, nullptr,
         [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, nullptr, nullptr, ERROR_CRC, Side::Output, "-"},
        {"a spoiled byte in the backup's copy alone, the backup on another volume", false, false, elsewhere, 1000,
         nullptr, nullptr, nullptr, [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, nullptr, ERROR_CRC,
         Side::Backup, "-"},
        {"a spoiled byte in the output's copy alone, the backup on another volume", false, false, elsewhere, 1000,
         nullptr, nullptr, [](char* block, DWORD) { block[7] ^= 0x20; }, nullptr, nullptr, nullptr, ERROR_CRC,
         Side::Output, "-"},
        {"the output's name taken once the backup stands", false, false, {}, 1000, nullptr, nullptr, nullptr, nullptr,
         [] { MakePhoto(gTarget, 10); }, nullptr, ERROR_ALREADY_EXISTS, Side::Output, "-"},
        {"the output's name taken once the backup stands, renamed on the card's volume", true, false, {}, 1000, nullptr,
         nullptr, nullptr, nullptr, [] { MakePhoto(gTarget, 10); }, nullptr, ERROR_ALREADY_EXISTS, Side::Output, "-"},
        {"the photo cannot leave its card once both copies stand", false, false, {}, 1000, nullptr, nullptr, nullptr, nullptr,
         nullptr, [] { SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_READONLY); }, ERROR_ACCESS_DENIED,
         Side::Card, "-"},
    };
    TempTree sameVolumeAsCard{kOtherVolume};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        if (each.mounted && each.backupFolder.empty()) {
            std::cout << "no such volume on this machine: " << each.what << std::endl;
            continue;
        }
        CreateDirectoryW(backupTree->Path().c_str(), nullptr);
        const std::wstring folder = each.backupFolder.empty() ? backupTree->Path() : each.backupFolder;
        const TempTree& output = each.rename ? sameVolumeAsCard : disk;
        gSource = card.Path(L"IMG_0001.JPG");
        const std::string bytes = MakePhoto(gSource, each.size);
        gTarget = output.Path(L"2023-05-04_Trip_01.jpg");
        gBackup = folder + L"\\2023-05-04_Trip_01.jpg";
        const std::vector<std::wstring> backupBefore = Names(folder);
        if (each.before) each.before();
        engine::BeforeCardRead = each.cardRead;
        engine::BeforeCopyBlockWritten = each.outputBlock;
        engine::BeforeBackupBlockWritten = each.backupBlock;
        engine::AfterBackupFiled = each.afterBackupFiled;
        engine::AfterCopyFiled = each.afterCopyFiled;
        engine::FileMover mover;
        bool backupSide = false;
        std::wstring leftover;
        const DWORD error = mover.Move(gSource, gTarget, gBackup, backupSide, &leftover);
        TearDown();
        if (each.error)
            EXPECT_EQ(error, each.error);
        else
            EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(backupSide, each.side == Side::Backup);
        EXPECT_TRUE(leftover.empty()) << testing::PrintToString(leftover);

        SetFileAttributesW(gSource.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(card.Content(L"IMG_0001.JPG") == bytes) << "the photo is whole on its card";
        std::vector<std::wstring> outputLeft = Names(output.Path());
        const bool outputTaken = std::string(each.what).starts_with("the output's name taken");
        EXPECT_EQ(outputLeft.size(), outputTaken ? 1u : 0u) << testing::PrintToString(outputLeft);
        if (outputTaken) {
            EXPECT_EQ(output.Content(L"2023-05-04_Trip_01.jpg").size(), 10u) << "the other file stays";
        }
        const std::vector<std::wstring> backupLeft = Names(folder);
        if (each.backupLeft == "-") {
            EXPECT_EQ(backupLeft, backupBefore) << "nothing of this move is left in the backup folder";
        } else {
            EXPECT_EQ(backupLeft.size(), backupBefore.size() + 1);
            EXPECT_EQ(backupTree->Content(L"2023-05-04_Trip_01.jpg").size(), 999u + (each.rename ? 1 : 0))
                << "the other file stays as it was";
        }
        DeleteFileW(gBackup.c_str());
        DeleteFileW(gTarget.c_str());
        DeleteFileW(gSource.c_str());
    }
}

// The program ended between the two renames: the backup stands whole under its name, the photo is
// still on its card and the output has at most a temporary file. The next run takes the file
// under the backup's name as the photo's backup once it finds it byte for byte the photo, files
// the photo in the output and lets the card go; nothing is asked of the user.
TEST_F(FileMoveTest, RunEndedBetweenTheTwoRenamesIsFinishedByTheNextRun) {
    TempTree backup;
    TempTree sameVolumeAsCard{kOtherVolume};
    for (const bool rename : {false, true}) {
        SCOPED_TRACE(rename ? "output on the card's volume" : "output on another volume");
        const TempTree& output = rename ? sameVolumeAsCard : disk;
        gSource = card.Path(L"IMG_0001.JPG");
        const std::string bytes = MakePhoto(gSource, 200 * 1024);
        gTarget = output.Path(L"2023-05-04_Trip_01.jpg");
        const std::wstring second = backup.Path(L"2023-05-04_Trip_01.jpg");
        // The disk as the ended run left it (AfterBackupFiled marks that point in a move, as the first
        // test shows): the photo on its card, its backup under its name, in the output at most the
        // temporary file of a copy that was not filed.
        MakePhoto(second, 200 * 1024);
        const std::wstring temporary = output.Path(L"~kd-00beef.part");
        MakePhoto(temporary, 100 * 1024);
        const FILETIME backupWritten = LastWrite(second);

        engine::FileMover next;
        bool backupSide = true;
        EXPECT_EQ(next.Move(gSource, gTarget, second, backupSide), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(card.Exists(L"IMG_0001.JPG"));
        EXPECT_TRUE(output.Content(L"2023-05-04_Trip_01.jpg") == bytes);
        EXPECT_TRUE(backup.Content(L"2023-05-04_Trip_01.jpg") == bytes);
        const FILETIME after = LastWrite(second);
        EXPECT_EQ(CompareFileTime(&backupWritten, &after), 0) << "the backup found is kept, not made again";
        EXPECT_EQ(Names(backup.Path()).size(), 1u);
        EXPECT_EQ(output.Content(L"~kd-00beef.part").size(), 100u * 1024) << "no run removes a file it did not make";
        DeleteFileW(temporary.c_str());
        DeleteFileW(gTarget.c_str());
        DeleteFileW(second.c_str());
    }
}

// Each way the checksum is taken, whichever this processor uses: the tables are what a processor
// without SSE 4.2 runs (older PCs, for which the 32-bit program is).
TEST(CopyChecksumTest, IsTheCastagnoliCrcEitherWayInOneCallOrInPieces) {
    using Way = uint32_t (*)(uint32_t, const void*, size_t);
    std::vector<std::pair<const char*, Way>> ways{{"tables", engine::Crc32cByTables}, {"as used", engine::Crc32c}};
    if (engine::ProcessorHasCrc32c()) ways.emplace_back("processor", engine::Crc32cByProcessor);
    std::string data(100000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (const auto& [name, crc] : ways) {
        SCOPED_TRACE(name);
        const char text[] = "123456789";
        EXPECT_EQ(crc(0, text, 9), 0xE3069283u);
        EXPECT_EQ(crc(crc(0, text, 4), text + 4, 5), 0xE3069283u);
        // Long enough for the wide steps, with a tail: 32 bytes of zeros have a published value too.
        const char zeros[32] = {};
        EXPECT_EQ(crc(0, zeros, 32), 0x8A9136AAu);
        // The processor takes long data in several lanes at once: the tables' value of the same data
        // in short pieces, at the lanes' edges and from an odd start.
        for (size_t length : {12287u, 12288u, 12289u, 65536u, 99999u}) {
            for (size_t start : {0u, 1u}) {
                uint32_t pieces = 0;
                for (size_t at = start; at < length; at += 1000)
                    pieces = engine::Crc32cByTables(pieces, data.data() + at, std::min<size_t>(1000, length - at));
                EXPECT_EQ(crc(0, data.data() + start, length - start), pieces) << length << " from " << start;
            }
        }
    }
    EXPECT_TRUE(engine::IsTemporaryCopyName(L"~kd-03fa9c.part"));
    EXPECT_TRUE(engine::IsTemporaryCopyName(L"~KD-03FA9C.PART")) << "renamed in upper case, still a leftover";
    for (const wchar_t* name : {L"2023-05-04_Cut_01.jpg", L"~kd-03fa9c.jpg", L"~kd-03fz9c.part", L"kd-03fa9c.part"})
        EXPECT_FALSE(engine::IsTemporaryCopyName(name)) << testing::PrintToString(std::wstring(name));
}

}  // namespace
