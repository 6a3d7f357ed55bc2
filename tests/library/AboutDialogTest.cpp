// The About dialog. This test program carries its own version record
// (TestVersionRecord.rc, file version 2.13.7.4021) and the photograph.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ControlBounds.h"
#include "LibraryTestSupport.h"
#include "TextFit.h"
#include "library/AboutDialog.h"
#include "library/HiddenPanels.h"

using namespace forms;
using library::ShowAbout;
using library::TfrmAbout;

namespace {

int ThisYear() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wYear;
}

// The dialog ShowAbout has made, once it shows; nullptr before and after.
TfrmAbout* ShownDialog() {
    struct Search {
        static BOOL CALLBACK Check(HWND window, LPARAM param) {
            if (auto* dialog = dynamic_cast<TfrmAbout*>(FindControl(window)); dialog && IsWindowVisible(window)) {
                *reinterpret_cast<TfrmAbout**>(param) = dialog;
                return FALSE;
            }
            return TRUE;
        }
    };
    TfrmAbout* dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Search::Check, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

BYTE AlphaOf(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(window, nullptr, &alpha, &flags);
    return alpha;
}

// A control's right edge as its window stands in its parent.
int WindowRight(TWinControl* control) {
    RECT rect;
    GetWindowRect(control->Handle(), &rect);
    MapWindowPoints(nullptr, GetParent(control->Handle()), reinterpret_cast<POINT*>(&rect), 2);
    return rect.right;
}

// Watches a component being freed.
struct FreeWatcher : TComponent {
    FreeWatcher() : TComponent(nullptr) {}
    std::vector<TComponent*> freed;
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == TOperation::opRemove) freed.push_back(component);
    }
};

// ---- The dialog's content ----

class AboutContentTest : public testing::Test {
protected:
    void SetUp() override { dialog = new TfrmAbout(nullptr); }
    void TearDown() override {
        forms::Free(dialog);
        Application->ProcessMessages();  // the holder form goes on the next turn of the loop
    }
    void FillIn(const std::wstring& title) {
        VS_FIXEDFILEINFO fixed{};
        fixed.dwFileVersionMS = MAKELONG(6, 0);
        fixed.dwFileVersionLS = MAKELONG(149, 0);
        dialog->FillIn(title, fixed, 2003);
    }
    TfrmAbout* dialog = nullptr;
};

TEST_F(AboutContentTest, TitlesUpToTenCharactersShowAtEighteenPointsLongerOnesAtFourteen) {
    const struct {
        const wchar_t* title;
        int points, height;
    } cases[] = {{L"Kamdrop", 18, -24}, {L"Kamdrop 10", 18, -24}, {L"Kamdrop 11c", 14, -19}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.title);
        FillIn(each.title);
        EXPECT_EQ(dialog->ProductName->Caption(), each.title);
        EXPECT_EQ(dialog->ProductName->Font().Size(), each.points);
        EXPECT_EQ(dialog->ProductName->Font().Height(), each.height);
    }
}

TEST_F(AboutContentTest, VersionShowsTheFirstSecondAndFourthNumbersBesideTheTitleOnItsBottomLine) {
    FillIn(L"Kamdrop");
    EXPECT_EQ(dialog->Version->Caption(), L"Version 0.6  Build 149");
    EXPECT_EQ(dialog->Version->Left(), 12 + 177 + 8);
    EXPECT_EQ(dialog->Version->Top() + dialog->Version->Height(), 12 + 29);
    EXPECT_EQ(dialog->CopyrightLabel->Caption().find(L"Copyright \u00A9 2003-" + std::to_wstring(ThisYear()) + L" Vexa."),
              0u);
}

TEST_F(AboutContentTest, TheUrlNameDropsBlanksAndApostrophesAndGoesIntoTheMailAddressAndPanels) {
    const struct {
        const wchar_t *title, *urlName;
    } cases[] = {{L"Kamdrop", L"kamdrop"}, {L"Bob's Tool", L"bobstool"}, {L" Kam 'Drop'\t", L"kamdrop"}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.title);
        FillIn(each.title);
        EXPECT_EQ(dialog->UrlAppName, each.urlName);
        EXPECT_EQ(dialog->lblEmail->Caption(), L"feedback+" + std::wstring(each.urlName) + L"@vexa.example");
        EXPECT_EQ(dialog->lblEmail->Hint(), L"mailto:" + dialog->lblEmail->Caption());
        EXPECT_EQ(dialog->EasterEggsForm->DownloadUrl,
                  L"https://vexa.example/software/download/" + std::wstring(each.urlName) + L".zip");
    }
    for (TLabel* link : {dialog->lblEmail, dialog->lblSite})
        EXPECT_EQ(WindowRight(link), 332) << testing::PrintToString(link->Name()) << " is right-justified at x = 332";
    EXPECT_EQ(dialog->lblSite->Hint(), L"https://vexa.example/");
    EXPECT_EQ(dialog->lblSoftware->Hint(), L"https://vexa.example/software");
    EXPECT_EQ(library::SoftwarePageUrl(), library::SiteUrl() + L"software");
}

