// The program's resources as they come out of an executable that links them: the version record
// the About dialog reads, the icon in the sizes of every display scale, and the manifest that selects
// common controls 6 and awareness of each monitor's scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "app/resources/KamdropResources.h"

namespace {

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(KamdropResources, VersionRecordCarriesTheProgramsNumbersAndNames) {
    const std::wstring path = OwnPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> record(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(6, 0));     // 0.6
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(149, 0));   // .0.149
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));  // 1.0
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);              // .0.0

    struct Entry {
        const wchar_t* Name;
        const wchar_t* Value;
    };
    const Entry entries[] = {{L"FileDescription", L"Kamdrop"}, {L"ProductName", L"Kamdrop"},
                             {L"FileVersion", L"0.6.0.149"},   {L"ProductVersion", L"1.0.0.0"},
                             {L"CompanyName", L"Vexa"}};
    for (const Entry& entry : entries) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + entry.Name;
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(record.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << "missing " << testing::PrintToString(std::wstring(entry.Name));
        EXPECT_EQ(std::wstring(value), entry.Value);
    }
}

// The icon group must hold an image of exactly each size, not one the system would stretch: the
// small and large icon at 100, 125, 150 and 200 %.
TEST(KamdropResources, MainIconHoldsAnImageForEverySizeTheSystemAsksFor) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(MAINICON), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(self, group)));
    ASSERT_NE(directory, nullptr);
    for (int size : {16, 20, 24, 32, 40, 48, 64}) {
        SCOPED_TRACE(size);
        const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        ASSERT_GT(id, 0);
        HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
        ASSERT_NE(image, nullptr);
        auto* header = static_cast<BITMAPINFOHEADER*>(LockResource(LoadResource(self, image)));
        EXPECT_EQ(header->biWidth, size);
        EXPECT_EQ(header->biHeight, 2 * size);  // colour rows and mask rows
        EXPECT_EQ(header->biBitCount, 32);
    }
    HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(MAINICON), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) DestroyIcon(icon);
}

// With the manifest in force the process's activation context redirects comctl32.dll to the
// version 6 assembly; without it there is no such redirection.
TEST(KamdropResources, ManifestRedirectsCommonControlsToVersionSix) {
    ACTCTX_SECTION_KEYED_DATA redirection{};
    redirection.cbSize = sizeof redirection;
    EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                         L"comctl32.dll", &redirection));

    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    FreeLibrary(controls);
    std::wstring lower = path;
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    EXPECT_NE(lower.find(L"common-controls"), std::wstring::npos) << testing::PrintToString(lower);
}

// Aware of each monitor's scale (version 2 on systems that know it; Wine 8 takes it as the first
// version): windows are drawn at each monitor's own scale instead of being stretched.
TEST(KamdropResources, ManifestMakesTheProgramAwareOfEachMonitorsScale) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    ASSERT_NE(user, nullptr);
    using GetContext = HANDLE(WINAPI*)();
    using AwarenessOf = int(WINAPI*)(HANDLE);
    auto getContext = reinterpret_cast<GetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    auto awarenessOf = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    if (!getContext || !awarenessOf) GTEST_SKIP() << "this system knows no per-monitor awareness";
    EXPECT_EQ(awarenessOf(getContext()), 2) << "DPI_AWARENESS_PER_MONITOR_AWARE, context " << getContext();
}

}  // namespace
