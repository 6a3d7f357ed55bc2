// The main window keeps its three fields with their histories, and its place, between runs.

#include <gtest/gtest.h>

#include <cstdlib>

#include "KamdropDriver.h"
#include "KamdropTestForm.h"
#include "TempTree.h"
#include "state/SettingsPlace.h"
#include "tests/state/StateTestSupport.h"

using namespace forms;

namespace {

using Lines = std::vector<std::wstring>;

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

std::wstring Text(const RECT& rect) {
    return Format(L"%d,%d,%d,%d", static_cast<int>(rect.left), static_cast<int>(rect.top),
                  static_cast<int>(rect.right), static_cast<int>(rect.bottom));
}

int ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    int ppi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return ppi;
}

TEST(MainWindowSettingsTest, RestartBringsBackHistoriesTextsAndPlaceBeforeTheWindowShows) {
    TempFolder folder;
    const std::wstring file = folder / L"Kamdrop.ini";
    auto* form = new TTestKamdropForm(Application, file);
    EXPECT_FALSE(FileExists(file));
    form->Show();
    form->OvcHistoryComboBoxDirSource->Items().Assign(TStringList{L"E:\\DCIM\\", L"F:\\DCIM\\"});
    form->OvcHistoryComboBoxDirSource->SetText(L"E:\\DCIM");
    form->OvcHistoryComboBoxDirTarget->Items().Add(L"C:\\Photos");
    form->OvcHistoryComboBoxDirTarget->SetText(L" C:\\Photos ");
    form->OvcHistoryComboBoxLabel->SetText(L"Holiday");
    SetWindowPos(form->Handle(), nullptr, 40, 60, 500, 320, SWP_NOZORDER);
    const RECT placed = WindowRect(form->Handle());
    form->Close();
    EXPECT_FALSE(form->Visible());
    forms::Free(form);

    EXPECT_EQ(RawValue(file, L"Kamdrop", L"OvcHistoryComboBoxDirSource.Text"), L"E:\\DCIM");
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), L"C:\\Photos");
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Holiday");
    EXPECT_EQ(SectionLines(file, L"Kamdrop.OvcHistoryComboBoxDirSource.Items"),
              (Lines{L"Count=2", L"Item0=E:\\DCIM\\", L"Item1=F:\\DCIM\\"}));
    EXPECT_EQ(SectionLines(file, L"Kamdrop.OvcHistoryComboBoxDirTarget.Items"),
              (Lines{L"Count=1", L"Item0=C:\\Photos"}));
    EXPECT_TRUE(SectionLines(file, L"Kamdrop.OvcHistoryComboBoxLabel.Items").empty());
    EXPECT_EQ(SectionLines(file, L"GUI"),
              (Lines{L"Flags=0", L"ShowCmd=1", L"NormalPos=" + Text(placed),
                     L"PixelsPerInch=" + std::to_wstring(ScreenPixelsPerInch()), L"Color=-16777211"}));

    auto* again = new TTestKamdropForm(Application, file);
    EXPECT_FALSE(IsWindowVisible(again->Handle()));
    EXPECT_EQ(again->OvcHistoryComboBoxDirSource->Items().ToVector(), (Lines{L"E:\\DCIM\\", L"F:\\DCIM\\"}));
    EXPECT_EQ(again->OvcHistoryComboBoxDirSource->Text(), L"E:\\DCIM");
    EXPECT_EQ(again->OvcHistoryComboBoxDirTarget->Items().ToVector(), Lines{L"C:\\Photos"});
    EXPECT_EQ(again->OvcHistoryComboBoxDirTarget->Text(), L"C:\\Photos");
    EXPECT_EQ(again->OvcHistoryComboBoxLabel->Items().Count(), 0);
    EXPECT_EQ(again->OvcHistoryComboBoxLabel->Text(), L"Holiday");
    EXPECT_EQ(Text(WindowRect(again->Handle())), Text(placed));
    again->Show();
    EXPECT_EQ(Text(WindowRect(again->Handle())), Text(placed));
    forms::Free(again);
}

TEST(MainWindowSettingsTest, ProgramKeepsFieldsAndPlaceInKamdropIniBesideItself) {
    TempTree tree;
    const std::wstring program = tree.MakeDirectory(L"program");
    const std::wstring ini = program + L"\\Kamdrop.ini";
    const Lines texts{L"E:\\DCIM", L"C:\\Photos", L"Holiday"};
    RECT placed{};
    {
        KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), program);
        ASSERT_TRUE(kamdrop.WaitForMainWindow());
        EXPECT_FALSE(FileExists(ini));
        kamdrop.SetInput(texts[0]);
        kamdrop.SetOutput(texts[1]);
        kamdrop.SetLabel(texts[2]);
        // Leaving a field enters its text into its history: the focus goes from the input field on.
        for (int i = 0; i < 3; ++i) kamdrop.PressTab();
        EXPECT_TRUE(WaitUntil([&] { return kamdrop.FieldRows(2).size() == 1; }, 10000));
        SetWindowPos(kamdrop.MainWindow(), nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        placed = WindowRect(kamdrop.MainWindow());
        ASSERT_TRUE(kamdrop.Close());
    }

    const wchar_t* const boxes[] = {L"OvcHistoryComboBoxDirSource", L"OvcHistoryComboBoxDirTarget",
                                    L"OvcHistoryComboBoxLabel"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(RawValue(ini, L"Kamdrop", std::wstring(boxes[i]) + L".Text"), texts[i]);
        EXPECT_EQ(SectionLines(ini, L"Kamdrop." + std::wstring(boxes[i]) + L".Items"),
                  (Lines{L"Count=1", L"Item0=" + texts[i]}));
    }
    EXPECT_EQ(RawValue(ini, L"GUI", L"NormalPos"), Text(placed));

    KamdropDriver again(HostPathToWindows(KAMDROP_EXE), program);
    ASSERT_TRUE(again.WaitForMainWindow());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(again.FieldText(i), texts[i]);
        EXPECT_EQ(again.FieldRows(i), Lines{texts[i]});
    }
    EXPECT_EQ(Text(WindowRect(again.MainWindow())), Text(placed));
    EXPECT_TRUE(again.Close());
}

