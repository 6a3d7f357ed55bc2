// KamdropCmd.exe run from this process: its lines, exit statuses, dry run and
// report, and its names beside the window's on twin cards.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>

#include "KamdropCmdProcess.h"
#include "MediaTestFiles.h"
#include "KamdropDriver.h"
#include "SystemText.h"
#include "TempTree.h"
#include "runtime/SysUtils.h"

namespace {

// Every file under the tree with its content, in a fixed order.
void CollectFiles(const TempTree& tree, const std::wstring& relative, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((tree.Path(relative) + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(tree, path, files);
        else
            files.push_back(path + L" = " + forms::Utf8ToWide(tree.Content(path)));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

std::vector<std::wstring> DiskState(const TempTree& tree) {
    std::vector<std::wstring> files;
    for (const wchar_t* folder : {L"in", L"out"}) CollectFiles(tree, folder, files);
    std::sort(files.begin(), files.end());
    return files;
}

// A card with ties in the 2-second step, two days, an extension in capitals,
// a file without one, a hidden file and a subfolder that stays; the output
// holds a name the run will want.
void MakeCard(const TempTree& tree) {
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"in\\sub");
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 11, 9, 0, 1);
    tree.MakeFile(L"in\\IMG_0003.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0004.JPG", 2023, 1, 11, 10, 0, 0);
    tree.MakeFile(L"in\\MVI_0005.MOV", 2023, 1, 12, 8, 0, 0);
    tree.MakeFile(L"in\\notes", 2023, 1, 12, 9, 0, 0);
    tree.MakeFile(L"in\\thumbs.db", 2023, 1, 12, 9, 30, 0, FILE_ATTRIBUTE_HIDDEN);
    tree.MakeFile(L"in\\sub\\IMG_0099.JPG", 2023, 1, 12, 10, 0, 0);
    tree.MakeFile(L"out\\2023-01-11_Summer_trip_03.jpg", 2022, 1, 1);
}

// The whole file (TempTree's Content reads only its start).
std::string WholeFile(const std::wstring& path) {
    std::string content;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read) content.append(buffer, read);
    CloseHandle(file);
    return content;
}

std::vector<std::wstring> LinesStartingWith(const std::vector<std::wstring>& lines, const std::wstring& prefix) {
    std::vector<std::wstring> found;
    for (const std::wstring& line : lines)
        if (line.starts_with(prefix)) found.push_back(line);
    return found;
}

TEST(KamdropCmdTest, WindowAndConsoleGiveTheSameNamesAndFailuresOnTwinCards) {
    TempTree windowCard, consoleCard;
    MakeCard(windowCard);
    MakeCard(consoleCard);
    windowCard.MakeDirectory(L"program");

    KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), windowCard.Path(L"program"));
    ASSERT_TRUE(kamdrop.WaitForMainWindow());
    kamdrop.SetInput(windowCard.Path(L"in"));
    kamdrop.SetOutput(windowCard.Path(L"out"));
    kamdrop.SetLabel(L"");
    // Typed, so that the label box's own filter applies.
    for (wchar_t c : std::wstring(L"Summer trip")) kamdrop.TypeChar(2, c);
    ASSERT_EQ(kamdrop.FieldText(2), L"Summer_trip");
    kamdrop.ClickStartAndWait();
    std::set<std::wstring> windowFailures;
    for (const KamdropDriver::Row& row : kamdrop.Rows())
        if (row.Mark != 0) windowFailures.insert(row.Text.substr(windowCard.Path().size()));
    EXPECT_TRUE(kamdrop.Exit());

    const KamdropCmdResult result =
        RunKamdropCmd({consoleCard.Path(L"in"), consoleCard.Path(L"out"), L"Summer trip"});
    EXPECT_EQ(result.ExitStatus, 1u) << result.Errors;
    std::set<std::wstring> consoleFailures;
    for (const std::wstring& line : LinesStartingWith(result.Lines(), L"FAIL "))
        consoleFailures.insert(line.substr(5 + consoleCard.Path().size(), line.find(L" -> ") - 5 - consoleCard.Path().size()));

    EXPECT_EQ(DiskState(consoleCard), DiskState(windowCard));
    EXPECT_EQ(consoleFailures, windowFailures);
    EXPECT_EQ(windowFailures, std::set<std::wstring>{L"\\in\\IMG_0001.JPG"});
    EXPECT_TRUE(consoleCard.Exists(L"out\\2023-01-12_Summer_trip_02"));
}

// Each card is planned, then released: the plan changes nothing on disk and
// its lines are the run's lines, failures included (a name taken, in the same
// folder a name freed by a file moved before).
TEST(KamdropCmdTest, DryRunChangesNothingAndAnnouncesWhatTheRunThenDoes) {
    const struct {
        const wchar_t* label;
        bool sameFolder;
        DWORD status;
    } cases[] = {{L"Summer trip", false, 1}, {L"Summer trip", true, 0}, {L"Day", false, 0}};
    for (const auto& c : cases) {
        TempTree tree;
        MakeCard(tree);
        if (c.sameFolder) tree.MakeFile(L"in\\2023-01-11_Summer_trip_01.jpg", 2023, 1, 10);
        std::vector<std::wstring> arguments{tree.Path(L"in"), tree.Path(c.sameFolder ? L"in" : L"out"), c.label};
        if (c.sameFolder) arguments.push_back(L"--yes");
        const std::vector<std::wstring> before = DiskState(tree);
        arguments.push_back(L"--dry-run");
        const KamdropCmdResult plan = RunKamdropCmd(arguments);
        EXPECT_EQ(DiskState(tree), before) << c.label;
        arguments.pop_back();
        const KamdropCmdResult run = RunKamdropCmd(arguments);

        std::vector<std::wstring> planned = plan.Lines(), done = run.Lines();
        ASSERT_EQ(planned.size(), c.sameFolder ? 9u : 8u) << c.label;
        ASSERT_EQ(done.size(), planned.size()) << c.label;
        EXPECT_TRUE(planned.back().starts_with(L"Dry run: ")) << planned.back();
        planned.pop_back();
        done.pop_back();
        EXPECT_EQ(done, planned) << c.label;
        EXPECT_EQ(plan.ExitStatus, c.status) << c.label;
        EXPECT_EQ(run.ExitStatus, c.status) << c.label;
        EXPECT_NE(DiskState(tree), before) << c.label;
    }
}

