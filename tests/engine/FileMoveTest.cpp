// Moving one file to its new name: a rename on one volume, a verified copy across volumes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/FileMove.h"
#include "TempTree.h"

namespace {

using CopyBlockHookCase = engine::CopyBlockHook;
// The target of the case in hand, for a hook (a plain function) to take.
std::wstring gTarget;

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

class FileMoveTest : public ::testing::Test {
protected:
    void TearDown() override { engine::BeforeCopyBlockWritten = nullptr; }
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
            HANDLE holder = held ? CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
            engine::BeforeCopyBlockWritten = [](char*, DWORD) { ADD_FAILURE() << "copied onto a taken name"; };
            EXPECT_NE(engine::MoveToTarget(source, target), static_cast<DWORD>(ERROR_SUCCESS));
            engine::BeforeCopyBlockWritten = nullptr;
            if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
            EXPECT_EQ(disk.Content(L"target.jpg"), "target.jpg");
            EXPECT_TRUE(from->Exists(L"source.jpg"));
        }
        DeleteFileW(target.c_str());
    }
    EXPECT_EQ(Names(disk.Path()), std::vector<std::wstring>{L"source.jpg"}) << "no temporary file is left";
}

// Across volumes the copy is whole, keeps its date and attributes, and the source goes;
// on one volume the file is renamed. Large enough for several blocks and a short last one.
TEST_F(FileMoveTest, MovedFileIsWholeUnderItsNewNameWithItsDate) {
    for (TempTree* from : {&disk, &card}) {
        SCOPED_TRACE(from == &card ? "across volumes" : "one volume");
        const std::wstring source = from->Path(L"big.jpg");
        std::string bytes(3 * 1024 * 1024 + 517, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 12));
        HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        SetLastWriteTime(source, LocalToFileTime(2023, 5, 4, 10, 11, 12));
        SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_HIDDEN);
        const FILETIME before = LastWrite(source);

        const std::wstring target = disk.Path(from == &card ? L"moved-across.jpg" : L"moved-here.jpg");
        ASSERT_EQ(engine::MoveToTarget(source, target), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(from->Exists(L"big.jpg"));
        EXPECT_TRUE(disk.Content(target.substr(disk.Path().size() + 1)) == bytes);
        const FILETIME after = LastWrite(target);
        EXPECT_EQ(CompareFileTime(&before, &after), 0);
        EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    }
    EXPECT_EQ(Names(disk.Path()).size(), 2u) << "no temporary file is left";
}

// What reaches the disk differs from what was read (one byte spoiled on its way),
// or the name is taken while the copy is made: the photo stays on the card, nothing
// stands under its new name or a temporary one.
TEST_F(FileMoveTest, CopyThatFailsLeavesThePhotoOnTheCardAndNothingBehind) {
    const struct {
        const char* what;
        CopyBlockHookCase hook;
        DWORD error;
    } cases[] = {
        {"a spoiled byte", [](char* block, DWORD) { block[7] ^= 0x20; }, ERROR_CRC},
        {"the name taken meanwhile",
         [](char*, DWORD) {
             HANDLE other = CreateFileW(gTarget.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
             if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
         },
         0},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const std::wstring source = card.MakeFile(L"IMG_0001.JPG", 2023, 5, 4);
        gTarget = disk.Path(L"2023-05-04_Cut_01.jpg");
        engine::BeforeCopyBlockWritten = each.hook;
        const DWORD error = engine::MoveToTarget(source, gTarget);
        engine::BeforeCopyBlockWritten = nullptr;
        EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
        if (each.error) {
            EXPECT_EQ(error, each.error);
        }
        EXPECT_EQ(card.Content(L"IMG_0001.JPG"), "IMG_0001.JPG");
        const std::vector<std::wstring> left = Names(disk.Path());
        for (const std::wstring& name : left)
            EXPECT_FALSE(engine::IsTemporaryCopyName(name)) << testing::PrintToString(name);
        if (each.error == ERROR_CRC) {
            EXPECT_TRUE(left.empty());
        }
        DeleteFileW(gTarget.c_str());
        DeleteFileW(source.c_str());
    }
}

TEST(CopyChecksumTest, IsTheCastagnoliCrcInOneCallOrInPieces) {
    const char text[] = "123456789";
    EXPECT_EQ(engine::Crc32c(0, text, 9), 0xE3069283u);
    EXPECT_EQ(engine::Crc32c(engine::Crc32c(0, text, 4), text + 4, 5), 0xE3069283u);
    // Long enough for the wide steps, with a tail: 32 bytes of zeros have a published value too.
    const char zeros[32] = {};
    EXPECT_EQ(engine::Crc32c(0, zeros, 32), 0x8A9136AAu);
    EXPECT_TRUE(engine::IsTemporaryCopyName(L"~kd-03fa9c.part"));
    for (const wchar_t* name : {L"2023-05-04_Cut_01.jpg", L"~kd-03fa9c.jpg", L"~kd-03fz9c.part", L"kd-03fa9c.part"})
        EXPECT_FALSE(engine::IsTemporaryCopyName(name)) << testing::PrintToString(std::wstring(name));
}

}  // namespace