// ---- At every display scale ----

// What the texts size in the dialog, not the layout: labels that size themselves (the right-justified
// links keep their right edge instead of their left), and the version's top, on the title's bottom line.
control_bounds::Free AboutFree(const std::wstring& name) {
    if (name == L"lblEmail" || name == L"lblSite") return {true, true, true, false};
    if (name == L"Version") return {true, true, false, true};
    if (name == L"Copyright" || name == L"lblSoftware") return {true, true};
    // Inside the panel's bevels, which stay one-pixel lines at every scale.
    if (name == L"CopyrightLabel") return {true, false, true, true};
    return {};
}

TEST(AboutScaleTest, AtEveryScaleTheDialogIsTheOneAt96ScaledAndEveryPanelShowsEveryTextWhole) {
    auto make = [](int ppi) {
        auto* dialog = new TfrmAbout(nullptr);
        VS_FIXEDFILEINFO fixed{};
        fixed.dwFileVersionMS = MAKELONG(6, 0);
        fixed.dwFileVersionLS = MAKELONG(149, 0);
        dialog->FillIn(L"Kamdrop", fixed, 2003);
        dialog->ScaleForPPI(ppi);
        return dialog;
    };
    TfrmAbout* at96 = make(96);
    const auto bounds96 = control_bounds::Of(at96);
    for (int ppi : {96, 120, 144, 192}) {
        SCOPED_TRACE(testing::Message() << ppi << " pixels per inch");
        TfrmAbout* dialog = make(ppi);
        EXPECT_EQ(control_bounds::Unscaled(bounds96, control_bounds::Of(dialog), ppi, AboutFree),
                  std::vector<std::wstring>{});
        for (TLabel* link : {dialog->lblEmail, dialog->lblSite})
            EXPECT_LE(std::abs(WindowRight(link) - MulDiv(332, ppi, 96)), 1) << testing::PrintToString(link->Name());
        EXPECT_LE(std::abs(dialog->Version->Left() - MulDiv(12 + 177 + 8, ppi, 96)), 1);
        EXPECT_EQ(dialog->Version->Top() + dialog->Version->Height(), dialog->ProductName->Top() + dialog->ProductName->Height());
        // Each panel in turn, as the dialog shows it.
        for (const wchar_t* word : {L" ", L"ZEMBRO", L"QXV", L"YARNOK"}) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(word)));
            for (const wchar_t* key = word; *key; ++key) {
                wchar_t typed = *key;
                dialog->FormKeyPress(dialog, typed);
            }
            EXPECT_EQ(text_fit::CutTexts(dialog), std::vector<std::wstring>{});
        }
        forms::Free(dialog);
        Application->ProcessMessages();
    }
    forms::Free(at96);
    Application->ProcessMessages();
}

// A panel that is on neither form when the dialog changes scale (taken off to show another) takes
// the scale all the same: shown again, it stands as it did.
TEST(AboutScaleTest, APanelOffTheDialogWhileItMovesBetweenScalesComesBackInPlace) {
    auto* dialog = new TfrmAbout(nullptr);
    auto type = [&](const wchar_t* text) {
        for (const wchar_t* key = text; *key; ++key) {
            wchar_t typed = *key;
            dialog->FormKeyPress(dialog, typed);
        }
    };
    type(L"ZEMBRO");
    TPanel* photo = dialog->EasterEggsForm->ZembroPanel;
    const auto before = control_bounds::Of(photo);
    const int photoWidth = dialog->EasterEggsForm->Image1->Shown().Width();
    dialog->ScaleForPPI(144);
    EXPECT_EQ(dialog->EasterEggsForm->Image1->Shown().Width(), MulDiv(photoWidth, 3, 2)) << "the photograph drawn for the scale";
    type(L" ");
    dialog->ScaleForPPI(96);
    type(L"ZEMBRO");
    ASSERT_EQ(dialog->CurrentPanel, photo);
    EXPECT_EQ(control_bounds::Unscaled(before, control_bounds::Of(photo), 96, [](const std::wstring&) {
                  return control_bounds::Free{};
              }),
              std::vector<std::wstring>{});
    EXPECT_EQ(dialog->EasterEggsForm->Image1->Shown().Width(), photoWidth);
    forms::Free(dialog);
    Application->ProcessMessages();
}

