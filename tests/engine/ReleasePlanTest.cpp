// A release and its plan: the plan changes nothing and tells what the moves then do.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/FileListing.h"
#include "engine/FileMove.h"
#include "engine/ReleaseRun.h"
#include "runtime/DirectoryListing.h"
#include "runtime/SystemMessage.h"
#include "TempTree.h"

using namespace engine;

namespace {

class Recorder : public ReleaseObserver {
public:
    Recorder(std::wstring output, std::wstring label) : FOutput(std::move(output)), FLabel(std::move(label)) {}
    std::wstring OutputDirectory() override { return Lines.size() < OutputClearedAfter ? FOutput : std::wstring(); }
    std::wstring Label() override { return FLabel; }
    bool FileDone(int, const FileResult& Result) override {
        Lines.push_back(Result.Source + L" > " + Result.Target + L" " + std::to_wstring(Result.Error));
        if (!Result.Leftover.empty()) Leftovers.push_back(Result.Leftover);
        return Lines.size() != StopAfter;
    }
    std::vector<std::wstring> Lines;
    std::vector<std::wstring> Leftovers;
    size_t StopAfter = 0;
    // The output field is cleared once this many files are done.
    size_t OutputClearedAfter = SIZE_MAX;

private:
    std::wstring FOutput, FLabel;
};

std::vector<std::wstring> Release(const std::wstring& input, const std::wstring& output, const std::wstring& label,
                                  ReleaseMode mode) {
    std::vector<std::wstring> files = ListFiles(input);
    Recorder recorder(output, label);
    ReleaseFiles(files, recorder, mode);
    return recorder.Lines;
}

// Every file of the input and output folders with its content, as the disk lists them: not
// through the listing under test, which passes over some names.
std::map<std::wstring, std::string> Disk(const TempTree& tree) {
    std::map<std::wstring, std::string> files;
    for (const wchar_t* folder : {L"in\\", L"out\\"}) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(tree.Path(folder + std::wstring(L"*")).c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) continue;
        do
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files[folder + std::wstring(entry.cFileName)] = tree.Content(folder + std::wstring(entry.cFileName));
        while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return files;
}

// Each card holds names the moves run into: a name taken in the output (in
// another letter case too), a file whose new name is that of a file moved
// later, and labels no file name can hold. One move of each card is followed
// on the disk; with a label no name can hold nothing moves.
TEST(ReleasePlanTest, PlanChangesNothingAndForetellsEveryMoveAndFailure) {
    const struct {
        const wchar_t* label;
        bool sameFolder;
        const wchar_t *movedFrom = nullptr, *movedTo = nullptr;
    } cases[] = {{L"Holiday", false, L"in\\IMG_1.JPG", L"out\\2023-01-11_Holiday_01.jpg"},
                 {L"Holiday", true, L"in\\IMG_3.JPG", L"in\\2023-01-12_Holiday_02.jpg"},
                 {L"a<b", false},
                 {L"a/b", false},
                 {L"x|y", true}};
    for (const auto& c : cases) {
        TempTree tree;
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        const std::wstring output = c.sameFolder ? tree.Path(L"in") : tree.Path(L"out");
        const std::wstring folder = c.sameFolder ? L"in\\" : L"out\\";
        tree.MakeFile(L"in\\IMG_1.JPG", 2023, 1, 11, 9);
        tree.MakeFile(L"in\\IMG_2.JPG", 2023, 1, 11, 10);
        tree.MakeFile(L"in\\IMG_3.JPG", 2023, 1, 12, 10);
        tree.MakeFile(L"in\\2023-01-12_Holiday_02.jpg", 2023, 1, 12, 8);
        tree.MakeFile(folder + L"2023-01-11_HOLIDAY_02.JPG", 2023, 1, 1);
        // A copy an earlier run left unfinished is never a photo.
        tree.MakeFile(L"in\\~kd-00c0de.part", 2023, 1, 10);

        const std::map<std::wstring, std::string> before = Disk(tree);
        const std::vector<std::wstring> plan = Release(tree.Path(L"in"), output, c.label, ReleaseMode::Plan);
        EXPECT_EQ(Disk(tree), before) << c.label;
        const std::vector<std::wstring> moves = Release(tree.Path(L"in"), output, c.label, ReleaseMode::Move);
        EXPECT_EQ(plan, moves) << c.label;
        EXPECT_EQ(moves.size(), c.sameFolder ? 5u : 4u) << c.label;
        const std::map<std::wstring, std::string> after = Disk(tree);
        if (c.movedFrom) {
            EXPECT_FALSE(after.contains(c.movedFrom)) << c.label;
            EXPECT_EQ(after.contains(c.movedTo) ? after.at(c.movedTo) : "(none)", before.at(c.movedFrom)) << c.label;
        } else {
            EXPECT_EQ(after, before) << c.label;
        }
        EXPECT_EQ(tree.Content(L"in\\~kd-00c0de.part"), "in\\~kd-00c0de.part") << c.label;
    }
}

TEST(ReleasePlanTest, StoppedRunEndsAfterTheFileInHand) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    for (int i = 0; i < 5; ++i) tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 9 + i);
    std::vector<std::wstring> files = ListFiles(tree.Path(L"in"));
    Recorder recorder(tree.Path(L"out"), L"Holiday");
    recorder.StopAfter = 2;
    ReleaseFiles(files, recorder);
    EXPECT_EQ(recorder.Lines.size(), 2u);
    EXPECT_EQ(ListFiles(tree.Path(L"out")).size(), 2u);
    EXPECT_EQ(ListFiles(tree.Path(L"in")).size(), 3u);
}

