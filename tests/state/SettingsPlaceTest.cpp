#include "state/SettingsPlace.h"

#include <gtest/gtest.h>

#include "StateTestSupport.h"

using state::FolderAcceptsFiles;
using state::SettingsFilePlace;

namespace {

// Names in a folder, "." and ".." left out.
std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    forms::FindHandle find(FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find.Get(), &entry));
    return names;
}

// A program's folder and a user's application data folder, both temporary.
class SettingsPlaceTest : public testing::Test {
protected:
    SettingsPlaceTest() : FProgramFolder(FProgram / L""), FUserFolder(FUser / L"") {}
    ~SettingsPlaceTest() override {
        // The folder made for the settings, with what it holds.
        const std::wstring made = FUserFolder + L"Kamdrop\\";
        for (const std::wstring& name : Entries(made)) {
            WritePrivateProfileStringW(nullptr, nullptr, nullptr, (made + name).c_str());
            SetFileAttributesW((made + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW((made + name).c_str());
        }
        RemoveDirectoryW(made.c_str());
        SetFileAttributesW(BesideProgram().c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    std::wstring BesideProgram() const { return FProgramFolder + L"Kamdrop.ini"; }
    std::wstring UsersFile() const { return FUserFolder + L"Kamdrop\\Kamdrop.ini"; }

    // Where the settings go when the program's folder cannot be written.
    std::wstring PlaceWhereProgramFolderIsClosed() {
        // As the shell gives it: without a trailing "\".
        return SettingsFilePlace(FProgramFolder, L"Kamdrop.ini", false,
                                 [this] { return FUserFolder.substr(0, FUserFolder.size() - 1); });
    }

    TempFolder FProgram;
    TempFolder FUser;
    std::wstring FProgramFolder;
    std::wstring FUserFolder;
};

TEST_F(SettingsPlaceTest, AWritableFolderIsFoundSoWithoutALeftoverAndAMissingOneIsNot) {
    EXPECT_TRUE(FolderAcceptsFiles(FProgramFolder));
    EXPECT_TRUE(Entries(FProgramFolder).empty());
    EXPECT_FALSE(FolderAcceptsFiles(FProgramFolder + L"gone\\"));
    EXPECT_TRUE(Entries(FProgramFolder).empty());
}

TEST_F(SettingsPlaceTest, BesideAProgramWhoseFolderCanBeWrittenTheUserFolderIsNotEvenAsked) {
    bool asked = false;
    EXPECT_EQ(SettingsFilePlace(FProgramFolder, L"Kamdrop.ini", true,
                                [&] {
                                    asked = true;
                                    return FUserFolder;
                                }),
              BesideProgram());
    EXPECT_FALSE(asked);
    EXPECT_TRUE(Entries(FUserFolder).empty());
}

TEST_F(SettingsPlaceTest, ClosedProgramFolderPutsTheSettingsInAFolderOfTheirOwnUnderTheUsersFolder) {
    const std::wstring file = PlaceWhereProgramFolderIsClosed();
    EXPECT_EQ(file, UsersFile());
    // The folder is there for the first save; the file follows with it.
    EXPECT_EQ(GetFileAttributesW((FUserFolder + L"Kamdrop").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(WritePrivateProfileStringW(L"GUI", L"Flags", L"0", file.c_str()));
    EXPECT_EQ(RawValue(file, L"GUI", L"Flags"), L"0");
    EXPECT_FALSE(FileExists(BesideProgram()));
    // Also a user folder given with its "\".
    EXPECT_EQ(SettingsFilePlace(FProgramFolder, L"Kamdrop.ini", false, [this] { return FUserFolder; }), file);
}

TEST_F(SettingsPlaceTest, ReadOnlyFileBesideTheProgramIsTheStartOnceAndNeverAgain) {
    WriteRaw(BesideProgram(), L"Kamdrop", L"OvcHistoryComboBoxLabel.Text", L"Holiday");
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, BesideProgram().c_str());
    SetFileAttributesW(BesideProgram().c_str(), FILE_ATTRIBUTE_READONLY);

    const std::wstring file = PlaceWhereProgramFolderIsClosed();
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Holiday");
    // The copy is the user's to write, whatever the original's attributes; no temporary file stays.
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Entries(FUserFolder + L"Kamdrop\\"), std::vector<std::wstring>{L"Kamdrop.ini"});

    // What the user saves later stays theirs: the file beside the program is not taken again.
    WriteRaw(file, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text", L"Summer");
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    EXPECT_EQ(PlaceWhereProgramFolderIsClosed(), file);
    EXPECT_EQ(RawValue(file, L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Summer");
    EXPECT_EQ(RawValue(BesideProgram(), L"Kamdrop", L"OvcHistoryComboBoxLabel.Text"), L"Holiday");
}

TEST_F(SettingsPlaceTest, WithoutAUserFolderTheFileStaysBesideTheProgram) {
    EXPECT_EQ(SettingsFilePlace(FProgramFolder, L"Kamdrop.ini", false, [] { return std::wstring(); }),
              BesideProgram());
}

TEST(UserApplicationDataFolderTest, IsAnExistingFolderOfTheUser) {
    const std::wstring folder = state::UserApplicationDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
