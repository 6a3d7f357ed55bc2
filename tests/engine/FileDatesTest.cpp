// A file's date and the order of the files by it.

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "engine/FileDates.h"
#include "engine/FileListing.h"
#include "forms/Handles.h"
#include "library/DirectoryReader.h"
#include "ReferenceQuickSort.h"
#include "TempTree.h"
#include "runtime/DirectoryListing.h"

using namespace forms;
using namespace engine;

namespace {

std::map<std::wstring, TDateTime> gDatesByName;
int CompareDatesByName(TStrings& list, int index1, int index2) {
    TDateTime date1 = gDatesByName.at(list.Get(index1)), date2 = gDatesByName.at(list.Get(index2));
    return date1 < date2 ? -1 : date1 > date2 ? 1 : 0;
}

TEST(FileDateSortTest, DatesReadOnceGiveTheComparatorsOrderForEveryInputTiesIncluded) {
    std::mt19937 random(20230111);
    for (int trial = 0; trial < 4000; ++trial) {
        // Mostly small lists with many equal dates, now and then a long one.
        const int count = trial % 100 == 0 ? 300 + static_cast<int>(random() % 700) : static_cast<int>(random() % 40);
        const int distinct = 1 + static_cast<int>(random() % (trial % 3 == 0 ? 3 : count + 1));
        TStringList expected;
        std::vector<std::wstring> sorted;
        std::vector<TDateTime> dates;
        gDatesByName.clear();
        for (int i = 0; i < count; ++i) {
            std::wstring name = L"f" + std::to_wstring(i);
            TDateTime date = 45000.0 + static_cast<double>(random() % distinct) / 8.0;
            gDatesByName[name] = date;
            expected.Add(name);
            sorted.push_back(name);
            dates.push_back(date);
        }
        if (count >= 2) ReferenceQuickSort(expected, 0, count - 1, CompareDatesByName);
        SortByFileDates(sorted, dates);
        ASSERT_EQ(sorted, expected.ToVector()) << "trial " << trial << ", " << count << " entries";
        for (int i = 0; i < count; ++i) ASSERT_EQ(dates[i], gDatesByName.at(sorted[i]));
    }
}


TEST(FileDateTest, DatesOutsideTheDosRangeCannotBeRead) {
    TempTree tree;
    std::wstring old = tree.MakeFile(L"old.jpg", 2023, 1, 1);
    SetLastWriteTime(old, LocalToFileTime(1975, 6, 1, 12, 0, 0));
    EXPECT_THROW(GetFileDate(old), EConvertError);
    SetLastWriteTime(old, LocalToFileTime(2110, 6, 1, 12, 0, 0));
    EXPECT_THROW(GetFileDate(old), EConvertError);
    SetLastWriteTime(old, LocalToFileTime(2107, 12, 31, 23, 59, 58));
    EXPECT_EQ(FormatDateIso(GetFileDate(old)), L"2107-12-31");
    EXPECT_THROW(GetFileDate(tree.Path(L"missing.jpg")), EConvertError);
}

// A run reads its dates through one reader: each must be GetFileDate's, and
// fail where GetFileDate fails, whatever happened to the file since the listing.
TEST(FileDateTest, TheReaderOfARunReadsAndFailsAsGetFileDate) {
    TempTree tree;
    tree.MakeFile(L"a.jpg", 2023, 1, 11, 23, 59, 58);
    tree.MakeFile(L"b.jpg", 2023, 1, 12, 0, 0, 0);
    SetLastWriteTime(tree.MakeFile(L"old.jpg", 2023, 1, 1), LocalToFileTime(1975, 6, 1, 12, 0, 0));
    tree.MakeFile(L"held.jpg", 2023, 2, 1);
    tree.MakeFile(L"gone.jpg", 2023, 2, 2);
    FileDateReader reader;
    // The reader lists the folder now, before any of the changes below.
    EXPECT_EQ(FormatDateIso(reader.Read(tree.Path(L"a.jpg"))), L"2023-01-11");
    forms::FileHandle held(CreateFileW(tree.Path(L"held.jpg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                       nullptr));
    ASSERT_TRUE(held);
    DeleteFileW(tree.Path(L"gone.jpg").c_str());
    tree.MakeFile(L"new.jpg", 2023, 3, 1);
    struct Case {
        const wchar_t* name;
        const wchar_t* day;  // nullptr: the date error
    };
    const Case cases[] = {{L"a.jpg", L"2023-01-11"}, {L"b.jpg", L"2023-01-12"}, {L"old.jpg", nullptr},
                          {L"held.jpg", nullptr},    {L"gone.jpg", nullptr},     {L"new.jpg", L"2023-03-01"},
                          {L"missing.jpg", nullptr}};
    for (const Case& c : cases) {
        const std::wstring path = tree.Path(c.name);
        if (c.day) {
            EXPECT_EQ(FormatDateIso(reader.Read(path)), c.day) << c.name;
            EXPECT_EQ(reader.Read(path), GetFileDate(path)) << c.name;
        } else {
            EXPECT_THROW(reader.Read(path), EConvertError) << c.name;
            EXPECT_THROW(GetFileDate(path), EConvertError) << c.name;
        }
    }
}

struct FoundFiles {
    std::vector<std::wstring> Files;
    void Found(TObject*, const std::wstring& FileName) { Files.push_back(FileName); }
};

// The window lists with its directory reader, the command-line program with
// the engine: the same files in the same order, or the sort's ties would differ.
TEST(FileListingTest, ListsWhatTheDirectoryReaderReportsInItsOrder) {
    TempTree tree;
    for (const wchar_t* name : {L"b.JPG", L"a.jpg", L"Z", L"_x.png", L"10.jpg", L"2.jpg", L"\u03a9.jpg"})
        tree.MakeFile(name, 2023, 1, 1);
    tree.MakeFile(L"hidden.jpg", 2023, 1, 1, 12, 0, 0, FILE_ATTRIBUTE_HIDDEN);
    tree.MakeDirectory(L"sub");
    tree.MakeFile(L"sub\\inner.jpg", 2023, 1, 1);
    FoundFiles collector;
    library::TDirReader reader;
    reader.SetDirectory(tree.Path());
    reader.SetFilemask(L"*.*");
    reader.SetOnFileFound(Bind<&FoundFiles::Found>(&collector));
    reader.Start();
    EXPECT_EQ(collector.Files.size(), 8u);
    EXPECT_EQ(ListFiles(tree.Path()), collector.Files);
    EXPECT_EQ(ListFiles(tree.Path() + L"\\"), collector.Files);
    // A folder gone is no empty card.
    EXPECT_THROW(ListFiles(tree.Path(L"missing")), forms::EListingError);
}

}  // namespace