// ---- Hidden panels ----

class HiddenPanelKeysTest : public AboutContentTest {
protected:
    void SetUp() override {
        AboutContentTest::SetUp();
        FillIn(L"Kamdrop");
    }
    // Types the text into the dialog's key-press event; returns the keys as the focused control gets them.
    std::wstring Type(const std::wstring& text) {
        std::wstring passed;
        for (wchar_t key : text) {
            dialog->FormKeyPress(dialog, key);
            passed += key;
        }
        return passed;
    }
    // The panel the host shows, which must be its only child.
    TControl* Shown() {
        EXPECT_EQ(dialog->HostPanel->ControlCount(), 1);
        EXPECT_EQ(dialog->HostPanel->Controls(0), dialog->CurrentPanel);
        return dialog->HostPanel->Controls(0);
    }
    library::TEasterEggsForm& Holder() { return *dialog->EasterEggsForm; }
};

TEST_F(HiddenPanelKeysTest, APanelsWordInEitherCaseShowsItAsSoonAsItsLastLetterIsTyped) {
    const struct {
        const wchar_t* word;
        TPanel* library::TEasterEggsForm::*panel;
    } cases[] = {{L"zembro", &library::TEasterEggsForm::ZembroPanel},
                 {L"QXV", &library::TEasterEggsForm::QxvPanel},
                 {L"YarNok", &library::TEasterEggsForm::YarnokPanel}};
    for (const auto& each : cases) {
        SCOPED_TRACE(each.word);
        std::wstring word = each.word;
        Type(L" ");
        EXPECT_EQ(Type(word.substr(0, word.size() - 1)), AsciiUpperCase(word.substr(0, word.size() - 1)));
        EXPECT_EQ(Shown(), dialog->AboutPanel);
        Type(word.substr(word.size() - 1));
        EXPECT_EQ(Shown(), Holder().*each.panel);
        EXPECT_EQ(dialog->EasterEggsKey, L"");
        EXPECT_EQ(BoxOf(*Shown()), (Box{0, 0, 342, 170})) << "the panel fills the host";
    }
}

TEST_F(HiddenPanelKeysTest, WordsOfOneOrTwoLettersNeverShowAPanel) {
    auto* shortPanel = new TPanel(&Holder());
    shortPanel->SetName(L"AbPanel");
    Type(L"ab");
    EXPECT_EQ(Shown(), dialog->AboutPanel);
    EXPECT_EQ(dialog->EasterEggsKey, L"AB");
    Type(L"c");
    EXPECT_EQ(Shown(), dialog->AboutPanel);
}

TEST_F(HiddenPanelKeysTest, AWrongFirstLetterHidesTheWordUntilANonLetterKey) {
    Type(L"xqxv");
    EXPECT_EQ(Shown(), dialog->AboutPanel);
    EXPECT_EQ(dialog->EasterEggsKey, L"XQXV") << "a failed lookup keeps the letters";
    Type(L" qxv");
    EXPECT_EQ(Shown(), Holder().QxvPanel);
}

TEST_F(HiddenPanelKeysTest, AnotherWordSwitchesStraightOverAndAnyNonLetterBringsTheAboutPanelBack) {
    Type(L"zembro");
    Type(L"yarnok");
    EXPECT_EQ(Shown(), Holder().YarnokPanel);
    EXPECT_EQ(Holder().ZembroPanel->Parent(), nullptr);
    for (wchar_t key : {L'1', L'\b', L'\x1B', L'\r', L' '}) {
        SCOPED_TRACE(static_cast<int>(key));
        Type(L"qxv");
        EXPECT_EQ(Shown(), Holder().QxvPanel);
        Type(std::wstring(1, key));
        EXPECT_EQ(Shown(), dialog->AboutPanel);
        EXPECT_EQ(Holder().QxvPanel->Parent(), nullptr);
    }
}

TEST_F(HiddenPanelKeysTest, ABorrowedPanelKeepsItsLayoutInTheHostAndIsFreedWithTheDialog) {
    Type(L"zembro");
    TPanel* panel = Holder().ZembroPanel;
    EXPECT_EQ(BoxOf(*Holder().Image1), (Box{2, 2, 338, 166})) << "inside both bevels";
    EXPECT_EQ(Holder().Label2->Left(), 0);
    EXPECT_NEAR(Holder().Label2->Top(), 150, 3) << "anchored to the bottom";
    EXPECT_NEAR(Holder().Label1->Left() + Holder().Label1->Width(), 342 - (286 - 277), 3) << "anchored to the right";

    FreeWatcher watcher;
    watcher.FreeNotification(&Holder());
    watcher.FreeNotification(panel);
    TComponent* holder = &Holder();
    forms::Free(dialog);
    dialog = nullptr;
    EXPECT_TRUE(watcher.freed.empty()) << "the holder form goes on the next turn of the message loop";
    Application->ProcessMessages();
    EXPECT_EQ(watcher.freed, (std::vector<TComponent*>{panel, holder}));
}

