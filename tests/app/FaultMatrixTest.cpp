// Faults a user meets with real cards and disks, met through the real program
// in a second process. In every case nothing is lost, a mark or a message says
// what happened, and the program keeps working.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "KamdropProcessTest.h"
#include "runtime/SysUtils.h"

namespace {

using forms::WideToUtf8;
using Lines = std::vector<std::wstring>;

// Every file below a folder, with its content, by path relative to the tree.
void CollectFiles(const std::wstring& root, const std::wstring& relative, std::map<std::wstring, std::string>& files) {
    WIN32_FIND_DATAW entry;
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CollectFiles(root, path, files);
            continue;
        }
        HANDLE file = CreateFileW((root + L"\\" + path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        std::string content(entry.nFileSizeLow, '\0');
        DWORD read = 0;
        if (file != INVALID_HANDLE_VALUE) {
            ReadFile(file, content.data(), entry.nFileSizeLow, &read, nullptr);
            CloseHandle(file);
        }
        content.resize(read);
        files[path] = content;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

// A photo whose content names it, so it can be found again under any new name.
std::wstring MakePhoto(const TempTree& tree, const std::wstring& relative, int day, int minute, size_t size = 0) {
    const std::wstring path = tree.Path(relative);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make a photo");
    std::string content = "photo:" + WideToUtf8(relative);
    if (content.size() < size) content.resize(size, '#');
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    SetLastWriteTime(path, LocalToFileTime(2023, 5, day, 9, minute / 60, minute % 60));
    return path;
}

std::wstring Photo(int i) { return L"IMG_" + std::to_wstring(1000 + i) + L".JPG"; }

class FaultMatrixTest : public KamdropProcessTest {
protected:
    // Photos of 1 May 2023 a minute apart, so they are moved in the order of their numbers.
    Lines MakePhotos(int count, size_t size = 0) {
        Lines names;
        for (int i = 0; i < count; ++i) {
            names.push_back(Photo(i));
            MakePhoto(tree, L"in\\" + Photo(i), 1, i, size);
        }
        return names;
    }
    // Every photo made is still somewhere in the tree (or in the other folder), whole and exactly once.
    void ExpectNothingLost(const Lines& names, size_t size = 0, const std::wstring& otherFolder = L"") {
        std::map<std::wstring, std::string> files;
        CollectFiles(tree.Path(), L"", files);
        if (!otherFolder.empty()) CollectFiles(otherFolder, L"", files);
        std::multiset<std::string> contents;
        for (const auto& [path, content] : files) contents.insert(content);
        for (const std::wstring& name : names) {
            std::string content = "photo:in\\" + WideToUtf8(name);
            if (content.size() < size) content.resize(size, '#');
            EXPECT_EQ(contents.count(content), 1u) << WideToUtf8(name) << " is not there exactly once, whole";
        }
    }
    // Presses OK on the message box the program shows and returns its text.
    std::wstring AnswerMessageBox() {
        HWND box = kamdrop->WaitForMessageBox();
        if (!box) return L"(no message box)";
        std::wstring text = KamdropDriver::MessageBoxText(box);
        kamdrop->PressDialogButton(box, IDOK);
        return text;
    }
    int CountMarks(LRESULT mark) {
        auto rows = kamdrop->Rows();
        return static_cast<int>(std::count_if(rows.begin(), rows.end(), [&](auto& row) { return row.Mark == mark; }));
    }
};

// ---- The disk changes under a run ----

struct DiskFault {
    const char* Name;
    // What happens to the disk (the tree) or the card while the run copies a large photo.
    std::function<void(const TempTree& disk, const TempTree& card)> Change;
    // The message the run ends with, or empty when every file simply gets its mark.
    const wchar_t* Message;
    // Where on the card the files that were not moved are afterwards, and the output a second Start uses.
    const wchar_t* Input;
    const wchar_t* Output;
};

void PrintTo(const DiskFault& fault, std::ostream* out) { *out << fault.Name; }

class DiskFaultTest : public FaultMatrixTest, public ::testing::WithParamInterface<DiskFault> {};

void Rename(const TempTree& tree, const std::wstring& from, const std::wstring& to) {
    if (!MoveFileW(tree.Path(from).c_str(), tree.Path(to).c_str())) throw std::runtime_error("cannot rename");
}

// The card is another volume, so every photo is copied; a large one between the tenth and the
// eleventh holds the run in its copy, where the disk changes (as the kill test ends the program
// there): the ten before it are filed, whatever the speed of the machine, and the rest are not.
// What becomes of the large photo itself is Wine's: it renames a folder that holds an open file,
// which Windows refuses.
TEST_P(DiskFaultTest, FilesStayWholeTheRestIsMarkedAndStartWorksAgain) {
    const DiskFault& fault = GetParam();
    const int count = 120, before = 10;
    TempTree card(L"Z:\\dev\\shm\\");
    card.MakeDirectory(L"in");
    Lines names;
    for (int i = 0; i < count; ++i) {
        names.push_back(Photo(i));
        MakePhoto(card, L"in\\" + Photo(i), 1, 4 * i);
    }
    MakePhoto(card, L"in\\LARGE.JPG", 1, 4 * before - 2, 64u << 20);
    auto copyingTheLargePhoto = [&] {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(tree.Path(L"out\\~kd-*.part").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return false;
        bool large = false;
        do large = large || entry.nFileSizeLow > (1u << 20); while (FindNextFileW(find, &entry));
        FindClose(find);
        return large;
    };
    ASSERT_TRUE(StartKamdrop(L"Card"));
    kamdrop->SetInput(card.Path(L"in"));

    kamdrop->StartRun();
    ASSERT_TRUE(WaitUntil(copyingTheLargePhoto, 60000, 1)) << "the large photo's copy was not seen";
    kamdrop->Suspend();
    fault.Change(tree, card);
    kamdrop->Resume();
    if (fault.Message) {
        EXPECT_EQ(AnswerMessageBox(), fault.Message);
    }
    ASSERT_TRUE(kamdrop->WaitForRun());

    std::map<std::wstring, LRESULT> marks;
    for (const auto& row : kamdrop->Rows()) marks[row.Text] = row.Mark;
    for (int i = 0; i < count; ++i) {
        const auto row = marks.find(card.Path(L"in\\" + Photo(i)));
        const bool filed = i < before;
        if (filed || !fault.Message) {
            ASSERT_NE(row, marks.end()) << WideToUtf8(Photo(i)) << " has its row";
        }
        if (row != marks.end()) {
            EXPECT_EQ(row->second, filed ? 0 : 1) << WideToUtf8(Photo(i));
        }
        EXPECT_EQ(card.Exists(fault.Input + (L"\\" + Photo(i))), !filed) << WideToUtf8(Photo(i));
    }
    EXPECT_TRUE(kamdrop->StartEnabled());
    ExpectNothingLost(names, 0, card.Path());

    // The user puts things right and starts again: every photo left is filed.
    kamdrop->SetInput(card.Path(fault.Input));
    kamdrop->SetOutput(tree.MakeDirectory(fault.Output));
    kamdrop->StartRun();
    ASSERT_TRUE(kamdrop->WaitForRun());
    EXPECT_EQ(CountMarks(1), 0);
    for (int i = before; i < count; ++i) {
        EXPECT_FALSE(card.Exists(fault.Input + (L"\\" + Photo(i)))) << WideToUtf8(Photo(i)) << " stayed";
    }
    ExpectNothingLost(names, 0, card.Path());
    EXPECT_TRUE(kamdrop->Exit());
}

const DiskFault kDiskFaults[] = {
    {"OutputDirectoryRemoved", [](const TempTree& disk, const TempTree&) { Rename(disk, L"out", L"out-gone"); },
     nullptr, L"in", L"out-again"},
    {"OutputDirectoryBecomesAFile",
     [](const TempTree& disk, const TempTree&) {
         Rename(disk, L"out", L"out-gone");
         // A file where the directory was: nothing can be written into it.
         MakePhoto(disk, L"out", 1, 0);
     },
     nullptr, L"in", L"out-again"},
    {"CardRemovedDuringTheRun", [](const TempTree&, const TempTree& card) { Rename(card, L"in", L"card"); },
     L"Invalid argument to date encode.", L"card", L"out-again"},
};

INSTANTIATE_TEST_SUITE_P(Matrix, DiskFaultTest, ::testing::ValuesIn(kDiskFaults),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST_F(FaultMatrixTest, CardRemovedDuringTheScanMovesNothingAndSaysSo) {
    const int count = 1500;
    const Lines names = MakePhotos(count);
    ASSERT_TRUE(StartKamdrop(L"Card"));

    kamdrop->StartRun();
    const DWORD start = GetTickCount();
    bool scanning = false;
    while (!scanning && GetTickCount() - start < 20000) scanning = kamdrop->StatusText() == L"Prepare...";
    ASSERT_TRUE(scanning);
    // Held still at once (a held program answers no message), the card goes: the
    // folder is open for the listing, so its files go rather than the folder.
    kamdrop->Suspend();
    tree.MakeDirectory(L"card");
    for (const std::wstring& name : names) Rename(tree, L"in\\" + name, L"card\\" + name);
    kamdrop->Resume();

    // The files found cannot be read any more: the run ends before the first move.
    const std::wstring message = AnswerMessageBox();
    EXPECT_TRUE(message == L"Invalid argument to date encode." || message == L"No files found.") << WideToUtf8(message);
    ASSERT_TRUE(kamdrop->WaitForRun());
    EXPECT_EQ(CountMarks(0), 0);
    EXPECT_TRUE(kamdrop->StartEnabled());
    ExpectNothingLost(names);
    EXPECT_TRUE(kamdrop->Responds());
    EXPECT_TRUE(kamdrop->Exit());
}

// A small volume for the output, made by the test script where the machine allows
// (KAMDROP_SMALL_VOLUME, a folder on a file system of 1 MiB).
TEST_F(FaultMatrixTest, VolumeFillingUpLeavesNoPartialTargetAndTheSourceStays) {
    const char* volume = std::getenv("KAMDROP_SMALL_VOLUME");
    if (!volume || !*volume) GTEST_SKIP() << "no small volume on this machine";
    const std::wstring output = HostPathToWindows(volume) + L"\\out-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(output.c_str(), nullptr));

    const size_t size = 300 * 1024;
    const Lines names = MakePhotos(5, size);
    ASSERT_TRUE(StartKamdrop(L"Full"));
    kamdrop->SetOutput(output);
    kamdrop->ClickStartAndWait();

    std::map<std::wstring, std::string> written;
    CollectFiles(output, L"", written);
    const int moved = CountMarks(0);
    EXPECT_GE(moved, 1);
    EXPECT_LT(moved, 5) << "the volume holds no more than three of the photos";
    EXPECT_EQ(static_cast<int>(written.size()), moved) << "a target is there exactly for each check mark";
    for (const auto& [name, content] : written) EXPECT_EQ(content.size(), size) << WideToUtf8(name) << " is whole";
    for (const auto& row : kamdrop->Rows()) {
        const bool stayed = GetFileAttributesW(row.Text.c_str()) != INVALID_FILE_ATTRIBUTES;
        EXPECT_EQ(row.Mark == 1, stayed) << WideToUtf8(row.Text);
    }
    ExpectNothingLost(names, size, output);
    for (const auto& [name, content] : written) DeleteFileW((output + L"\\" + name).c_str());
    RemoveDirectoryW(output.c_str());
    EXPECT_TRUE(kamdrop->Exit());
}

// The card is another volume, so every photo is copied. The program ended in the middle of a
// large photo's copy leaves no file under the photo's new name, only a temporary file named as
// one; the photo stays whole on the card, and the next run files it whole beside that file.
TEST_F(FaultMatrixTest, ProgramEndedInTheMiddleOfACopyLeavesNoBrokenPhotoAndTheNextRunFilesItWhole) {
    TempTree card(L"Z:\\dev\\shm\\");
    const std::wstring big = card.Path(L"IMG_0001.JPG");
    // 384 MiB, written and compared a block at a time: a 32-bit test holds no two copies of it.
    constexpr size_t kBlock = 64u << 20, kBlocks = 6;
    auto block = [](size_t index) {
        std::string bytes(kBlock, '\0');
        for (size_t i = 0; i < kBlock; i += 4096) bytes[i] = static_cast<char>((index * kBlock + i) >> 12);
        return bytes;
    };
    auto wholeCopyOfTheBigPhoto = [&](const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        bool same = GetFileSize(file, nullptr) == kBlock * kBlocks;
        std::string read(kBlock, '\0');
        for (size_t index = 0; same && index < kBlocks; ++index) {
            DWORD got = 0;
            same = ReadFile(file, read.data(), kBlock, &got, nullptr) && got == kBlock && read == block(index);
        }
        CloseHandle(file);
        return same;
    };
    {
        HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        for (size_t index = 0; index < kBlocks; ++index) {
            DWORD written = 0;
            WriteFile(file, block(index).data(), kBlock, &written, nullptr);
        }
        CloseHandle(file);
        SetLastWriteTime(big, LocalToFileTime(2023, 5, 4, 9, 0, 0));
    }
    MakePhoto(card, L"IMG_0002.JPG", 4, 1);
    const std::wstring output = tree.Path(L"out");
    auto temporaryFiles = [&] {
        Lines found;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((output + L"\\~kd-*.part").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) return found;
        do found.push_back(entry.cFileName); while (FindNextFileW(find, &entry));
        FindClose(find);
        return found;
    };

    ASSERT_TRUE(StartKamdrop(L"Cut"));
    kamdrop->SetInput(card.Path());
    kamdrop->StartRun();
    ASSERT_TRUE(WaitUntil([&] { return !temporaryFiles().empty(); }, 60000, 1)) << "the copy was not seen";
    kamdrop->Kill();
    EXPECT_FALSE(tree.Exists(L"out\\2023-05-04_Cut_01.jpg")) << "a broken photo stands under its new name";
    EXPECT_EQ(temporaryFiles().size(), 1u);
    kamdrop.reset();

    ASSERT_TRUE(StartKamdrop(L"Cut"));
    kamdrop->SetInput(card.Path());
    kamdrop->ClickStartAndWait();
    EXPECT_EQ(CountMarks(0), 2);
    EXPECT_FALSE(card.Exists(L"IMG_0001.JPG"));
    EXPECT_TRUE(wholeCopyOfTheBigPhoto(tree.Path(L"out\\2023-05-04_Cut_01.jpg"))) << "the photo is filed whole";
    EXPECT_EQ(tree.Content(L"out\\2023-05-04_Cut_02.jpg"), "photo:IMG_0002.JPG");
    EXPECT_EQ(temporaryFiles().size(), 1u) << "the cut-off copy stays for the user: no run deletes a file it did not make";
    EXPECT_TRUE(kamdrop->Exit());
}

TEST_F(FaultMatrixTest, TenThousandFilesGetTheirCountersRowsAndMarksAndTheWindowAnswersThroughout) {
    const int count = 10000, days = 30;
    // 333 or 334 photos a day, two seconds apart; the day of photo i is 1 + i % days.
    for (int i = 0; i < count; ++i) {
        const std::wstring name = L"in\\P" + std::to_wstring(100000 + i) + L".JPG";
        HANDLE file = CreateFileW(tree.Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const FILETIME time = LocalToFileTime(2023, 3, 1 + i % days, 8, (i / days) / 30, 2 * ((i / days) % 30));
        SetFileTime(file, nullptr, nullptr, &time);
        CloseHandle(file);
    }
    ASSERT_TRUE(StartKamdrop(L"Many"));
    kamdrop->StartRun();
    // "Not responding" is five seconds without an answer; a probe every 50 ms, scan and sort included.
    int probes = 0;
    while (!kamdrop->WaitForRun(50)) {
        ASSERT_TRUE(kamdrop->Responds(5000)) << "no answer after " << probes << " probes";
        ++probes;
    }
    EXPECT_GT(probes, 10);

    const auto rows = kamdrop->Rows();
    ASSERT_EQ(rows.size(), static_cast<size_t>(count));
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const auto& row) { return row.Mark == 0; }));
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.Text < b.Text; }));
    for (int day = 1; day <= days; ++day)
        for (int n : {1, 9, 10, 99, 100, 333}) {
            wchar_t name[64];
            swprintf(name, 64, L"out\\2023-03-%02d_Many_%02d.jpg", day, n);
            EXPECT_TRUE(tree.Exists(name)) << WideToUtf8(name);
        }
    EXPECT_TRUE(tree.Exists(L"out\\2023-03-10_Many_334.jpg"));
    EXPECT_FALSE(tree.Exists(L"out\\2023-03-11_Many_334.jpg"));
    EXPECT_EQ(kamdrop->ProgressPosition(), 0);
    EXPECT_TRUE(kamdrop->StartEnabled());
    EXPECT_TRUE(kamdrop->Exit());
}