// The user's own settings of the program, in their application data folder, gone.
void RemoveUsersSettings(const std::wstring& folder) {
    for (const wchar_t* name : {L"Kamdrop.ini", L"Kamdrop.ini.start"}) {
        const std::wstring file = folder + L"\\" + name;
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
        DeleteFileW(file.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

// As under Program Files for a standard user: the program's folder takes no file (a read-only volume
// that ReadOnlyProgramFolder.sh mounts around this test), and an administrator left a Kamdrop.ini there.
TEST(ReadOnlyProgramFolderTest, SettingsGoToTheUsersApplicationDataStartingFromTheFileBesideTheProgram) {
    const char* mounted = std::getenv("KAMDROP_READ_ONLY_PROGRAM");
    if (!mounted || !*mounted) GTEST_SKIP() << "run by CTest's ReadOnlyProgramFolder.Settings, with its folder";
    const std::wstring program = HostPathToWindows(mounted);
    if (!FileExists(program + L"\\Kamdrop.exe")) GTEST_SKIP() << "this machine could not mount the folder";
    const std::wstring besideProgram = program + L"\\Kamdrop.ini";
    const std::wstring usersFolder = state::UserApplicationDataFolder() + L"\\Kamdrop";
    const std::wstring usersFile = usersFolder + L"\\Kamdrop.ini";
    RemoveUsersSettings(usersFolder);

    {
        KamdropDriver kamdrop(program + L"\\Kamdrop.exe", program);
        ASSERT_TRUE(kamdrop.WaitForMainWindow());
        EXPECT_EQ(kamdrop.FieldText(2), L"Administrator");
        kamdrop.SetLabel(L"Holiday");
        // Every save succeeds: no error box holds the program open.
        EXPECT_TRUE(kamdrop.Close());
    }
    EXPECT_EQ(RawValue(usersFile, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Holiday");
    EXPECT_NE(RawValue(usersFile, L"GUI", L"NormalPos"), L"<none>");
    EXPECT_EQ(RawValue(besideProgram, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Administrator");

    // The next start reads the user's file; the one beside the program was only the start.
    {
        KamdropDriver again(program + L"\\Kamdrop.exe", program);
        ASSERT_TRUE(again.WaitForMainWindow());
        EXPECT_EQ(again.FieldText(2), L"Holiday");
        EXPECT_TRUE(again.Close());
    }
    RemoveUsersSettings(usersFolder);
}

// The backup folder (off by default) and its history are saved in Kamdrop.ini as soon as they
// change, and a restart brings them back, with the idle status bar telling where the backup goes.
TEST(MainWindowSettingsTest, BackupFolderAndItsHistoryAreKeptAndOffByDefault) {
    TempFolder folder;
    const std::wstring file = folder / L"Kamdrop.ini";
    auto* form = new TTestKamdropForm(Application, file);
    EXPECT_EQ(form->BackupDirectory(), L"");
    EXPECT_EQ(form->OptionsMenuItem->Count(), 2) << "no history yet";
    EXPECT_TRUE(form->NoBackupMenuItem->Checked());
    EXPECT_FALSE(form->BackupFolderMenuItem->Checked());
    form->SetBackupDirectory(L"F:\\Backup");
    form->SetBackupDirectory(L"G:\\Second");
    form->SetBackupDirectory(L"f:\\backup");
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"BackupDirectory"), L"f:\\backup");
    EXPECT_EQ(SectionLines(file, L"Kamdrop.BackupDirectory.Items"),
              (Lines{L"Count=2", L"Item0=f:\\backup", L"Item1=G:\\Second"}));
    forms::Free(form);

    auto* again = new TTestKamdropForm(Application, file);
    EXPECT_EQ(again->BackupDirectory(), L"f:\\backup");
    EXPECT_EQ(again->StatusBar->SimpleText(), L"Backup: f:\\backup");
    EXPECT_TRUE(again->BackupFolderMenuItem->Checked());
    EXPECT_FALSE(again->NoBackupMenuItem->Checked());
    // Below the two commands: a separator and the history, the latest first.
    ASSERT_EQ(again->OptionsMenuItem->Count(), 5);
    EXPECT_EQ(again->OptionsMenuItem->Items(3)->Caption(), L"&1 f:\\backup");
    EXPECT_EQ(again->OptionsMenuItem->Items(4)->Caption(), L"&2 G:\\Second");
    again->OptionsMenuItem->Items(4)->Click();
    EXPECT_EQ(again->BackupDirectory(), L"G:\\Second");
    again->HandleNoBackupClick(again);
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"BackupDirectory"), L"");
    EXPECT_EQ(again->StatusBar->SimpleText(), L"");
    EXPECT_EQ(SectionLines(file, L"Kamdrop.BackupDirectory.Items"),
              (Lines{L"Count=2", L"Item0=G:\\Second", L"Item1=f:\\backup"}));
    forms::Free(again);
}

}  // namespace
