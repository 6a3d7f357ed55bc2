// Only system DLLs, and only from the system folder: what the program loads when a
// stranger has put DLLs of system names beside it. (What it imports is read from the
// file by tests/image.)

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "KamdropProcessTest.h"

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    return text;
}

// Wine, told to search for these two as Windows does, looks in the program's folder first.
class EnvironmentVariable {
public:
    EnvironmentVariable(const wchar_t* name, const std::wstring& value) : FName(name) {
        wchar_t old[1024] = {};
        FHad = GetEnvironmentVariableW(name, old, 1024) > 0;
        FOld = old;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~EnvironmentVariable() { SetEnvironmentVariableW(FName, FHad ? FOld.c_str() : nullptr); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const wchar_t* FName;
    bool FHad = false;
    std::wstring FOld;
};

class LibraryLoadingProcessTest : public KamdropProcessTest {
protected:
    // Starts the program with a stranger's version.dll and uxtheme.dll beside it; each leaves a
    // mark beside itself when it loads.
    bool StartWithPlantedLibraries() {
        for (const wchar_t* name : {L"version.dll", L"uxtheme.dll"})
            if (!CopyFileW(HostPathToWindows(PLANTED_LIBRARY).c_str(),
                           tree.Path(L"program\\" + std::wstring(name)).c_str(), FALSE))
                return false;
        EnvironmentVariable search(L"WINEDLLOVERRIDES", L"mscoree,mshtml=;version,uxtheme=n,b");
        return StartKamdrop();
    }
};

TEST_F(LibraryLoadingProcessTest, DllsPlantedBesideTheProgramNeverLoad) {
    ASSERT_TRUE(StartWithPlantedLibraries());
    // The version record comes through the system's version library: About shows it.
    ASSERT_TRUE(kamdrop->OpenAbout());
    HWND about = kamdrop->WaitForWindow(L"About");
    ASSERT_NE(about, nullptr);
    const std::vector<std::wstring> texts = KamdropDriver::VisibleTexts(about);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Version 0.6  Build 149"), texts.end())
        << testing::PrintToString(texts);
    HWND ok = KamdropDriver::FindChildByText(about, L"&Ok");
    ASSERT_NE(ok, nullptr);
    PostMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(kamdrop->MainWindow()) != FALSE; }, 10000));
    EXPECT_TRUE(kamdrop->Exit());

    for (const wchar_t* mark : {L"program\\version.dll.loaded", L"program\\uxtheme.dll.loaded"})
        EXPECT_FALSE(tree.Exists(mark)) << testing::PrintToString(std::wstring(mark));
}

// The program's own list of its DLLs: none from its folder, the theme library the system's.
TEST_F(LibraryLoadingProcessTest, EveryDllTheProgramHoldsIsTheSystems) {
    ASSERT_TRUE(StartWithPlantedLibraries());
    const std::vector<std::wstring> modules = kamdrop->LoadedModules();
    // Under user-mode emulation (scripts/test.sh says so) one process cannot read another's
    // memory, where the list of its DLLs lies.
    if (modules.empty() && GetEnvironmentVariableW(L"KAMDROP_EMULATED", nullptr, 0) > 0)
        GTEST_SKIP() << "the program's DLLs cannot be listed from another process under emulation";
    const std::wstring folder = Lower(tree.Path(L"program")) + L"\\";
    bool systemTheme = false;
    for (const std::wstring& module : modules) {
        const std::wstring path = Lower(module);
        if (path.ends_with(L"kamdrop.exe")) continue;
        EXPECT_NE(path.rfind(folder, 0), 0u) << "loaded from the program's folder: " << testing::PrintToString(path);
        systemTheme = systemTheme || path.ends_with(L"\\system32\\uxtheme.dll");
    }
    EXPECT_TRUE(systemTheme) << "the windows are themed by the system's theme library: " << testing::PrintToString(modules);
    EXPECT_TRUE(kamdrop->Exit());
}

}  // namespace
