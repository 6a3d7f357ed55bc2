#include "state/IniFileStore.h"

#include <gtest/gtest.h>

#include <optional>

#include "StateTestSupport.h"

using state::EEncodingError;
using state::EIniFileException;
using state::TOvcIniFileStore;

namespace {

// An open store over one file of a temporary folder.
class IniStoreTest : public testing::Test {
protected:
    IniStoreTest() : FFile(FFolder / L"Settings.ini"), FStore(nullptr) { FStore.SetIniFileName(FFile); }

    TempFolder FFolder;
    std::wstring FFile;
    TOvcIniFileStore FStore;
};

TEST_F(IniStoreTest, FirstRunReadsDefaultsAndCreatesNoFileBeforeTheFirstWrite) {
    FStore.Open();
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Text", L"fallback"), L"fallback");
    EXPECT_TRUE(FStore.ReadBoolean(L"Kamdrop", L"Flag", true));
    EXPECT_EQ(FStore.ReadInteger(L"GUI", L"Flags", -3), -3);
    FStore.EraseSection(L"Kamdrop.Box.Items");
    FStore.Close();
    EXPECT_FALSE(FileExists(FFile));

    FStore.Open();
    FStore.WriteInteger(L"GUI", L"Flags", -3);
    FStore.WriteBoolean(L"GUI", L"Flag", true);
    FStore.Close();
    EXPECT_EQ(RawValue(FFile, L"GUI", L"Flags"), L"-3");
    EXPECT_EQ(RawValue(FFile, L"GUI", L"Flag"), L"1");
}

TEST(IniStoreNameTest, CompletesTheFileName) {
    struct Case {
        std::wstring iniFileName;
        std::wstring completed;
    };
    const Case cases[] = {
        {L"", L"state_tests.INI"},
        {L"Settings", L"Settings.INI"},
        {L"Run.ini", L"Run.ini"},
        {L"C:\\Data\\Run.ini", L"C:\\Data\\Run.ini"},
        // A dot anywhere, the directory included, counts as an extension.
        {L"C:\\my.dir\\Settings", L"C:\\my.dir\\Settings"},
    };
    for (const Case& c : cases) {
        TOvcIniFileStore store(nullptr);
        store.SetIniFileName(c.iniFileName);
        EXPECT_EQ(store.IniFileName(), c.completed) << "IniFileName " << forms::WideToUtf8(c.iniFileName);
    }
}

TEST(IniStoreNameTest, UseExeDirPutsTheFileBesideTheExecutable) {
    struct Case {
        std::wstring iniFileName;
        bool useExeDir;
        std::wstring opened;
    };
    const std::wstring exeDirectory = ExeDirectory();
    const Case cases[] = {
        {L"C:\\Data\\Run.ini", true, exeDirectory + L"Run.ini"},
        {L"", true, exeDirectory + L"state_tests.INI"},
        {L"Settings", true, exeDirectory + L"Settings.INI"},
        // Without it the name reaches the profile functions as it is.
        {L"C:\\Data\\Run.ini", false, L"C:\\Data\\Run.ini"},
        {L"Settings", false, L"Settings.INI"},
    };
    for (const Case& c : cases) {
        TOvcIniFileStore store(nullptr);
        store.SetIniFileName(c.iniFileName);
        store.SetUseExeDir(c.useExeDir);
        store.Open();
        ASSERT_NE(store.IniFile(), nullptr);
        EXPECT_EQ(store.IniFile()->FileName(), c.opened) << "IniFileName " << forms::WideToUtf8(c.iniFileName);
        store.Close();
    }

    // And the file really lies there.
    const std::wstring besideExe = exeDirectory + L"StoreTestBesideExe.ini";
    TOvcIniFileStore store(nullptr);
    store.SetIniFileName(L"Z:\\nowhere\\StoreTestBesideExe.ini");
    store.SetUseExeDir(true);
    store.Open();
    store.WriteString(L"S", L"K", L"here");
    store.Close();
    EXPECT_EQ(RawValue(besideExe, L"S", L"K"), L"here");
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, besideExe.c_str());
    DeleteFileW(besideExe.c_str());
}