// Every file of the tree, wherever it lies, with its content.
std::vector<std::wstring> WholeTree(const TempTree& tree) {
    std::vector<std::wstring> files;
    CollectFiles(tree, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}

// A wrong command line or a refused check moves nothing, leaves no file behind and
// says what is wrong; the arguments are all read first, whatever their order.
// Run in the tree, so that relative names resolve there.
TEST(KamdropCmdTest, ExitStatusesAndRefusalsThatMoveNothing) {
    TempTree tree;
    MakeCard(tree);
    tree.MakeDirectory(L"empty");
    tree.MakeDirectory(L"out\\inner");
    const std::wstring in = tree.Path(L"in"), out = tree.Path(L"out"), missing = tree.Path(L"missing");
    const std::wstring tooLong(51, L'x');
    const struct {
        std::vector<std::wstring> arguments;
        DWORD status;
        const wchar_t* firstLine;  // of standard error, or of standard output when the run goes on
        bool hold = false;         // a file of the card held open by another program
        std::wstring raw = {};     // the command line as typed, after the arguments
        bool hint = false;         // the hint at a quoted folder that ends in "\"
    } cases[] = {
        {{}, 2, L"INPUT, OUTPUT and LABEL are needed."},
        {{in, out, L"x", L"--force"}, 2, L"Unknown option: --force"},
        {{in, out, L"x", L"extra"}, 2, L"Too many arguments: extra"},
        {{in, out, L"x", L"--report"}, 2, L"--report needs a file name"},
        {{in, out, L"Trip", L"--report", L"--dry-run"}, 2, L"--report needs a file name"},
        {{L"--bogus", L"--help"}, 2, L"Unknown option: --bogus"},
        {{L"--help", L"--bogus"}, 2, L"Unknown option: --bogus"},
        {{in, out, L"x", L"--report", L"a.csv", L"--report=b.csv"}, 2, L"--report is given twice."},
        {{in, out, L"x", L"--dry-run", L"--dry-run"}, 2, L"--dry-run is given twice."},
        {{missing, out, L"x"}, 2, L"Invalid input directory."},
        {{in, missing, L""}, 2, L"Invalid output directory."},
        {{in, out, L""}, 2, L"Label must be specified."},
        {{in, out, tooLong}, 2, L"Label is longer than 50 characters."},
        {{in, out, L"a/b"}, 2, L"The label holds characters that no file name can hold: /"},
        {{in, out, L"a|b:c<d|"}, 2, L"The label holds characters that no file name can hold: | : <"},
        {{in, in, L"x"}, 2, L"The input directory is the same as the output directory."},
        {{L"in", in + L"\\", L"x"}, 2, L"The input directory is the same as the output directory."},
        {{L"in\\..\\IN", L".\\in", L"x"}, 2, L"The input directory is the same as the output directory."},
        {{in, out, L"x", L"--report", missing + L"\\r.csv"}, 2, L"The report file cannot be created: "},
        {{in, out, L"x", L"--report", out}, 2, L"The report file is a folder: "},
        {{in, out, L"x", L"--report", L"in\\r.csv"}, 2, L"The report file must not lie in the input directory"},
        {{in, out, L"x", L"--backup"}, 2, L"--backup needs a folder"},
        {{in, out, L"x", L"--backup", L"--dry-run"}, 2, L"--backup needs a folder"},
        {{in, out, L"x", L"--backup", L"b", L"--backup=c"}, 2, L"--backup is given twice."},
        {{in, out, L"x", L"--backup", missing}, 2, L"Invalid backup directory."},
        {{in, out, L"x", L"--backup", L"in"}, 2, L"The backup directory must be neither the input nor the output"},
        {{in, out, L"x", L"--backup", L".\\OUT\\"}, 2, L"The backup directory must be neither the input nor the output"},
        {{in, out, L"x", L"--backup", L"in\\sub"}, 2, L"The backup directory must be neither the input nor the output"},
        {{in, out, L"x", L"--backup", L"out\\inner\\..\\inner"}, 2,
         L"The backup directory must be neither the input nor the output"},
        {{}, 2, L"INPUT, OUTPUT and LABEL are needed.", false, L"\"" + in + L"\\\" \"" + out + L"\" x", true},
        {{in, out}, 2, L"The label holds characters that no file name can hold: \"", false, L"\"Trip\\\"", true},
        {{in, out, L"x"}, 3, L"Invalid argument to date encode.", true},
        {{in, out, L"x", L"--dry-run"}, 0, L"OK   "},
        {{tree.Path(L"empty"), out, L"x"}, 0, L"No files found."},
        {{L"--help"}, 0, L"Files the photos of a camera card"},
        {{L"/?"}, 0, L"Files the photos of a camera card"},
        {{L"-h", in}, 0, L"Files the photos of a camera card"},
    };
    const std::vector<std::wstring> before = WholeTree(tree);
    for (const auto& c : cases) {
        HANDLE holder = c.hold ? CreateFileW(tree.Path(L"in\\IMG_0004.JPG").c_str(), GENERIC_READ, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
        KamdropCmdOptions options;
        options.CurrentDirectory = tree.Path();
        options.RawArguments = c.raw;
        const KamdropCmdResult result = RunKamdropCmd(c.arguments, options);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        const std::string shown = result.ExitStatus == 0 ? result.Output : result.Errors;
        EXPECT_EQ(result.ExitStatus, c.status) << shown;
        EXPECT_TRUE(forms::Utf8ToWide(shown).starts_with(c.firstLine)) << shown;
        EXPECT_EQ(result.Errors.find("drop the final \\ of a quoted folder") != std::string::npos, c.hint) << shown;
        EXPECT_EQ(WholeTree(tree), before) << shown;
    }
    // Relative names are taken as full paths from the current directory.
    KamdropCmdOptions inTheTree;
    inTheTree.CurrentDirectory = tree.Path();
    const KamdropCmdResult relative = RunKamdropCmd({L"in", L"out\\", L"x", L"--dry-run"}, inTheTree);
    ASSERT_FALSE(relative.Lines().empty());
    EXPECT_TRUE(relative.Lines()[0].starts_with(L"OK   " + in + L"\\IMG_000")) << relative.Output;
    EXPECT_NE(relative.Lines()[0].find(L" -> " + out + L"\\2023-01-11_x_0"), std::wstring::npos) << relative.Output;

    EXPECT_EQ(RunKamdropCmd({in, out, L"x"}).ExitStatus, 0u);
    // After "--" an option's name is an argument like any other.
    const KamdropCmdResult afterDashes = RunKamdropCmd({in + L"\\sub", out, L"Summer trip", L"--", L"--report"});
    EXPECT_EQ(afterDashes.ExitStatus, 2u);
    EXPECT_TRUE(afterDashes.Errors.starts_with("Too many arguments: --report")) << afterDashes.Errors;
    EXPECT_EQ(RunKamdropCmd({in + L"\\sub", out, L"--", L"-dash"}).ExitStatus, 0u);
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-12_-dash_01.jpg"));
}

// The cases where a plan might promise what the run does not do: on an unchanged
// card the run gives exactly the dry run's lines, report rows and exit status,
// and the dry run changes nothing.
TEST(KamdropCmdTest, DryRunAndRunAgreeWhereTheyOnceDiffered) {
    const std::wstring longFolder(200, L'f');
    const struct {
        const char* what;
        std::function<void(const TempTree& tree, const TempTree& card)> make;
        bool fromCard;     // the input on another volume
        bool sameFolder;   // the output is the input (with --yes)
        const wchar_t* output;
        size_t failures;
    } cases[] = {
        {"a protected photo on another volume",
         [](const TempTree&, const TempTree& card) {
             card.MakeFile(L"IMG_1.JPG", 2023, 1, 11, 9, 0, 0, FILE_ATTRIBUTE_READONLY);
             card.MakeFile(L"IMG_2.JPG", 2023, 1, 11, 10);
         },
         true, false, L"out", 1},
        {"a file already under its new name",
         [](const TempTree& tree, const TempTree&) { tree.MakeFile(L"in\\2023-01-11_L_01.jpg", 2023, 1, 11, 9); },
         false, true, L"in", 0},
        {"a new name that differs in letter case alone",
         [](const TempTree& tree, const TempTree&) { tree.MakeFile(L"in\\2023-01-11_L_01.JPG", 2023, 1, 11, 9); },
         false, true, L"in", 0},
        {"an extension of 240 characters",
         [](const TempTree& tree, const TempTree&) {
             tree.MakeFile(L"in\\IMG." + std::wstring(240, L'x'), 2023, 1, 11, 9);
             tree.MakeFile(L"in\\IMG_2.JPG", 2023, 1, 11, 10);
         },
         false, false, L"out", 1},
        {"a new name past the path limit",
         [&](const TempTree& tree, const TempTree&) {
             tree.MakeDirectory(longFolder);
             tree.MakeFile(L"in\\IMG_1.JPG", 2023, 1, 11, 9);
         },
         false, false, longFolder.c_str(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree tree, card(L"Z:\\dev\\shm\\");
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        c.make(tree, card);
        const std::wstring input = c.fromCard ? card.Path() : tree.Path(L"in");
        std::vector<std::wstring> arguments{input, tree.Path(c.output), L"L", L"--report", tree.Path(L"r.csv")};
        if (c.sameFolder) arguments.push_back(L"--yes");
        const std::vector<std::wstring> before = WholeTree(tree), cardBefore = WholeTree(card);
        arguments.push_back(L"--dry-run");
        const KamdropCmdResult plan = RunKamdropCmd(arguments);
        std::string planned = WholeFile(tree.Path(L"r.csv"));
        DeleteFileW(tree.Path(L"r.csv").c_str());
        EXPECT_EQ(WholeTree(tree), before);
        EXPECT_EQ(WholeTree(card), cardBefore);
        arguments.pop_back();
        const KamdropCmdResult run = RunKamdropCmd(arguments);

        std::vector<std::wstring> plannedLines = plan.Lines(), doneLines = run.Lines();
        ASSERT_FALSE(plannedLines.empty());
        ASSERT_FALSE(doneLines.empty());
        plannedLines.pop_back();
        doneLines.pop_back();
        EXPECT_EQ(doneLines, plannedLines);
        EXPECT_EQ(LinesStartingWith(plannedLines, L"FAIL ").size(), c.failures);
        EXPECT_EQ(run.ExitStatus, plan.ExitStatus);
        EXPECT_EQ(plan.ExitStatus, c.failures ? 1u : 0u) << plan.Errors;
        for (auto [from, to] : {std::pair{"\"would move\"", "\"moved\""}, {"\"would fail\"", "\"failed\""}})
            for (size_t at; (at = planned.find(from)) != std::string::npos;) planned.replace(at, strlen(from), to);
        EXPECT_EQ(WholeFile(tree.Path(L"r.csv")), planned);
    }
}

// Standard output and standard error in one file ("> log 2>&1") stand in the
// order they were written: the lines of the files moved, then the error that
// ended the run, then the summary.
TEST(KamdropCmdTest, OutputAndErrorsInOneFileKeepTheirOrder) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    const int count = 2000;
    for (int i = 0; i < count; ++i)
        tree.MakeFile(L"in\\IMG_" + std::to_wstring(1000 + i) + L".JPG", 2023, 2, 1, 9, i / 60, i % 60 / 2 * 2);
    // Held once the run has begun: its move fails, and its date cannot be read.
    HANDLE holder = INVALID_HANDLE_VALUE;
    KamdropCmdOptions options;
    options.OnFirstLine = [&](HANDLE, DWORD) {
        holder = CreateFileW(tree.Path(L"in\\IMG_2999.JPG").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    options.ErrorsIntoOutput = true;
    const KamdropCmdResult result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Log"}, options);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(result.ExitStatus, 3u);
    const std::vector<std::wstring> lines = result.Lines();
    const auto error = std::find(lines.begin(), lines.end(), L"Invalid argument to date encode.");
    ASSERT_NE(error, lines.end()) << result.Output;
    const size_t moved = static_cast<size_t>(error - lines.begin());
    EXPECT_EQ(LinesStartingWith(lines, L"OK   ").size(), moved) << "every file's line before the error";
    ASSERT_EQ(error + 2, lines.end());
    EXPECT_TRUE(lines.back().starts_with(std::to_wstring(moved) + L" moved, 0 failed, ")) << lines.back();
}

TEST(KamdropCmdTest, GreekJapaneseAndEmojiNamesArriveAsUtf8ThroughAPipe) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeFile(L"in\\Ωμέγα.JPG", 2023, 1, 11, 9);
    tree.MakeFile(L"in\\写真.JPG", 2023, 1, 11, 10);
    tree.MakeFile(L"in\\😀.JPG", 2023, 1, 11, 11);
    const KamdropCmdResult result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Ταξίδι 旅行 🏖"});
    EXPECT_EQ(result.ExitStatus, 0u) << result.Errors;
    const std::wstring out = tree.Path(L"out") + L"\\";
    EXPECT_EQ(result.Lines(), (std::vector<std::wstring>{
                                  L"OK   " + tree.Path(L"in\\Ωμέγα.JPG") + L" -> " + out + L"2023-01-11_Ταξίδι_旅行_🏖_01.jpg",
                                  L"OK   " + tree.Path(L"in\\写真.JPG") + L" -> " + out + L"2023-01-11_Ταξίδι_旅行_🏖_02.jpg",
                                  L"OK   " + tree.Path(L"in\\😀.JPG") + L" -> " + out + L"2023-01-11_Ταξίδι_旅行_🏖_03.jpg",
                                  result.Lines().back()}));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Ταξίδι_旅行_🏖_03.jpg"));
}

// On a console the program writes UTF-16 itself (no code page in between):
// the names stand on the screen as they are.
TEST(KamdropCmdTest, GreekAndJapaneseNamesStandOnAConsoleAsTheyAre) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeFile(L"in\\Ωμέγα.JPG", 2023, 1, 11, 9);
    tree.MakeFile(L"in\\写真.JPG", 2023, 1, 11, 10);
    KamdropCmdOptions onTheScreen;
    onTheScreen.StandardOutput = screen;
    const KamdropCmdResult result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Ταξίδι"}, onTheScreen);
    EXPECT_EQ(result.ExitStatus, 0u) << result.Errors;
    EXPECT_TRUE(result.Output.empty());
    CONSOLE_SCREEN_BUFFER_INFO info;
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    std::wstring shown(static_cast<size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()), COORD{0, 0}, &read);
    CloseHandle(screen);
    shown.resize(read);
    EXPECT_NE(shown.find(L"Ωμέγα.JPG -> "), std::wstring::npos);
    EXPECT_NE(shown.find(L"2023-01-11_Ταξίδι_01.jpg"), std::wstring::npos);
    EXPECT_NE(shown.find(L"写真.JPG -> "), std::wstring::npos);
    EXPECT_NE(shown.find(L"2 moved, 0 failed"), std::wstring::npos);
}

TEST(KamdropCmdTest, ReportHoldsARowPerFileAndIsWrittenWhenTheRunEndsEarly) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeFile(L"in\\a,b.JPG", 2023, 1, 11, 9);
    tree.MakeFile(L"in\\Ω.JPG", 2023, 1, 11, 10);
    tree.MakeFile(L"out\\2023-01-11_Day_02.jpg", 2023, 1, 1);
    const std::string in = forms::WideToUtf8(tree.Path(L"in\\")), out = forms::WideToUtf8(tree.Path(L"out\\"));
    const std::string header =
        "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\",\"date\",\"date from\"\r\n";
    const std::wstring report = tree.Path(L"r.csv");
    // The system's own text for the name taken, as the line gives it in brackets at its end.
    const std::string taken = forms::WideToUtf8(SystemText(ERROR_ALREADY_EXISTS));
    ASSERT_FALSE(taken.empty());
    auto expectReason = [&](const std::wstring& line) {
        EXPECT_TRUE(line.ends_with(L" (" + SystemText(ERROR_ALREADY_EXISTS) + L")")) << forms::WideToUtf8(line);
    };

    // A name with a comma; a failure with the system's text.
    KamdropCmdResult result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Day", L"--report", report});
    EXPECT_EQ(result.ExitStatus, 1u);
    ASSERT_EQ(result.Lines().size(), 3u);
    EXPECT_EQ(tree.Content(L"r.csv"),
              header + "\"" + in + "a,b.JPG\",\"" + out +
                  "2023-01-11_Day_01.jpg\",\"moved\",\"\",\"2023-01-11 09:00:00\",\"file\"\r\n" + "\"" + in + "Ω.JPG\",\"" +
                  out + "2023-01-11_Day_02.jpg\",\"failed\",\"" + taken + "\",\"2023-01-11 10:00:00\",\"file\"\r\n");
    expectReason(result.Lines()[1]);

    // A plan; a refused run, whose refusal is the report's one row, with the quote in it doubled.
    result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Day", L"--dry-run", L"--report=" + report});
    EXPECT_EQ(result.ExitStatus, 1u);
    ASSERT_EQ(result.Lines().size(), 2u);
    EXPECT_EQ(tree.Content(L"r.csv"), header + "\"" + in + "Ω.JPG\",\"" + out + "2023-01-11_Day_01.jpg\",\"would fail\",\"" +
                                          taken + "\",\"2023-01-11 10:00:00\",\"file\"\r\n");
    expectReason(result.Lines()[0]);
    result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out\\"), L"Say \"hi\"", L"--report", report});
    EXPECT_EQ(result.ExitStatus, 2u);
    EXPECT_EQ(tree.Content(L"r.csv"), header + "\"" + in.substr(0, in.size() - 1) + "\",\"" +
                                          out.substr(0, out.size() - 1) + "\",\"refused\",\"The label holds characters "
                                          "that no file name can hold: \"\"\",\"\",\"\"\r\n");

    // A run that ends on a date it cannot read still replaces the report, and
    // leaves no temporary file beside it.
    HANDLE holder = CreateFileW(tree.Path(L"in\\Ω.JPG").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    tree.MakeFile(L"in\\b.JPG", 2023, 1, 11, 11);
    result = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Day", L"--report", report});
    CloseHandle(holder);
    EXPECT_EQ(result.ExitStatus, 3u);
    EXPECT_EQ(tree.Content(L"r.csv"), header + "\"\",\"\",\"error\",\"Invalid argument to date encode.\",\"\",\"\"\r\n");
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(tree.Path(L"r.csv*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::wstring(entry.cFileName), L"r.csv");
    EXPECT_FALSE(FindNextFileW(find, &entry));
    FindClose(find);
}

// Ctrl+C and Ctrl+Break go to the programs of a console. This process takes
// a console of its own (Wine gives a test process one on which no event can
// be generated) and starts the program in a process group of its own, which
// the event is sent to once the program has moved its first file: Ctrl+Break
// (Windows sends no Ctrl+C to a group), or where that is not implemented
// (Wine), Ctrl+C, which Wine does send to a group. The run stops after the
// file in hand: every file is either where it was or moved whole, and the
// lines, the summary and the report tell exactly which.
// The report replaces only a report: never a photo, filed this run or before. A name this run
// would give a photo is refused too, before anything moves.
TEST(KamdropCmdTest, ReportReplacesOnlyAReportAndNeverTakesAPhotosName) {
    const struct {
        const char* what;
        const wchar_t* reportName;
        const char* before;  // what the file holds before the run; nullptr: there is none
        DWORD status;
    } cases[] = {
        {"the first target's name", L"out\\2023-01-11_Trip_01.jpg", nullptr, 2},
        {"an older photo in OUTPUT", L"out\\2022-07-01_Trip_01.jpg", "an older photo", 2},
        {"yesterday's report", L"out\\yesterday.csv",
         "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\"\r\n\"a\",\"b\",\"moved\",\"\"\r\n", 0},
        {"a new name", L"out\\today.csv", nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree tree;
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9);
        tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 11, 10);
        const std::wstring report = tree.Path(c.reportName);
        if (c.before) {
            HANDLE file = CreateFileW(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, c.before, static_cast<DWORD>(strlen(c.before)), &written, nullptr);
            CloseHandle(file);
        }
        const std::vector<std::wstring> before = DiskState(tree);
        const KamdropCmdResult result =
            RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Trip", L"--report", report});
        EXPECT_EQ(result.ExitStatus, c.status) << result.Errors;
        if (c.status == 2) {
            EXPECT_EQ(DiskState(tree), before) << "nothing moved, nothing written";
            EXPECT_NE(result.Errors.find(forms::WideToUtf8(report)), std::string::npos) << result.Errors;
        } else {
            EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Trip_02.jpg"));
            EXPECT_TRUE(WholeFile(report).starts_with("\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\","));
            EXPECT_NE(WholeFile(report).find("2023-01-11_Trip_02.jpg\",\"moved\""), std::string::npos);
        }
    }
}

// Where every file would fail, the dry run says so with the run's reasons: an output folder on a
// volume that takes no file, and one with too little room for the copies. The run then gives the
// very same lines.
TEST(KamdropCmdTest, DryRunFindsAFullOrReadOnlyOutputAsTheRunDoes) {
    struct Volume {
        const char* variable;
        DWORD reason;
    };
    for (const Volume volume : {Volume{"KAMDROP_READONLY_VOLUME", ERROR_SUCCESS},
                                Volume{"KAMDROP_SMALL_VOLUME", ERROR_DISK_FULL}}) {
        SCOPED_TRACE(volume.variable);
        const char* directory = getenv(volume.variable);
        if (!directory || !*directory) {
            std::cout << "no such volume on this machine: " << volume.variable << std::endl;
            continue;
        }
        TempTree card(L"Z:\\dev\\shm\\");
        std::wstring output = L"Z:" + forms::Utf8ToWide(directory);
        std::replace(output.begin(), output.end(), L'/', L'\\');
        // Three photos of 400 KiB: the third finds no room on a volume of 1 MiB.
        for (int i = 1; i <= 3; ++i) {
            const std::wstring photo = card.MakeFile(L"IMG_000" + std::to_wstring(i) + L".JPG", 2023, 1, 11, 8 + i);
            HANDLE file = CreateFileW(photo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            SetFilePointer(file, 400 * 1024, nullptr, FILE_BEGIN);
            SetEndOfFile(file);
            CloseHandle(file);
            SetLastWriteTime(photo, LocalToFileTime(2023, 1, 11, 8 + i, 0, 0));
        }
        const KamdropCmdResult plan = RunKamdropCmd({card.Path(), output, L"Trip", L"--dry-run"});
        const KamdropCmdResult run = RunKamdropCmd({card.Path(), output, L"Trip"});
        EXPECT_EQ(plan.ExitStatus, 1u) << plan.Errors;
        EXPECT_EQ(run.ExitStatus, 1u) << run.Errors;
        std::vector<std::wstring> planned = plan.Lines(), done = run.Lines();
        ASSERT_EQ(planned.size(), 4u) << plan.Output;
        ASSERT_EQ(done.size(), 4u) << run.Output;
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(planned[i], done[i]);
        const std::vector<std::wstring> failed = LinesStartingWith(done, L"FAIL ");
        if (volume.reason) {
            ASSERT_EQ(failed.size(), 1u) << run.Output;
            EXPECT_TRUE(failed[0].ends_with(L" (" + SystemText(volume.reason) + L")")) << failed[0];
            for (const wchar_t* name : {L"2023-01-11_Trip_01.jpg", L"2023-01-11_Trip_02.jpg"})
                DeleteFileW((output + L"\\" + name).c_str());
        } else {
            EXPECT_EQ(failed.size(), 3u) << run.Output;
        }
        EXPECT_TRUE(card.Exists(L"IMG_0003.JPG")) << "what failed stays on the card";
    }
}

// --date=photo: a photo is dated by the moment it was taken, as its own record tells it, however
// its file's date was changed on the way; the record's fraction of a second orders the shots of
// one second; a file without a record keeps its file date. The dry run shows those names, and the
// report tells the date used and where it came from.
TEST(KamdropCmdTest, PhotoDatesNameFilesByTheMomentTheyWereTaken) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    const auto photo = [&](const wchar_t* name, const char* taken, const char* fraction, int hour) {
        std::vector<media_test::ExifTag> tags{{0x9003, taken}};
        if (fraction) tags.push_back({0x9291, fraction});
        const std::vector<std::uint8_t> bytes =
            media_test::MakeJpeg({media_test::MakeTiff(media::ByteOrder::LittleEndian, tags)});
        const std::wstring path = tree.Path(std::wstring(L"in\\") + name);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        // Copied on a later day, the files' dates say nothing of the shots.
        SetLastWriteTime(path, LocalToFileTime(2023, 2, 1, hour, 0, 0));
    };
    photo(L"IMG_0001.JPG", "2023:01:11 23:59:59", nullptr, 9);
    photo(L"IMG_0002.JPG", "2023:01:12 08:00:00", "5", 8);
    photo(L"IMG_0003.JPG", "2023:01:12 08:00:00", "25", 10);
    tree.MakeFile(L"in\\NOTES.TXT", 2023, 1, 10);
    const std::vector<std::wstring> expected = {
        L"OK   " + tree.Path(L"in\\NOTES.TXT") + L" -> " + tree.Path(L"out\\2023-01-10_T_01.txt"),
        L"OK   " + tree.Path(L"in\\IMG_0001.JPG") + L" -> " + tree.Path(L"out\\2023-01-11_T_01.jpg"),
        L"OK   " + tree.Path(L"in\\IMG_0003.JPG") + L" -> " + tree.Path(L"out\\2023-01-12_T_01.jpg"),
        L"OK   " + tree.Path(L"in\\IMG_0002.JPG") + L" -> " + tree.Path(L"out\\2023-01-12_T_02.jpg"),
    };
    const KamdropCmdResult plan =
        RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"T", L"--date=photo", L"--dry-run"});
    std::vector<std::wstring> lines = plan.Lines();
    ASSERT_EQ(lines.size(), 5u) << plan.Output;
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.end() - 1), expected);
    const KamdropCmdResult run = RunKamdropCmd(
        {tree.Path(L"in"), tree.Path(L"out"), L"T", L"--date=photo", L"--report", tree.Path(L"r.csv")});
    EXPECT_EQ(run.ExitStatus, 0u) << run.Errors;
    lines = run.Lines();
    ASSERT_EQ(lines.size(), 5u) << run.Output;
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.end() - 1), expected);
    const std::string report = WholeFile(tree.Path(L"r.csv"));
    EXPECT_TRUE(report.starts_with(
        "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\",\"date\",\"date from\"\r\n"));
    EXPECT_NE(report.find("\"moved\",\"\",\"2023-01-12 08:00:00.250\",\"photo\"\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\"moved\",\"\",\"2023-01-10 12:00:00\",\"file\"\r\n"), std::string::npos) << report;

    // By the files' own dates, the default, the same card is named as before.
    for (const wchar_t* name : {L"2023-01-10_T_01.txt", L"2023-01-11_T_01.jpg", L"2023-01-12_T_01.jpg",
                                L"2023-01-12_T_02.jpg"})
        DeleteFileW(tree.Path(std::wstring(L"out\\") + name).c_str());
    photo(L"IMG_0001.JPG", "2023:01:11 23:59:59", nullptr, 9);
    photo(L"IMG_0002.JPG", "2023:01:12 08:00:00", "5", 8);
    photo(L"IMG_0003.JPG", "2023:01:12 08:00:00", "25", 10);
    tree.MakeFile(L"in\\NOTES.TXT", 2023, 1, 10);
    const KamdropCmdResult byFile = RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"T", L"--dry-run"});
    lines = byFile.Lines();
    ASSERT_EQ(lines.size(), 5u) << byFile.Output;
    EXPECT_EQ(lines[1], L"OK   " + tree.Path(L"in\\IMG_0002.JPG") + L" -> " + tree.Path(L"out\\2023-02-01_T_01.jpg"));
    // A wrong value is refused before anything moves.
    EXPECT_EQ(RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"T", L"--date=exif"}).ExitStatus, 2u);
}