// ---- Names ----

struct NameCase {
    const char* Name;
    // The input file's name and the label; the expected name of the target.
    std::wstring Source;
    std::wstring Label;
    std::wstring Target;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.Name; }

class NameTest : public FaultMatrixTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameTest, FileIsFiledUnderItsNameOrStaysWithACross) {
    const NameCase& c = GetParam();
    MakePhoto(tree, L"in\\" + c.Source, 11, 0);
    ASSERT_TRUE(StartKamdrop(c.Label));
    kamdrop->ClickStartAndWait();

    auto rows = kamdrop->Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Text, tree.Path(L"in\\" + c.Source)) << "the row shows the name as it is";
    EXPECT_EQ(rows[0].Mark, 0);
    EXPECT_TRUE(tree.Exists(L"out\\" + c.Target)) << WideToUtf8(c.Target);
    ExpectNothingLost({c.Source});
    EXPECT_TRUE(kamdrop->Exit());
}

const std::wstring kLabel50 = L"Ωmega-" + std::wstring(44, L'x');

INSTANTIATE_TEST_SUITE_P(
    Matrix, NameTest,
    ::testing::Values(NameCase{"Greek", L"\x03A6\x03C9\x03C4\x03BF.JPG", L"\x0394\x03B5\x03BB\x03C6\x03BF\x03AF",
                               L"2023-05-11_\x0394\x03B5\x03BB\x03C6\x03BF\x03AF_01.jpg"},
                      NameCase{"Japanese", L"\x5199\x771F.JPG", L"\x65C5\x884C", L"2023-05-11_\x65C5\x884C_01.jpg"},
                      NameCase{"Emoji", L"\xD83D\xDE00.JPEG", L"Trip\xD83C\xDF34", L"2023-05-11_Trip\xD83C\xDF34_01.jpeg"},
                      NameCase{"LabelOfFiftyCharacters", L"IMG_0001.JPG", kLabel50,
                               L"2023-05-11_" + kLabel50 + L"_01.jpg"}),
    [](const auto& test) { return std::string(test.param.Name); });

