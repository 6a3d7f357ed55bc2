#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "library/HiddenPanels.h"

using namespace forms;
using library::TEasterEggsForm;

namespace {

class HiddenPanelsTest : public testing::Test {
protected:
    void SetUp() override {
        savedTitle = Application->Title();
        Application->SetTitle(L"Kamdrop");
        holder = new TEasterEggsForm(nullptr);
    }
    void TearDown() override {
        forms::Free(holder);
        Application->SetTitle(savedTitle);
    }
    std::wstring savedTitle;
    TEasterEggsForm* holder = nullptr;
};

TEST_F(HiddenPanelsTest, TheMemoShowsNineLinesWithThePageScreenshotAndDownloadAddresses) {
    holder->FillInfo(L"https://vexa.example/", L"https://vexa.example/software", L"kamdrop");
    EXPECT_EQ(holder->InfoMemo->Lines().ToVector(),
              (std::vector<std::wstring>{L"", L"Information:", L"https://vexa.example/software/kamdrop.htm", L"",
                                         L"Screenshot:", L"https://vexa.example/images/software_kamdrop.jpg", L"",
                                         L"Download:", L"https://vexa.example/software/download/kamdrop.zip"}));
    EXPECT_EQ(holder->DownloadUrl, L"https://vexa.example/software/download/kamdrop.zip");
    EXPECT_EQ(holder->DownloadNowLabel->Caption(), L"Click here to download the latest version of Kamdrop.");
    EXPECT_TRUE(holder->InfoMemo->ReadOnly());
}

TEST_F(HiddenPanelsTest, SpecialNamesShortenTheirAddressesAndEmptyInputsLeaveTheFixedParts) {
    const struct {
        const wchar_t *appName, *page, *shot, *download;
    } cases[] = {
        {L"VexaClock", L"S/clock.htm", L"I/images/software_vexaclock.jpg", L"S/download/vexaclock.zip"},
        {L"diskmeterpro", L"S/diskmeter.htm", L"I/images/software_diskmeter.jpg", L"S/download/diskmeter.zip"},
        {L"", L"S/.htm", L"I/images/software_.jpg", L"S/download/.zip"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.appName);
        holder->FillInfo(L"I/", L"S", each.appName);
        ASSERT_EQ(holder->InfoMemo->Lines().Count(), 9);
        EXPECT_EQ(holder->InfoMemo->Lines()[2], each.page);
        EXPECT_EQ(holder->InfoMemo->Lines()[5], each.shot);
        EXPECT_EQ(holder->InfoMemo->Lines()[8], each.download);
        EXPECT_EQ(holder->DownloadUrl, each.download);
    }
}

TEST_F(HiddenPanelsTest, TheDownloadLinkOpensTheArchiveThroughTheShell) {
    ShellRecorder shell;
    holder->FillInfo(L"https://vexa.example/", L"https://vexa.example/software", L"kamdrop");
    EXPECT_EQ(holder->DownloadNowLabel->Cursor(), crHandPoint);
    ClickLabel(holder->DownloadNowLabel->Handle());
    EXPECT_EQ(shell.Files(), (std::vector<std::wstring>{L"https://vexa.example/software/download/kamdrop.zip"}));
}

TEST_F(HiddenPanelsTest, ThePhotographDecodesToItsKnownSizeAndTheFormOwnsEachPanelInOrder) {
    EXPECT_EQ(holder->Image1->Picture().Width(), 168);
    EXPECT_EQ(holder->Image1->Picture().Height(), 124);
    std::vector<std::wstring> panels;
    for (int i = 0; i < holder->ComponentCount(); ++i)
        if (auto* panel = dynamic_cast<TPanel*>(holder->Components(i))) panels.push_back(panel->Name());
    EXPECT_EQ(panels, (std::vector<std::wstring>{L"ZembroPanel", L"QxvPanel", L"YarnokPanel"}));
    EXPECT_EQ(holder->Caption(), L"Easter Eggs");
    EXPECT_FALSE(holder->Visible());
}

}  // namespace