// A listing that cannot begin or breaks off part-way (a damaged or pulled card) is an error,
// never a shorter card: only the listing's own end ends it quietly.
TEST(ReleasePlanTest, ListingThatBreaksOffFailsInsteadOfEndingEarly) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    for (int i = 0; i < 5; ++i) tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 9 + i);
    static int steps;
    static int failAt;
    forms::ListingFault = [] { return ++steps == failAt ? static_cast<DWORD>(ERROR_FILE_CORRUPT) : ERROR_SUCCESS; };
    for (int at : {1, 4}) {
        steps = 0;
        failAt = at;
        try {
            ListFiles(tree.Path(L"in"));
            ADD_FAILURE() << "a listing broken off at step " << at << " passed as whole";
        } catch (const forms::EListingError& error) {
            EXPECT_EQ(error.Error(), static_cast<DWORD>(ERROR_FILE_CORRUPT));
            EXPECT_EQ(error.Directory(), tree.Path(L"in") + L"\\");
            EXPECT_TRUE(error.Message().starts_with(L"The folder " + tree.Path(L"in") + L"\\ could not be listed"))
                << testing::PrintToString(error.Message());
        }
    }
    forms::ListingFault = nullptr;
    EXPECT_EQ(ListFiles(tree.Path(L"in")).size(), 5u);
}

// The output field cleared in mid-run (its history cleared, say): the files after that stay where
// they are with "Invalid output directory.", in the run and in its plan, and nothing lands at the
// root of the drive.
TEST(ReleasePlanTest, EmptyOutputAtAFilesTurnKeepsTheFileWhereItIs) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    for (int i = 0; i < 3; ++i) tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 9 + i);
    for (ReleaseMode mode : {ReleaseMode::Plan, ReleaseMode::Move}) {
        std::vector<std::wstring> files = ListFiles(tree.Path(L"in"));
        Recorder recorder(tree.Path(L"out"), L"Trip");
        recorder.OutputClearedAfter = 1;
        ReleaseFiles(files, recorder, mode);
        ASSERT_EQ(recorder.Lines.size(), 3u);
        EXPECT_EQ(recorder.Lines[1], tree.Path(L"in\\1.jpg") + L" >  " + std::to_wstring(kErrorNoOutputDirectory));
    }
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Trip_01.jpg"));
    EXPECT_TRUE(tree.Exists(L"in\\1.jpg"));
    EXPECT_TRUE(tree.Exists(L"in\\2.jpg"));
    FileResult result;
    result.Error = kErrorNoOutputDirectory;
    EXPECT_EQ(FailureReason(result), L"Invalid output directory.");
}

