#include <gtest/gtest.h>

#include "LibraryTestSupport.h"
#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/StdCtrls.h"
#include "library/Hyperlink.h"

using namespace forms;
using library::LabelToLink;
using library::LinkEventHandlers;

namespace {

// Links and other labels in the containers a link can have: a panel, the
// form itself, a tab sheet and a plain container that is none of these.
class LinkLabelTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TestForm(nullptr);
        form->SetClientSize(400, 300);
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 400, 100);
        mail = MakeLabel(panel, 10, L"mail");
        site = MakeLabel(panel, 30, L"site");
        hinted = MakeLabel(panel, 50, L"a note, no link");
        hinted->SetHint(L"note");
        hinted->Font().SetColor(clRed);
        plain = MakeLabel(panel, 70, L"plain");
        plain->Font().SetColor(clGreen);
        onForm = MakeLabel(form, 110, L"on the form");
        auto* pages = new TPageControl(form);
        pages->SetParent(form);
        pages->SetBounds(0, 130, 200, 80);
        sheet = new TTabSheet(form);
        sheet->SetPageControl(pages);
        onSheet = MakeLabel(sheet, 5, L"on the sheet");
        other = new TWinControl(form);
        other->SetParent(form);
        other->SetBounds(210, 130, 190, 80);
        first = MakeLabel(other, 5, L"first");
        second = MakeLabel(other, 25, L"second");
        form->FinishLayout();

        LabelToLink(mail, L"mailto:feedback+kamdrop@vexa.example");
        LabelToLink(site, L"https://vexa.example/");
        LabelToLink(onForm, L"https://vexa.example/form");
        LabelToLink(onSheet, L"https://vexa.example/sheet");
        LabelToLink(first, L"https://vexa.example/first");
        LabelToLink(second, L"https://vexa.example/second");
        form->Show();
    }
    void TearDown() override { forms::Free(form); }

    TLabel* MakeLabel(TWinControl* parent, int top, const wchar_t* caption) {
        auto* label = new TLabel(form);
        label->SetParent(parent);
        label->SetBounds(5, top, 60, 13);
        label->SetCaption(caption);
        label->Font().SetColor(clNavy);
        return label;
    }
    static void MoveOver(TWinControl* control) {
        SendMessageW(control->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    }
    static bool Highlighted(TLabel* label) {
        return label->Font().Color() == clBlue && (label->Font().Style() & fsUnderline);
    }
    static bool Normal(TLabel* label) {
        return label->Font().Color() == clBlack && !(label->Font().Style() & fsUnderline);
    }

    ShellRecorder shell;
    TestForm* form = nullptr;
    TPanel* panel = nullptr;
    TTabSheet* sheet = nullptr;
    TWinControl* other = nullptr;
    TLabel *mail = nullptr, *site = nullptr, *hinted = nullptr, *plain = nullptr, *onForm = nullptr,
           *onSheet = nullptr, *first = nullptr, *second = nullptr;
};

TEST_F(LinkLabelTest, ALinkShowsTheHandCursorKeepsItsTargetAndSharesTheHandlersWithItsContainer) {
    EXPECT_EQ(mail->Cursor(), crHandPoint);
    EXPECT_EQ(mail->Hint(), L"mailto:feedback+kamdrop@vexa.example");
    EXPECT_EQ(mail->OnClick.Data(), LinkEventHandlers());
    EXPECT_EQ(LinkEventHandlers(), LinkEventHandlers());
    SetCursor(nullptr);
    EXPECT_TRUE(SendMessageW(mail->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(mail->Handle()),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

    const struct {
        TWinControl* container;
        bool resets;
    } containers[] = {{panel, true}, {form, true}, {sheet, true}, {other, false}};
    for (const auto& each : containers) {
        SCOPED_TRACE(each.container->ClassName());
        EXPECT_EQ(static_cast<bool>(each.container->OnMouseMove), each.resets);
        if (each.resets) {
            EXPECT_EQ(each.container->OnMouseMove.Data(), LinkEventHandlers());
        }
    }
}

TEST_F(LinkLabelTest, HoverHighlightsOneLinkAndTheContainerResetsEveryLabelWithAHint) {
    MoveOver(mail);
    EXPECT_TRUE(Highlighted(mail));
    EXPECT_TRUE(Normal(site));
    EXPECT_TRUE(Normal(hinted)) << "a hint is all a reset looks at";
    EXPECT_EQ(first->Font().Color(), clNavy) << "links of other containers keep their designed look";

    MoveOver(site);
    EXPECT_TRUE(Normal(mail));
    EXPECT_TRUE(Highlighted(site));

    MoveOver(panel);
    for (TLabel* label : {mail, site, hinted}) EXPECT_TRUE(Normal(label));
    EXPECT_EQ(plain->Font().Color(), clGreen) << "a label without a hint is left alone";
    EXPECT_EQ(mail->Font().Style() & fsBold, 0);

    // Links of the form and of a tab sheet are reset by their own containers only.
    MoveOver(onForm);
    MoveOver(onSheet);
    MoveOver(panel);
    EXPECT_TRUE(Highlighted(onForm));
    MoveOver(form);
    MoveOver(sheet);
    EXPECT_TRUE(Normal(onForm));
    EXPECT_TRUE(Normal(onSheet));
}

TEST_F(LinkLabelTest, ClickShowsEveryLinkNormalAndOpensTheTargetThroughTheShell) {
    MoveOver(mail);
    ClickLabel(mail->Handle());
    EXPECT_TRUE(Normal(mail));
    ASSERT_EQ(shell.Calls().size(), 1u);
    const ShellRecorder::Call& call = shell.Calls()[0];
    EXPECT_EQ(call.Owner, Application->Handle());
    EXPECT_EQ(call.Verb, L"open");
    EXPECT_EQ(call.File, L"mailto:feedback+kamdrop@vexa.example");
    EXPECT_FALSE(call.Parameters);
    EXPECT_FALSE(call.Directory);
    EXPECT_EQ(call.Show, SW_SHOWNORMAL);

    ClickLabel(onSheet->Handle());
    EXPECT_EQ(shell.Files().back(), L"https://vexa.example/sheet");
}

TEST_F(LinkLabelTest, ALinkInAnyOtherContainerStaysHighlightedUntilAnotherLinkThereIsHoveredOrClicked) {
    MoveOver(first);
    MoveOver(other);
    EXPECT_TRUE(Highlighted(first));
    MoveOver(second);
    EXPECT_TRUE(Normal(first));
    EXPECT_TRUE(Highlighted(second));
    ClickLabel(first->Handle());
    EXPECT_TRUE(Normal(second));
    EXPECT_EQ(shell.Files(), (std::vector<std::wstring>{L"https://vexa.example/first"}));
}

}  // namespace
