// Starts Kamdrop.exe as its own process and files three photos through its window.

#include <gtest/gtest.h>

#include <memory>

#include "KamdropDriver.h"
#include "TempTree.h"

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

}  // namespace