// A copy that could not be removed again is reported also when the run then ends because the
// photo's date cannot be read any more (another program holds it now).
TEST(ReleasePlanTest, CopyLeftBehindIsReportedWhenTheRunEndsOnADate) {
    TempTree disk;
    TempTree card(L"Z:\\dev\\shm\\");
    static std::wstring photo, copy;
    static HANDLE holder;
    photo = card.MakeFile(L"IMG_0001.JPG", 2023, 5, 4);
    copy = disk.Path(L"2023-05-04_Cut_01.jpg");
    holder = INVALID_HANDLE_VALUE;
    // The photo cannot leave its card, its copy cannot be removed, and the photo is held after.
    AfterCopyFiled = [] {
        SetFileAttributesW(photo.c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_READONLY);
        holder = CreateFileW(photo.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    };
    std::vector<std::wstring> files{photo};
    Recorder recorder(disk.Path(), L"Cut");
    EXPECT_THROW(ReleaseFiles(files, recorder), forms::Exception);
    AfterCopyFiled = nullptr;
    CloseHandle(holder);
    ASSERT_EQ(recorder.Lines.size(), 1u) << "the file's row, with the copy it left";
    EXPECT_EQ(recorder.Leftovers, std::vector<std::wstring>{copy});
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(photo.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// With a backup, the plan names each backup and foretells the run's failures on that side: a
// backup name taken by another file refuses the photo ("backup: "), one taken by the photo's very
// bytes (left by a run that ended between its two renames) counts as its backup. Photos on the
// card's own volume are renamed after their backup stands.
TEST(ReleasePlanTest, PlanWithABackupForetellsTheRunOnBothSides) {
    class BackupRecorder : public Recorder {
    public:
        BackupRecorder(std::wstring output, std::wstring backup) : Recorder(std::move(output), L"Trip"), FBackup(backup) {}
        std::wstring BackupDirectory() override { return FBackup; }
        bool FileDone(int Index, const FileResult& Result) override {
            Recorder::FileDone(Index, Result);
            Lines.back() += L" + " + Result.Backup + (Result.Moved() ? L"" : L" " + FailureReason(Result));
            return true;
        }
        std::wstring FBackup;
    };
    for (const bool cardVolume : {false, true}) {
        SCOPED_TRACE(cardVolume ? "output on the card's volume" : "output on another volume");
        TempTree card(L"Z:\\dev\\shm\\");
        TempTree disk;
        TempTree outputOnCard(L"Z:\\dev\\shm\\");
        const TempTree& output = cardVolume ? outputOnCard : disk;
        disk.MakeDirectory(L"backup");
        for (int i = 1; i <= 3; ++i) card.MakeFile(L"IMG_" + std::to_wstring(i) + L".JPG", 2023, 1, 11, 8 + i);
        disk.MakeFile(L"backup\\2023-01-11_Trip_02.jpg", 2020, 1, 1);
        // The photo's very bytes under the third backup name.
        HANDLE same = CreateFileW(disk.Path(L"backup\\2023-01-11_Trip_03.jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        WriteFile(same, "IMG_3.JPG", 9, &written, nullptr);
        CloseHandle(same);
        std::vector<std::vector<std::wstring>> lines;
        for (ReleaseMode mode : {ReleaseMode::Plan, ReleaseMode::Move}) {
            std::vector<std::wstring> files = ListFiles(card.Path());
            BackupRecorder recorder(output.Path(), disk.Path(L"backup"));
            ReleaseFiles(files, recorder, mode);
            lines.push_back(recorder.Lines);
        }
        EXPECT_EQ(lines[0], lines[1]);
        ASSERT_EQ(lines[1].size(), 3u);
        const std::wstring backup2 = disk.Path(L"backup\\2023-01-11_Trip_02.jpg");
        EXPECT_EQ(lines[1][1], card.Path(L"IMG_2.JPG") + L" > " + output.Path(L"2023-01-11_Trip_02.jpg") + L" " +
                                   std::to_wstring(ERROR_ALREADY_EXISTS) + L" + " + backup2 + L" backup: " +
                                   forms::SystemMessage(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(output.Content(L"2023-01-11_Trip_01.jpg"), "IMG_1.JPG");
        EXPECT_EQ(disk.Content(L"backup\\2023-01-11_Trip_01.jpg"), "IMG_1.JPG");
        EXPECT_EQ(output.Content(L"2023-01-11_Trip_03.jpg"), "IMG_3.JPG");
        EXPECT_FALSE(output.Exists(L"2023-01-11_Trip_02.jpg"));
        EXPECT_EQ(disk.Content(L"backup\\2023-01-11_Trip_02.jpg"), "backup\\2023-01-11_Trip_02.jpg");
        EXPECT_EQ(card.Content(L"IMG_2.JPG"), "IMG_2.JPG");
        EXPECT_FALSE(card.Exists(L"IMG_1.JPG"));
        EXPECT_FALSE(card.Exists(L"IMG_3.JPG"));
    }
}

}  // namespace
