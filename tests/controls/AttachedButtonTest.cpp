// Attached buttons: placement on each side of the control, following its
// window, the control following the button, the refusal of a second button,
// and the hook on the control's window across re-creation and other hooks.

#include "ComboBoxFixture.h"
#include "controls/AttachedButton.h"
#include "controls/HistoryComboBox.h"

using namespace controls;

namespace {

std::wstring Bounds(const forms::TControl* control) {
    return forms::Format(L"%d,%d,%d,%d", control->Left(), control->Top(), control->Width(), control->Height());
}

class AttachedButtonTest : public ComboBoxFixture {
protected:
    TOvcAttachedButton* AddButton(const wchar_t* name, forms::TWinControl* control,
                                  TOvcButtonPosition position = bpRight) {
        auto* button = new TOvcAttachedButton(form);
        button->SetName(name);
        button->SetParent(form);
        button->SetCaption(L"...");
        button->SetSeparation(3);
        button->SetPosition(position);
        button->SetAttachedControl(control);
        return button;
    }
    TOvcHistoryComboBox* AddBoxAt(int left, int top, int width, int height) {
        auto* box = AddBox<TOvcHistoryComboBox>({});
        box->SetBounds(left, top, width, height);
        return box;
    }
};

TEST_F(AttachedButtonTest, ButtonSitsOnItsSideTakesTheControlsHeightOrWidthAndFollowsIt) {
    // A new button is 21 by 21; the box stands at 100,80, 150 by 21, then at 110,90, 120 by 30, of
    // which the system keeps its field's height, 21; then a larger font makes the field higher, h
    // (grown holds h + offset where it holds a number).
    const struct {
        TOvcButtonPosition position;
        const wchar_t *placed, *followed, *grown;
        int offset;
    } cases[] = {
        {bpRight, L"253,80,21,21", L"233,90,21,21", L"233,90,21,%d", 0},
        {bpLeft, L"76,80,21,21", L"86,90,21,21", L"86,90,21,%d", 0},
        {bpTop, L"100,56,150,21", L"110,66,120,21", L"110,66,120,21", 0},
        {bpBottom, L"100,104,150,21", L"110,114,120,21", L"110,%d,120,21", 90 + 3},
    };
    form->Show();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.position);
        auto* box = AddBoxAt(100, 80, 150, 21);
        const LONG_PTR ownProcedure = GetWindowLongPtrW(box->Handle(), GWLP_WNDPROC);
        auto* button = AddButton(L"Browse", box, c.position);
        EXPECT_EQ(Bounds(button), c.placed);
        EXPECT_NE(GetWindowLongPtrW(box->Handle(), GWLP_WNDPROC), ownProcedure);

        box->SetBounds(110, 90, 120, 30);
        EXPECT_EQ(Bounds(button), c.followed);

        // The height the system gives the field after the button was attached: the button follows
        // that too (the box makes a new window for the font, which the button hooks a turn later).
        box->Font().SetHeight(-24);
        Pump(50);
        ASSERT_GT(box->Height(), 21);
        EXPECT_EQ(Bounds(box), forms::Format(L"110,90,120,%d", box->Height()));
        EXPECT_EQ(Bounds(button), forms::Format(c.grown, c.offset + box->Height()));

        // A freed button gives the control its own procedure back.
        forms::Free(button);
        EXPECT_EQ(GetWindowLongPtrW(box->Handle(), GWLP_WNDPROC), ownProcedure);
        forms::Free(box);
    }
}

TEST_F(AttachedButtonTest, WithAttachTwoWayMovingTheButtonMovesTheControl) {
    form->Show();
    for (bool twoWay : {false, true}) {
        SCOPED_TRACE(twoWay);
        auto* box = AddBoxAt(100, 80, 150, 21);
        auto* button = AddButton(L"Browse", box);
        button->SetAttachTwoWay(twoWay);
        button->SetBounds(300, 120, 21, 25);
        // The box goes where the button says but keeps its field's height, which the button takes.
        EXPECT_EQ(Bounds(button), twoWay ? L"300,120,21,21" : L"300,120,21,25");
        EXPECT_EQ(Bounds(box), twoWay ? L"147,120,150,21" : L"100,80,150,21");
        forms::Free(button);
        forms::Free(box);
    }
}

TEST_F(AttachedButtonTest, SecondButtonForAControlIsRefusedAndKeepsFollowingItsOwn) {
    form->Show();
    auto* taken = AddBoxAt(10, 20, 150, 21);
    auto* own = AddBoxAt(10, 80, 150, 21);
    AddButton(L"FirstButton", taken);
    auto* second = AddButton(L"SecondButton", own);
    try {
        second->SetAttachedControl(taken);
        ADD_FAILURE() << "no error";
    } catch (const EOvcException& error) {
        EXPECT_EQ(error.Message(), L"This control is already attached to FirstButton");
    }
    EXPECT_EQ(second->AttachedControl(), own);
    own->SetBounds(20, 100, 150, 21);
    EXPECT_EQ(Bounds(second), L"173,100,21,21");
}

TEST_F(AttachedButtonTest, ButtonHooksTheControlsNewWindowAfterItWasRecreated) {
    form->Show();
    auto* box = AddBoxAt(100, 80, 150, 21);
    auto* button = AddButton(L"Browse", box);
    HWND before = box->Handle();
    // A new row height makes the box destroy its window and make another one.
    box->SetItemHeight(box->ItemHeight() + 5);
    ASSERT_NE(box->Handle(), before);
    Pump(50);

    box->SetBounds(60, 120, 100, 25);
    EXPECT_EQ(Bounds(button), forms::Format(L"163,120,21,%d", box->Height()));
}

// A procedure that someone else installs over the button's hook.
WNDPROC gUnderneath = nullptr;
int gForeignMessages = 0;
LRESULT CALLBACK ForeignProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    ++gForeignMessages;
    return CallWindowProcW(gUnderneath, window, msg, wParam, lParam);
}

TEST_F(AttachedButtonTest, HookUnderAnotherProcedureStaysInItsChainAfterTheButtonLetsGo) {
    form->Show();
    auto* box = AddBoxAt(100, 80, 150, 21);
    auto* button = AddButton(L"Browse", box);
    HWND window = box->Handle();
    gUnderneath = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignProcedure)));
    box->SetBounds(100, 90, 150, 21);
    EXPECT_EQ(Bounds(button), L"253,90,21,21");

    button->SetAttachedControl(nullptr);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ForeignProcedure));
    gForeignMessages = 0;
    box->SetBounds(100, 100, 150, 21);
    box->SetText(L"still answers");
    EXPECT_EQ(box->Text(), L"still answers");
    EXPECT_GT(gForeignMessages, 0);
    EXPECT_EQ(Bounds(button), L"253,90,21,21");

    // Attached again, the button is served by the hook still in the chain.
    button->SetAttachedControl(box);
    EXPECT_EQ(Bounds(button), L"253,100,21,21");
    box->SetBounds(100, 110, 150, 21);
    EXPECT_EQ(Bounds(button), L"253,110,21,21");
    forms::Free(button);
    forms::Free(box);
}

}  // namespace
