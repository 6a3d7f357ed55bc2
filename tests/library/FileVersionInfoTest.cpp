// This test program carries a version record of its own (TestVersionRecord.rc).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "library/FileVersionInfo.h"

using library::EFileVersionInfoError;
using library::TFileVersionInfo;

namespace {

std::wstring OwnPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
}

TEST(FileVersionInfoTest, ReadsTheFixedPartTheStringsAndTheTranslationsOfARecord) {
    TFileVersionInfo info(OwnPath());
    EXPECT_EQ(info.FixedInfo().dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.FixedInfo().dwFileVersionMS, static_cast<DWORD>(MAKELONG(13, 2)));
    EXPECT_EQ(info.FixedInfo().dwFileVersionLS, static_cast<DWORD>(MAKELONG(4021, 7)));
    EXPECT_EQ(info.StringValue(L"productname"), L"Kamdrop library tests");
    EXPECT_EQ(info.StringValue(L"FileVersion"), L"2.13.7.4021");
    EXPECT_EQ(info.StringValue(L"Comments"), L"");
    EXPECT_EQ(info.Translations(), (std::vector<DWORD>{MAKELONG(0x0409, 1252)}));
}

TEST(FileVersionInfoTest, AMissingFileAndAFileWithoutARecordFailWithTheirMessages) {
    const std::wstring text = TempPath(L"NoRecord");
    HANDLE file = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "not a program", 13, &written, nullptr);
    CloseHandle(file);
    const std::wstring missing = TempPath(L"Missing");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);

    const struct {
        std::wstring file, message;
    } cases[] = {
        {text, L"File contains no version information"},
        {missing, L"The file " + missing + L" does not exist"},
        {temp, std::wstring(L"The file ") + temp + L" does not exist"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.file);
        try {
            TFileVersionInfo info(each.file);
            ADD_FAILURE() << "no error";
        } catch (const EFileVersionInfoError& error) {
            EXPECT_EQ(error.Message(), each.message);
        }
    }
    DeleteFileW(text.c_str());
}

}  // namespace
