// Starts Kamdrop.exe as its own process and files three photos through its window.

#include <gtest/gtest.h>

#include <memory>

#include "KamdropDriver.h"
#include "TempTree.h"
#include "tests/state/StateTestSupport.h"

namespace {

// Input, output and program folders; the program is started once the photos are in place.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        tree.MakeDirectory(L"program");
    }
    // Starts Kamdrop.exe and fills in the three fields; false when its window did not appear.
    bool StartKamdrop(const std::wstring& label) {
        kamdrop = std::make_unique<KamdropDriver>(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
        if (!kamdrop->WaitForMainWindow()) return false;
        kamdrop->SetInput(tree.Path(L"in"));
        kamdrop->SetOutput(tree.Path(L"out"));
        kamdrop->SetLabel(label);
        return true;
    }

    TempTree tree;
    std::unique_ptr<KamdropDriver> kamdrop;
};

TEST_F(EndToEndTest, ReleaseThroughTheRealWindowMovesTheFilesAndExitEndsTheProgram) {
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 11, 10, 0, 0);
    tree.MakeFile(L"in\\MVI_0003.MOV", 2023, 1, 12, 8, 0, 0);

    ASSERT_TRUE(StartKamdrop(L"Holiday"));
    kamdrop->ClickStartAndWait();

    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_01.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_02.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-12_Holiday_01.mov"));
    EXPECT_FALSE(tree.Exists(L"in\\IMG_0001.JPG"));
    EXPECT_EQ(kamdrop->RowCount(), 3);
    EXPECT_TRUE(kamdrop->StartEnabled());
    EXPECT_EQ(kamdrop->StatusText(), L"");
    EXPECT_TRUE(kamdrop->Exit());
}

TEST_F(EndToEndTest, ClosingDuringARunLetsTheRunFinishFirst) {
    const int count = 40;
    for (int i = 0; i < count; ++i) tree.MakeFile(L"in\\IMG_" + std::to_wstring(100 + i) + L".JPG", 2023, 4, 1, 9, i, 0);

    ASSERT_TRUE(StartKamdrop(L"Spring"));
    // The close arrives while the run processes its messages after the first entry.
    kamdrop->PostStartClick();
    ASSERT_TRUE(kamdrop->Close());

    for (int i = 1; i <= count; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"out\\2023-04-01_Spring_%02d.jpg", i);
        EXPECT_TRUE(tree.Exists(name)) << name;
    }
}

TEST_F(EndToEndTest, FolderChosenWithItsButtonClearedHistoryAndFilteredLabelReachTheSettingsFile) {
    using Lines = std::vector<std::wstring>;
    ASSERT_TRUE(StartKamdrop(L""));
    const std::wstring in = tree.Path(L"in"), out = tree.Path(L"out"), ini = tree.Path(L"program\\Kamdrop.ini");

    // The output field names a folder, so the browser starts there and OK chooses it.
    kamdrop->PostBrowseClick(1);
    HWND browser = kamdrop->WaitForFolderBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_FALSE(IsWindowEnabled(kamdrop->MainWindow()));
    ASSERT_TRUE(kamdrop->PressDialogButton(browser, IDOK));
    EXPECT_EQ(kamdrop->FieldText(1), out);
    EXPECT_EQ(kamdrop->FieldRows(1), Lines{out});
    // Saved at once, while the program still runs.
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), out);

    // Leaving the input field for the button entered its text into its history; Clear history empties both.
    EXPECT_EQ(kamdrop->FieldRows(0), Lines{in});
    ASSERT_TRUE(kamdrop->ChooseFromPopupMenu(0, L'c'));
    EXPECT_EQ(kamdrop->FieldText(0), L"");
    EXPECT_TRUE(kamdrop->FieldRows(0).empty());
    EXPECT_EQ(kamdrop->FieldRows(1), Lines{out});

    for (wchar_t c : {L'A', L' ', L'*', L'b'}) kamdrop->TypeChar(2, c);
    EXPECT_EQ(kamdrop->FieldText(2), L"A__b");

    ASSERT_TRUE(kamdrop->Exit());
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirSource.Text"), L"");
    EXPECT_TRUE(SectionLines(ini, L"Kamdrop.OvcHistoryComboBoxDirSource.Items").empty());
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxDirTarget.Text"), out);
    EXPECT_EQ(SectionLines(ini, L"Kamdrop.OvcHistoryComboBoxDirTarget.Items"), (Lines{L"Count=1", L"Item0=" + out}));
    EXPECT_EQ(RawValue(ini, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"A__b");
}

}  // namespace