// With --backup every line names both new names and the report has a backup column; the dry
// run gives the run's lines, a backup name taken by another file included, whose photo stays on
// the card with a reason that names the backup. What is filed is whole in both folders.
TEST(KamdropCmdTest, BackupRunFilesTwoCopiesAndNamesBothAsItsDryRunSaid) {
    TempTree card(L"Z:\\dev\\shm\\");
    TempTree tree;
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"backup");
    for (int i = 1; i <= 3; ++i) card.MakeFile(L"IMG_000" + std::to_wstring(i) + L".JPG", 2023, 1, 11, 8 + i);
    tree.MakeFile(L"backup\\2023-01-11_Trip_02.jpg", 2022, 1, 1);
    const std::wstring out = tree.Path(L"out"), backup = tree.Path(L"backup"), report = tree.Path(L"r.csv");
    const KamdropCmdResult plan = RunKamdropCmd({card.Path(), out, L"Trip", L"--backup", backup, L"--dry-run"});
    const KamdropCmdResult run = RunKamdropCmd({card.Path(), out, L"Trip", L"--backup", backup, L"--report", report});
    EXPECT_EQ(plan.ExitStatus, 1u) << plan.Errors;
    EXPECT_EQ(run.ExitStatus, 1u) << run.Errors;
    std::vector<std::wstring> planned = plan.Lines(), done = run.Lines();
    ASSERT_EQ(planned.size(), 4u) << plan.Output;
    ASSERT_EQ(done.size(), 4u) << run.Output;
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(planned[i], done[i]);
    const std::wstring name1 = L"2023-01-11_Trip_01.jpg", name2 = L"2023-01-11_Trip_02.jpg";
    EXPECT_EQ(done[0], L"OK   " + card.Path(L"IMG_0001.JPG") + L" -> " + out + L"\\" + name1 + L" + " + backup + L"\\" +
                           name1);
    EXPECT_EQ(done[1], L"FAIL " + card.Path(L"IMG_0002.JPG") + L" -> " + out + L"\\" + name2 + L" + " + backup +
                           L"\\" + name2 + L" (backup: " + SystemText(ERROR_ALREADY_EXISTS) + L")");
    EXPECT_EQ(tree.Content(L"out\\2023-01-11_Trip_01.jpg"), "IMG_0001.JPG");
    EXPECT_EQ(tree.Content(L"backup\\2023-01-11_Trip_01.jpg"), "IMG_0001.JPG");
    EXPECT_EQ(tree.Content(L"backup\\2023-01-11_Trip_03.jpg"), "IMG_0003.JPG");
    EXPECT_EQ(tree.Content(L"backup\\2023-01-11_Trip_02.jpg"), "backup\\2023-01-11_Trip_02.jpg");
    EXPECT_FALSE(tree.Exists(L"out\\2023-01-11_Trip_02.jpg"));
    EXPECT_EQ(card.Content(L"IMG_0002.JPG"), "IMG_0002.JPG");
    EXPECT_FALSE(card.Exists(L"IMG_0001.JPG"));
    const std::string rows = WholeFile(report);
    EXPECT_TRUE(rows.starts_with(
        "\xEF\xBB\xBF\"source\",\"target\",\"result\",\"reason\",\"date\",\"date from\",\"backup\"\r\n"))
        << rows;
    EXPECT_NE(rows.find(",\"moved\",\"\",\"2023-01-11 09:00:00\",\"file\",\"" + forms::WideToUtf8(backup + L"\\" + name1) +
                        "\"\r\n"),
              std::string::npos)
        << rows;
    // A report with the backup column is a report: the next run may replace it.
    EXPECT_EQ(RunKamdropCmd({card.Path(), out, L"Trip", L"--dry-run", L"--report", report}).ExitStatus, 1u);
}