// ---- ShowAbout: fade in, wait, fade out ----

// Replaces the fades' clock: every reading records the dialog and moves the clock on by Step.
struct FadeClockRecorder {
    struct Reading {
        int Alpha;
        bool Visible;
        int ModalResult;
    };
    static inline std::vector<Reading> readings;
    static inline int64_t now = 0;
    static inline int64_t step = 1;
    // When set, the time comes from this clock instead.
    static inline int64_t (*realClock)() = nullptr;
    static int64_t Read() {
        if (TfrmAbout* dialog = ShownDialog())
            readings.push_back({AlphaOf(dialog->Handle()), IsWindowVisible(dialog->Handle()) != 0, dialog->ModalResult()});
        return realClock ? realClock() : now += step;
    }
    std::vector<int> Alphas(size_t from, size_t to) const {
        std::vector<int> alphas;
        for (size_t i = from; i < to && i < readings.size(); ++i) alphas.push_back(readings[i].Alpha);
        return alphas;
    }
    // Where the fade-out starts: the first reading with a modal result.
    size_t FadeOutStart() const {
        for (size_t i = 0; i < readings.size(); ++i)
            if (readings[i].ModalResult != 0) return i;
        return readings.size();
    }
};

// Runs ShowAbout with a main window, and acts on the dialog once it waits (from a thread timer).
class ShowAboutTest : public testing::Test {
protected:
    void SetUp() override {
        savedTitle = Application->Title();
        Application->SetTitle(L"Kamdrop");
        Application->CreateForm(mainWindow);
        mainWindow->SetCaption(L"main");
        mainWindow->FinishLayout();
        mainWindow->Show();
        Application->ProcessMessages();
        savedClock = library::FadeClock;
        FadeClockRecorder::readings.clear();
    }
    void TearDown() override {
        library::FadeClock = savedClock;
        FadeClockRecorder::realClock = nullptr;
        FadeClockRecorder::step = 1;
        forms::Free(mainWindow);
        Application->ProcessMessages();
        Application->SetTitle(savedTitle);
    }