// A source path as long as a plain path can be is a path like any other: its photo is filed.
TEST_F(FaultMatrixTest, NamesAtThePathLimitAreFiled) {
    // A source path of 259 characters, the longest a plain path can be.
    const std::wstring base = tree.Path(L"in\\");
    const std::wstring longName = std::wstring(259 - base.size() - 4, L'n') + L".JPG";
    MakePhoto(tree, L"in\\" + longName, 11, 0);
    MakePhoto(tree, L"in\\short.JPG", 11, 1);
    ASSERT_TRUE(StartKamdrop(L"Long"));
    kamdrop->ClickStartAndWait();

    auto rows = kamdrop->Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Text, base + longName);
    EXPECT_EQ(rows[1].Text, base + L"short.JPG");
    EXPECT_EQ(CountMarks(0), 2);
    EXPECT_EQ(tree.Content(L"out\\2023-05-11_Long_01.jpg"), "photo:in\\" + WideToUtf8(longName));
    EXPECT_EQ(tree.Content(L"out\\2023-05-11_Long_02.jpg"), "photo:in\\short.JPG");
    ExpectNothingLost({longName, L"short.JPG"});
    EXPECT_TRUE(kamdrop->Exit());
}

TEST_F(FaultMatrixTest, TargetNameTakenByADirectoryGetsACrossAndTheNextFileTheNextNumber) {
    MakePhotos(2);
    tree.MakeDirectory(L"out\\2023-05-01_Clash_01.jpg");
    ASSERT_TRUE(StartKamdrop(L"Clash"));
    kamdrop->ClickStartAndWait();

    auto rows = kamdrop->Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Mark, 1);
    EXPECT_EQ(rows[1].Mark, 0);
    EXPECT_TRUE(tree.Exists(L"in\\" + Photo(0)));
    EXPECT_TRUE(tree.Exists(L"out\\2023-05-01_Clash_02.jpg"));
    ExpectNothingLost({Photo(0), Photo(1)});
    EXPECT_TRUE(kamdrop->Exit());
}

