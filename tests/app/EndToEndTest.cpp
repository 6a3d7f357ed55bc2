// Starts Kamdrop.exe as its own process and files three photos through its window.

#include <gtest/gtest.h>

#include "KamdropDriver.h"
#include "TempTree.h"

namespace {

TEST(EndToEndTest, ReleaseThroughTheRealWindowMovesTheFilesAndExitEndsTheProgram) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"program");
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11, 9, 0, 0);
    tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 11, 10, 0, 0);
    tree.MakeFile(L"in\\MVI_0003.MOV", 2023, 1, 12, 8, 0, 0);

    KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
    ASSERT_TRUE(kamdrop.WaitForMainWindow());
    kamdrop.SetInput(tree.Path(L"in"));
    kamdrop.SetOutput(tree.Path(L"out"));
    kamdrop.SetLabel(L"Holiday");
    kamdrop.ClickStartAndWait();

    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_01.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-11_Holiday_02.jpg"));
    EXPECT_TRUE(tree.Exists(L"out\\2023-01-12_Holiday_01.mov"));
    EXPECT_FALSE(tree.Exists(L"in\\IMG_0001.JPG"));
    EXPECT_EQ(kamdrop.RowCount(), 3);
    EXPECT_TRUE(kamdrop.StartEnabled());
    EXPECT_EQ(kamdrop.StatusText(), L"");
    EXPECT_TRUE(kamdrop.Exit());
}

TEST(EndToEndTest, ClosingDuringARunLetsTheRunFinishFirst) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    tree.MakeDirectory(L"program");
    const int count = 40;
    for (int i = 0; i < count; ++i) tree.MakeFile(L"in\\IMG_" + std::to_wstring(100 + i) + L".JPG", 2023, 4, 1, 9, i, 0);

    KamdropDriver kamdrop(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
    ASSERT_TRUE(kamdrop.WaitForMainWindow());
    kamdrop.SetInput(tree.Path(L"in"));
    kamdrop.SetOutput(tree.Path(L"out"));
    kamdrop.SetLabel(L"Spring");
    // The close arrives while the run processes its messages after the first entry.
    kamdrop.PostStartClick();
    ASSERT_TRUE(kamdrop.Close());

    for (int i = 1; i <= count; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"out\\2023-04-01_Spring_%02d.jpg", i);
        EXPECT_TRUE(tree.Exists(name)) << name;
    }
}

}  // namespace