// Before the first move, the output's and the backup's volumes are asked for room for all the run
// copies: a backup volume too small refuses the run and its dry run alike, and nothing moves.
TEST(KamdropCmdTest, BackupVolumeTooSmallForTheRunRefusesItBeforeAnythingMoves) {
    const char* directory = getenv("KAMDROP_SMALL_VOLUME");
    if (!directory || !*directory) GTEST_SKIP() << "no small volume on this machine";
    std::wstring backup = L"Z:" + forms::Utf8ToWide(directory);
    std::replace(backup.begin(), backup.end(), L'/', L'\\');
    TempTree card(L"Z:\\dev\\shm\\");
    TempTree tree;
    tree.MakeDirectory(L"out");
    // Three photos of 400 KiB: together more than the 1 MiB volume holds.
    for (int i = 1; i <= 3; ++i) {
        const std::wstring photo = card.MakeFile(L"IMG_000" + std::to_wstring(i) + L".JPG", 2023, 1, 11, 8 + i);
        HANDLE file = CreateFileW(photo.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(file, 400 * 1024, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
        CloseHandle(file);
    }
    for (const bool dryRun : {true, false}) {
        std::vector<std::wstring> arguments{card.Path(), tree.Path(L"out"), L"Trip", L"--backup", backup};
        if (dryRun) arguments.push_back(L"--dry-run");
        const KamdropCmdResult result = RunKamdropCmd(arguments);
        EXPECT_EQ(result.ExitStatus, 2u) << result.Output << result.Errors;
        EXPECT_TRUE(result.Errors.starts_with("There is not enough space on the backup volume")) << result.Errors;
    }
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(card.Exists(L"IMG_000" + std::to_wstring(i) + L".JPG"));
    EXPECT_FALSE(tree.Exists(L"out\\2023-01-11_Trip_01.jpg"));
}

TEST(KamdropCmdTest, CtrlCStopsTheRunBetweenFiles) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    const int count = 1000;
    for (int i = 0; i < count; ++i) tree.MakeFile(L"in\\IMG_" + std::to_wstring(1000 + i) + L".JPG", 2023, 2, 1, 9, i / 60, i % 60 / 2 * 2);
    bool sent = false;
    KamdropCmdOptions options;
    options.OwnProcessGroup = true;
    options.OnFirstLine = [&](HANDLE, DWORD group) {
        sent = GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group) || GenerateConsoleCtrlEvent(CTRL_C_EVENT, group);
    };
    const KamdropCmdResult result =
        RunKamdropCmd({tree.Path(L"in"), tree.Path(L"out"), L"Cut", L"--report", tree.Path(L"r.csv")}, options);
    ASSERT_TRUE(sent);
    EXPECT_EQ(result.ExitStatus, 130u) << result.Errors;
    const std::vector<std::wstring> lines = result.Lines();
    const std::vector<std::wstring> moved = LinesStartingWith(lines, L"OK   ");
    ASSERT_FALSE(lines.empty());
    EXPECT_GT(moved.size(), 0u);
    EXPECT_LT(moved.size(), static_cast<size_t>(count));
    EXPECT_EQ(moved.size() + 1, lines.size());
    EXPECT_TRUE(lines.back().starts_with(L"Stopped. " + std::to_wstring(moved.size()) + L" moved, 0 failed, " +
                                          std::to_wstring(count - moved.size()) + L" not reached"))
        << lines.back();
    size_t inputLeft = 0, outputNow = 0;
    for (const std::wstring& file : DiskState(tree)) (file.starts_with(L"in\\") ? inputLeft : outputNow) += 1;
    EXPECT_EQ(outputNow, moved.size());
    EXPECT_EQ(inputLeft, count - moved.size());
    const std::string report = WholeFile(tree.Path(L"r.csv"));
    // The header, a row per moved file, and the row that says the run stopped.
    EXPECT_EQ(static_cast<size_t>(std::count(report.begin(), report.end(), '\n')), moved.size() + 2);
    EXPECT_NE(report.find("\"stopped\""), std::string::npos) << report;
    size_t start = 0;
    for (size_t n = 0; n < moved.size() && start != std::string::npos; ++n) start = report.find("\"moved\"", start + 1);
    EXPECT_NE(start, std::string::npos);
}

std::wstring VersionString(const std::vector<BYTE>& record, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
    return VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value
               ? std::wstring(value)
               : std::wstring();
}

std::vector<BYTE> VersionRecord(const std::wstring& path) {
    DWORD handle = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &handle));
    if (record.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()))
        record.clear();
    return record;
}

// The console program's version record carries the window program's numbers.
TEST(KamdropCmdTest, CarriesTheWindowProgramsVersion) {
    const std::wstring console = HostPathToWindows(KAMDROP_CMD_EXE), window = HostPathToWindows(KAMDROP_EXE);

    const std::vector<BYTE> consoleRecord = VersionRecord(console), windowRecord = VersionRecord(window);
    ASSERT_FALSE(consoleRecord.empty());
    ASSERT_FALSE(windowRecord.empty());
    EXPECT_EQ(VersionString(consoleRecord, L"FileDescription"), L"Kamdrop command line");
    EXPECT_EQ(VersionString(consoleRecord, L"OriginalFilename"), L"KamdropCmd.exe");
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName", L"CompanyName"})
        EXPECT_EQ(VersionString(consoleRecord, name), VersionString(windowRecord, name)) << name;
}

}  // namespace