TEST_F(IniStoreTest, TextsReadBackExactlyAsWritten) {
    struct Case {
        std::wstring value;
        std::wstring stored;
    };
    const Case cases[] = {
        {L"", L""},
        {L"C:\\Photos\\Holiday 2023", L"C:\\Photos\\Holiday 2023"},
        // In the ANSI code page: written as they are.
        {L"A+B", L"A+B"},
        {L"~!\\", L"~!\\"},
        {L"caf\u00E9 \u20AC", L"caf\u00E9 \u20AC"},
        // Not in it (or only as a best-fit stand-in): coded.
        {L"\u03A9", L"UTF7-coded:+A6k-"},
        {L"\u0101", L"UTF7-coded:+AQE-"},
        {L"\u03A9 A+B ~!\\", L"UTF7-coded:+A6k- A+-B +AH4AIQBc-"},
        // A plain text that begins like a coded one is coded too, else it would come back decoded.
        {L"UTF7-coded:abc", L"UTF7-coded:UTF7-coded:abc"},
        {L"UTF7-coded:+A6k-", L"UTF7-coded:UTF7-coded:+-A6k-"},
        {L"UTF7-coded:", L"UTF7-coded:UTF7-coded:"},
    };
    FStore.Open();
    int key = 0;
    for (const Case& c : cases) {
        std::wstring item = L"Item" + std::to_wstring(key++);
        FStore.WriteString(L"Texts", item, c.value);
        EXPECT_EQ(RawValue(FFile, L"Texts", item), c.stored) << forms::WideToUtf8(c.value);
        EXPECT_EQ(FStore.ReadString(L"Texts", item, L"<none>"), c.value) << forms::WideToUtf8(c.value);
    }
    FStore.Close();
}

TEST_F(IniStoreTest, FileOfTheEarlierFormReadsAsBefore) {
    // Written before plain texts with the prefix were coded; the file is in the ANSI code page.
    WriteFileBytes(FFile,
                   "[Kamdrop]\r\n"
                   "Greek=UTF7-coded:+A6k-\r\n"
                   "Mixed=UTF7-coded:+A6k- A+-B +AH4AIQBc-\r\n"
                   "Prefixed=UTF7-coded:abc\r\n"
                   "Plain=caf\xE9\r\n"
                   "Empty=UTF7-coded:\r\n");
    FStore.Open();
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Greek", L""), L"\u03A9");
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Mixed", L""), L"\u03A9 A+B ~!\\");
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Prefixed", L""), L"abc");
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Plain", L""), L"caf\u00E9");
    // A stored value equal to the default comes back as it is.
    EXPECT_EQ(FStore.ReadString(L"Kamdrop", L"Greek", L"UTF7-coded:+A6k-"), L"UTF7-coded:+A6k-");
    try {
        FStore.ReadString(L"Kamdrop", L"Empty", L"");
        ADD_FAILURE() << "a coded value that decodes to nothing must fail";
    } catch (const EEncodingError& error) {
        EXPECT_EQ(error.Message(), L"No mapping for the Unicode character exists in the target multi-byte code page");
    }
    FStore.Close();
}

TEST(IntegerReadingTest, AcceptsDecimalAndHexadecimalWithinThe32BitRange) {
    struct Case {
        std::wstring text;
        std::optional<int32_t> value;
    };
    const Case cases[] = {
        {L"0", 0},
        {L"12", 12},
        {L"+12", 12},
        {L" -7", -7},
        {L"   007", 7},
        {L"$1F", 31},
        {L"x1f", 31},
        {L"X1F", 31},
        {L"0x1F", 31},
        {L"0X1f", 31},
        {L"-$10", -16},
        {L"2147483647", 2147483647},
        {L"-2147483648", INT32_MIN},
        {L"$7FFFFFFF", 2147483647},
        {L"2147483648", std::nullopt},
        {L"-2147483649", std::nullopt},
        {L"$80000000", std::nullopt},
        {L"99999999999999999999999", std::nullopt},
        {L"", std::nullopt},
        {L"   ", std::nullopt},
        {L"+", std::nullopt},
        {L"-", std::nullopt},
        {L"$", std::nullopt},
        {L"0x", std::nullopt},
        {L"12x", std::nullopt},
        {L"1 2", std::nullopt},
        {L"12 ", std::nullopt},
        {L"\t5", std::nullopt},
        {L"1.5", std::nullopt},
        {L"--1", std::nullopt},
        {L"0x1G", std::nullopt},
        {L"yes", std::nullopt},
    };
    for (const Case& c : cases) {
        int32_t value = 99;
        bool read = state::TryReadInteger(c.text, value);
        EXPECT_EQ(read, c.value.has_value()) << "\"" << forms::WideToUtf8(c.text) << "\"";
        if (read && c.value) {
            EXPECT_EQ(value, *c.value) << "\"" << forms::WideToUtf8(c.text) << "\"";
        }
    }
}