    // What the timer saw while the dialog waited.
    struct Seen {
        bool MainWindowEnabled = true;
        bool Topmost = false;
        int Alpha = -1;
        std::wstring Title, Version;
        bool TimedOut = false;
    };
    void Run(std::function<void(TfrmAbout&)> act) {
        current = this;
        action = std::move(act);
        UINT_PTR timer = SetTimer(nullptr, 0, 15, Tick);
        try {
            ShowAbout(2003);
        } catch (const Exception& error) {
            ADD_FAILURE() << "ShowAbout failed: " << WideToUtf8(error.Message());
        }
        KillTimer(nullptr, timer);
        // A wait that ended in time leaves no timer behind to end the next one early.
        if (forgottenWaitTimer) KillTimer(nullptr, forgottenWaitTimer);
        forgottenWaitTimer = 0;
        current = nullptr;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) noexcept {
        if (!current) return;
        TfrmAbout* dialog = ShownDialog();
        if (!dialog || current->acted) return;
        current->acted = true;
        Seen& seen = current->seen;
        seen.MainWindowEnabled = IsWindowEnabled(current->mainWindow->Handle()) != 0;
        seen.Topmost = (GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        seen.Alpha = AlphaOf(dialog->Handle());
        seen.Title = dialog->ProductName->Caption();
        seen.Version = dialog->Version->Caption();
        current->action(*dialog);
        // Should the action not end the wait, the test ends it after a while.
        forgottenWaitTimer = SetTimer(nullptr, 0, 1500, EndForgottenWait);
    }
    static void CALLBACK EndForgottenWait(HWND, UINT, UINT_PTR id, DWORD) noexcept {
        KillTimer(nullptr, id);
        forgottenWaitTimer = 0;
        if (TfrmAbout* late = ShownDialog(); late && late->ModalResult() == 0) {
            if (current) current->seen.TimedOut = true;
            late->SetModalResult(99);
        }
    }

    static inline ShowAboutTest* current = nullptr;
    static inline UINT_PTR forgottenWaitTimer = 0;
    std::function<void(TfrmAbout&)> action;
    bool acted = false;
    Seen seen;
    std::wstring savedTitle;
    int64_t (*savedClock)() = nullptr;
    TestForm* mainWindow = nullptr;
    FadeClockRecorder clock;
};

TEST_F(ShowAboutTest, TheDialogFadesInWaitsForOkAndFadesOutWhileTheMainWindowIsDisabled) {
    library::FadeClock = FadeClockRecorder::Read;
    Run([](TfrmAbout& dialog) { SendMessageW(dialog.OKButton->Handle(), BM_CLICK, 0, 0); });

    EXPECT_FALSE(seen.MainWindowEnabled);
    EXPECT_TRUE(seen.Topmost);
    EXPECT_EQ(seen.Alpha, 255);
    EXPECT_EQ(seen.Title, L"Kamdrop");
    EXPECT_EQ(seen.Version, L"Version 2.13  Build 4021") << "from this program's own version record";
    EXPECT_FALSE(seen.TimedOut);

    // One reading at the start of each fade and one after every step of 3.
    std::vector<int> fadeIn, fadeOut;
    for (int alpha = 0; alpha < 255; alpha += 3) fadeIn.push_back(alpha);
    fadeIn.push_back(255);
    for (int alpha = 255; alpha > 0; alpha -= 3) fadeOut.push_back(alpha);
    fadeOut.push_back(0);
    const size_t out = clock.FadeOutStart();
    EXPECT_EQ(clock.Alphas(0, out), fadeIn);
    EXPECT_EQ(clock.Alphas(out, clock.readings.size()), fadeOut);
    for (const auto& reading : clock.readings) EXPECT_TRUE(reading.Visible) << "hidden only once faded out";
    EXPECT_EQ(clock.readings.back().ModalResult, 1);

    EXPECT_TRUE(IsWindowEnabled(mainWindow->Handle()));
    EXPECT_EQ(ShownDialog(), nullptr);
    EXPECT_EQ(GetActiveWindow(), mainWindow->Handle()) << "the main window is active again";
}

TEST_F(ShowAboutTest, EachFadeIsCutAtThreeHundredMillisecondsAndEndsFullyOpaqueOrFullyTransparent) {
    FadeClockRecorder::step = 50;
    library::FadeClock = FadeClockRecorder::Read;
    Run([](TfrmAbout& dialog) { SendMessageW(dialog.OKButton->Handle(), BM_CLICK, 0, 0); });

    // Readings at 50, 100, ... 350 ms: the seventh step passes the limit.
    EXPECT_EQ(seen.Alpha, 255);
    const size_t out = clock.FadeOutStart();
    EXPECT_EQ(clock.Alphas(0, out), (std::vector<int>{0, 3, 6, 9, 12, 15, 18, 21}));
    EXPECT_EQ(clock.Alphas(out, clock.readings.size()), (std::vector<int>{255, 252, 249, 246, 243, 240, 237, 234}));
    EXPECT_EQ(ShownDialog(), nullptr);
}

TEST_F(ShowAboutTest, EveryWayOfDismissingEndsTheWaitWithItsResultAndAFadeOut) {
    FadeClockRecorder::realClock = savedClock;
    library::FadeClock = FadeClockRecorder::Read;
    TestForm* other = nullptr;
    const struct {
        const char* way;
        std::function<void(TfrmAbout&)> act;
        int result;
    } ways[] = {
        {"OK", [](TfrmAbout& d) { PostMessageW(d.OKButton->Handle(), BM_CLICK, 0, 0); }, 1},
        {"Enter", [](TfrmAbout& d) { PostMessageW(d.OKButton->Handle(), WM_KEYDOWN, VK_RETURN, 1); }, 1},
        {"close box", [](TfrmAbout& d) { PostMessageW(d.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }, 2},
        {"Alt+F4", [](TfrmAbout& d) { PostMessageW(d.OKButton->Handle(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }, 2},
        {"another form of the program becomes active",
         [&other](TfrmAbout&) {
             other = new TestForm(nullptr);
             other->FinishLayout();
             other->Show();
         },
         2},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.way);
        acted = false;
        seen = Seen{};
        FadeClockRecorder::readings.clear();
        Run(way.act);
        EXPECT_FALSE(seen.TimedOut);
        EXPECT_EQ(seen.Alpha, 255);
        ASSERT_FALSE(clock.readings.empty());
        EXPECT_EQ(clock.readings.back().ModalResult, way.result);
        EXPECT_LT(clock.readings.back().Alpha, 255) << "faded out";
        EXPECT_EQ(ShownDialog(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(mainWindow->Handle()));
        forms::Free(other);
        other = nullptr;
    }
}

}  // namespace
