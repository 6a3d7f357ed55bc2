// Moving one file to its new name.

#include <gtest/gtest.h>

#include "engine/FileMove.h"
#include "TempTree.h"

namespace {

// A move that fails before it looks at the target (the source is held) never
// deletes a file that was there under the target's name.
TEST(FileMoveTest, FailedMoveLeavesAnExistingTargetAlone) {
    TempTree tree;
    std::wstring source = tree.MakeFile(L"source.jpg", 2023, 1, 1);
    std::wstring target = tree.MakeFile(L"target.jpg", 2023, 1, 2);
    for (bool held : {false, true}) {
        HANDLE holder = held ? CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        EXPECT_NE(engine::MoveToTarget(source, target), static_cast<DWORD>(ERROR_SUCCESS)) << held;
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(tree.Content(L"target.jpg"), "target.jpg") << held;
        EXPECT_TRUE(tree.Exists(L"source.jpg")) << held;
    }
}

}  // namespace