// ---- Settings files ----

// What a settings file holds for the three fields, as the program reads it.
struct Fields {
    Lines Texts;
    std::vector<Lines> Histories;
    bool operator==(const Fields&) const = default;
};

Fields FieldsOf(const KamdropDriver& kamdrop) {
    Fields fields;
    for (int i = 0; i < 3; ++i) {
        fields.Texts.push_back(kamdrop.FieldText(i));
        fields.Histories.push_back(kamdrop.FieldRows(i));
    }
    return fields;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

const std::string kGoodSettings =
    "[Kamdrop]\r\n"
    "OvcHistoryComboBoxDirSource.Text=C:\\Card\r\n"
    "OvcHistoryComboBoxDirTarget.Text=D:\\Photos\r\n"
    "OvcHistoryComboBoxLabel.Text=Holiday\r\n"
    "[Kamdrop.OvcHistoryComboBoxDirSource.Items]\r\n"
    "Count=2\r\n"
    "Item0=C:\\Card\r\n"
    "Item1=E:\\DCIM\r\n";

struct SettingsCase {
    const char* Name;
    std::function<std::string()> Content;
    // What the program keeps of it: the three field texts and the input field's history.
    Lines Texts;
    Lines SourceHistory;
};

void PrintTo(const SettingsCase& c, std::ostream* out) { *out << c.Name; }

class SettingsFileTest : public FaultMatrixTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFileTest, ProgramStartsKeepsWhatItCanAndSavesAFileThatReadsBack) {
    const SettingsCase& c = GetParam();
    WriteBytes(tree.Path(L"program\\Kamdrop.ini"), c.Content());
    // The whole file is read at the start, and every value saved rewrites it: with ten megabytes
    // of it, under emulation, either takes longer than the usual waits. How long is for the
    // benchmarks to say; here the program comes up and goes down at all.
    constexpr DWORD kWait = 120000;
    ASSERT_TRUE(StartKamdrop(kWait)) << "the window came up";
    const Fields kept = FieldsOf(*kamdrop);
    EXPECT_EQ(kept.Texts, c.Texts);
    EXPECT_EQ(kept.Histories[0], c.SourceHistory);
    ASSERT_TRUE(kamdrop->Exit(kWait));