TEST_F(IniStoreTest, ReadsBooleansAndIntegersOverOddValues) {
    struct Case {
        std::wstring stored;  // "<none>": the item is missing
        int32_t integer;      // ReadInteger with the default 42
        bool boolean;         // ReadBoolean with the default true
    };
    const Case cases[] = {
        {L"<none>", 42, true}, {L"", 42, false},   {L"10", 10, true},  {L"1", 1, true},
        {L"0", 0, false},      {L"yes", 42, false}, {L"12x", 42, true}, {L"$1F", 31, false},
        {L"-0x10", -16, false}, {L"true", 42, false},
    };
    FStore.Open();
    int key = 0;
    for (const Case& c : cases) {
        std::wstring item = L"Item" + std::to_wstring(key++);
        if (c.stored != L"<none>") WriteRaw(FFile, L"Values", item, c.stored);
        EXPECT_EQ(FStore.ReadInteger(L"Values", item, 42), c.integer) << forms::WideToUtf8(c.stored);
        EXPECT_EQ(FStore.ReadBoolean(L"Values", item, true), c.boolean) << forms::WideToUtf8(c.stored);
    }
    FStore.Close();
}

TEST_F(IniStoreTest, RefusedWriteReportsTheFileName) {
    const std::wstring unreachable = FFolder / L"missing\\Settings.ini";
    FStore.SetIniFileName(unreachable);
    FStore.Open();
    const std::wstring expected = L"Unable to write to " + unreachable;
    try {
        FStore.WriteString(L"Kamdrop", L"Text", L"abc");
        ADD_FAILURE() << "the write must fail";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), expected);
    }
    try {
        FStore.EraseSection(L"Kamdrop");
        ADD_FAILURE() << "the erase must fail";
    } catch (const EIniFileException& error) {
        EXPECT_EQ(error.Message(), expected);
    }
    // Reading stays quiet.
    EXPECT_EQ(FStore.ReadInteger(L"Kamdrop", L"Count", 5), 5);
    FStore.Close();
}

// Records each CloseStorage and whether a profile file was open then.
class RecordingStore : public TOvcIniFileStore {
public:
    using TOvcIniFileStore::TOvcIniFileStore;
    std::vector<bool> closes;

protected:
    void CloseStorage() override {
        closes.push_back(IniFile() != nullptr);
        TOvcIniFileStore::CloseStorage();
    }
};

TEST(IniStoreBracketTest, NestedOpenResolvesTheNameOnceAndClosesAtTheLastClose) {
    TempFolder folder;
    RecordingStore store(nullptr);
    store.SetIniFileName(folder / L"First.ini");
    store.Open();
    store.SetIniFileName(folder / L"Second.ini");
    store.Open();
    EXPECT_EQ(store.RefCount(), 2);
    store.WriteString(L"S", L"A", L"1");
    store.Close();
    EXPECT_EQ(store.RefCount(), 1);
    EXPECT_TRUE(store.closes.empty());
    ASSERT_NE(store.IniFile(), nullptr);
    EXPECT_EQ(store.IniFile()->FileName(), folder / L"First.ini");
    store.WriteString(L"S", L"B", L"2");
    store.Close();
    EXPECT_EQ(store.RefCount(), 0);
    EXPECT_EQ(store.closes, std::vector<bool>{true});
    EXPECT_EQ(store.IniFile(), nullptr);
    EXPECT_EQ(RawValue(folder / L"First.ini", L"S", L"B"), L"2");
    EXPECT_FALSE(FileExists(folder / L"Second.ini"));

    // A Close too many stays at 0 and closes nothing that is open.
    store.Close();
    EXPECT_EQ(store.RefCount(), 0);
    EXPECT_EQ(store.closes, (std::vector<bool>{true, false}));
    // Outside the bracket the store refuses to be used.
    EXPECT_THROW(store.ReadString(L"S", L"A", L""), forms::EAssertionFailed);
}

}  // namespace
