// Moving one file to its new name: a rename on one volume, a verified copy across volumes.

#include <gtest/gtest.h>

#include <algorithm>
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