    // What was saved comes back whole at the next start, and that start saves it alike.
    ASSERT_TRUE(StartKamdrop(kWait));
    EXPECT_EQ(FieldsOf(*kamdrop), kept);
    ASSERT_TRUE(kamdrop->Exit(kWait));
    ASSERT_TRUE(StartKamdrop(kWait));
    EXPECT_EQ(FieldsOf(*kamdrop), kept);
    ASSERT_TRUE(kamdrop->Exit(kWait));
}

std::string Garbage(size_t size) {
    std::mt19937 random(20261210);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

const Lines kGoodTexts{L"C:\\Card", L"D:\\Photos", L"Holiday"};
const Lines kGoodHistory{L"C:\\Card", L"E:\\DCIM"};

INSTANTIATE_TEST_SUITE_P(
    Matrix, SettingsFileTest,
    ::testing::Values(
        SettingsCase{"Truncated", [] { return kGoodSettings.substr(0, kGoodSettings.find("DCIM")); }, kGoodTexts,
                     Lines{L"C:\\Card", L"E:\\"}},
        SettingsCase{"BinaryGarbage", [] { return Garbage(64 * 1024); }, Lines{L"", L"", L""}, Lines{}},
        SettingsCase{"GarbageBeforeGoodSettings", [] { return Garbage(4096) + "\r\n" + kGoodSettings; }, kGoodTexts,
                     kGoodHistory},
        SettingsCase{"TenMegabytes",
                     [] {
                         std::string big = "[Other]\r\n";
                         for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
                             big += "Key" + std::to_string(i) + "=" + std::string(100, 'v') + "\r\n";
                         return big + kGoodSettings;
                     },
                     kGoodTexts, kGoodHistory},
        SettingsCase{"ItemOf5000Characters",
                     [] { return kGoodSettings + "[Kamdrop.OvcHistoryComboBoxLabel.Items]\r\nCount=1\r\nItem0=" +
                                 std::string(5000, 'L') + "\r\n"; },
                     kGoodTexts, kGoodHistory},
        SettingsCase{"InvalidUtf7AfterThePrefix",
                     [] {
                         std::string bad = kGoodSettings;
                         bad.replace(bad.find("Holiday"), 7, "UTF7-coded:+");
                         return bad;
                     },
                     Lines{L"C:\\Card", L"D:\\Photos", L""}, kGoodHistory}),
    [](const auto& test) { return std::string(test.param.Name); });

// ---- Faults of the keyboard path and of the shutdown ----

TEST_F(FaultMatrixTest, AltSWithAFileHeldByAnotherProgramShowsTheErrorAndTheProgramGoesOn) {
    MakePhotos(2);
    HANDLE held = CreateFileW(tree.Path(L"in\\" + Photo(1)).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(StartKamdrop(L"Held"));
    kamdrop->PressAlt(L's');
    EXPECT_EQ(AnswerMessageBox(), L"Invalid argument to date encode.");
    CloseHandle(held);

    EXPECT_TRUE(kamdrop->Responds());
    EXPECT_TRUE(kamdrop->Running());
    EXPECT_TRUE(kamdrop->StartEnabled());
    EXPECT_TRUE(tree.Exists(L"in\\" + Photo(0))) << "the run ended before any move";
    // The program closes as usual afterwards, saving the fields.
    ASSERT_TRUE(kamdrop->Close());
    EXPECT_TRUE(tree.Exists(L"program\\Kamdrop.ini"));
}

TEST_F(FaultMatrixTest, FailedSavesAtShutdownEachWaitForTheUser) {
    // A folder where the settings file belongs refuses every write.
    tree.MakeDirectory(L"program\\Kamdrop.ini");
    ASSERT_TRUE(StartKamdrop(L"Label"));
    PostMessageW(kamdrop->MainWindow(), WM_CLOSE, 0, 0);
    int answered = 0;
    while (HWND box = kamdrop->WaitForMessageBox(5000)) {
        EXPECT_EQ(KamdropDriver::MessageBoxText(box).rfind(L"Unable to write to ", 0), 0u);
        Sleep(300);
        EXPECT_TRUE(IsWindowVisible(box)) << "box " << answered + 1 << " closed by itself";
        kamdrop->PressDialogButton(box, IDOK);
        ++answered;
    }
    EXPECT_EQ(answered, 4);
    EXPECT_TRUE(kamdrop->WaitForExit(20000));
}

}  // namespace
