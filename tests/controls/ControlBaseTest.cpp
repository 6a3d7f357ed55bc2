// Attached captions: a box keeps its caption at the offsets in its LabelInfo,
// the caption's own moves change those offsets, and the caption is made,
// shown, hidden and freed with the box.

#include "ComboBoxFixture.h"
#include "controls/HistoryComboBox.h"

using namespace controls;

namespace {

class AttachedLabelTest : public ComboBoxFixture {
protected:
    TOvcHistoryComboBox* AddNamedBox(const wchar_t* name, int left, int top) {
        auto* box = AddBox<TOvcHistoryComboBox>({});
        box->SetName(name);
        box->SetBounds(left, top, 200, 19);
        return box;
    }
};

TEST_F(AttachedLabelTest, CaptionFollowsMovesAndResizesAboveOrBelowItsBox) {
    const struct {
        TOvcLabelPosition position;
        const wchar_t* name;
        // The caption's top for a box at boxTop, boxHeight high (the field's height the system
        // gives it, whatever was asked); h = the caption's height.
        int (*top)(int boxTop, int boxHeight, int h);
    } cases[] = {
        {lpTopLeft, L"Above", [](int boxTop, int, int h) { return boxTop - h; }},
        {lpBottomLeft, L"Below", [](int boxTop, int boxHeight, int) { return boxTop + boxHeight; }},
    };
    form->Show();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        auto* box = AddNamedBox(c.name, 20, 60);
        box->DefaultLabelPosition = c.position;
        box->LabelInfo()->SetVisible(true);
        TOvcAttachedLabel* label = box->AttachedLabel();
        ASSERT_NE(label, nullptr);
        const int h = label->Height();
        EXPECT_EQ(label->Left(), 20);
        EXPECT_EQ(label->Top(), c.top(60, box->Height(), h));

        box->SetBounds(40, 90, 200, 19);
        Pump(30);
        EXPECT_EQ(label->Left(), 40);
        EXPECT_EQ(label->Top(), c.top(90, box->Height(), h));

        // A larger font: the system makes the field higher (the box makes a new window for it).
        const int fieldHeight = box->Height();
        box->Font().SetHeight(-24);
        Pump(50);
        ASSERT_GT(box->Height(), fieldHeight);
        EXPECT_EQ(label->Left(), 40);
        EXPECT_EQ(label->Top(), c.top(90, box->Height(), h));
        EXPECT_EQ(label->Height(), h);
        forms::Free(box);
    }
}

TEST_F(AttachedLabelTest, MovingTheCaptionByItselfChangesTheOffsetsAndLeavesTheBox) {
    auto* box = AddNamedBox(L"Box", 20, 60);
    form->Show();
    box->LabelInfo()->SetVisible(true);
    Pump(30);
    TOvcAttachedLabel* label = box->AttachedLabel();
    const int h = label->Height();

    label->SetBounds(25, 60 - h - 4, label->Width(), h);
    Pump(30);
    EXPECT_EQ(box->Left(), 20);
    EXPECT_EQ(box->Top(), 60);
    EXPECT_EQ(box->LabelInfo()->OffsetX(), 5);
    EXPECT_EQ(box->LabelInfo()->OffsetY(), -4);

    box->SetBounds(100, 120, 200, 19);
    Pump(30);
    EXPECT_EQ(label->Left(), 105);
    EXPECT_EQ(label->Top(), 120 - 4 - h);
}

TEST_F(AttachedLabelTest, CaptionFromTheLayoutAnnouncesItselfAndItsPlaceGivesTheOffsets) {
    // A form still reading its layout: the caption stands 3 right of the box and ends 2 above it.
    auto* loading = new TestForm(nullptr);
    loading->SetClientSize(300, 100);
    auto* label = new TOvcAttachedLabel(loading);
    label->SetName(L"BoxCaption");
    label->SetParent(loading);
    label->SetAutoSize(false);
    label->SetBounds(13, 27, 80, 13);
    auto* box = new TOvcHistoryComboBox(loading);
    box->SetName(L"Box");
    box->SetParent(loading);
    box->SetBounds(10, 42, 200, 19);
    box->LabelInfo()->SetVisible(true);
    label->SetControl(box);
    loading->FinishLayout();
    Pump(30);

    EXPECT_EQ(box->AttachedLabel(), label);
    EXPECT_EQ(box->LabelInfo()->OffsetX(), 3);
    EXPECT_EQ(box->LabelInfo()->OffsetY(), -2);
    EXPECT_EQ(label->Left(), 13);
    EXPECT_EQ(label->Top(), 27);
    EXPECT_EQ(loading->FindComponent(L"BoxLabel1"), nullptr);
    forms::Free(loading);
}

TEST_F(AttachedLabelTest, HidingTheBoxHidesItsCaptionDisablingDoesNot) {
    auto* box = AddNamedBox(L"Box", 20, 60);
    form->Show();
    box->LabelInfo()->SetVisible(true);
    TOvcAttachedLabel* label = box->AttachedLabel();

    box->SetVisible(false);
    EXPECT_FALSE(label->Visible());
    EXPECT_FALSE(IsWindowVisible(label->Handle()));
    box->SetVisible(true);
    EXPECT_TRUE(label->Visible());
    box->SetEnabled(false);
    EXPECT_TRUE(label->Enabled());
}

TEST_F(AttachedLabelTest, LabelInfoVisibleMakesACaptionNamedAfterTheBoxAndFreesItAgain) {
    auto* taken = new forms::TButton(form);
    taken->SetName(L"BoxLabel1");
    auto* box = AddNamedBox(L"Box", 20, 60);
    form->Show();

    box->LabelInfo()->SetVisible(true);
    TOvcAttachedLabel* label = box->AttachedLabel();
    EXPECT_EQ(label->Name(), L"BoxLabel2");
    EXPECT_EQ(label->Caption(), L"BoxLabel2");
    EXPECT_EQ(label->Owner(), form);
    EXPECT_EQ(label->Parent(), box->Parent());
    EXPECT_EQ(label->Control(), box);
    EXPECT_EQ(label->FocusControl(), box);
    EXPECT_FALSE(label->AutoSize());
    EXPECT_EQ(label->Top() + label->Height(), 60);
    EXPECT_EQ(box->LabelInfo()->OffsetX(), 0);
    EXPECT_EQ(box->LabelInfo()->OffsetY(), 0);

    box->LabelInfo()->SetVisible(false);
    EXPECT_EQ(form->FindComponent(L"BoxLabel2"), nullptr);
    EXPECT_THROW(box->AttachedLabel(), forms::Exception);

    // A caption freed by someone else is forgotten; a box freed takes its caption with it.
    box->LabelInfo()->SetVisible(true);
    forms::Free(box->AttachedLabel());
    EXPECT_FALSE(box->LabelInfo()->Visible());
    box->LabelInfo()->SetVisible(true);
    forms::Free(box);
    EXPECT_EQ(form->FindComponent(L"BoxLabel2"), nullptr);
}

TEST_F(AttachedLabelTest, CaptionOfAControlThatIsNoComponentOfItsFormNeverAttaches) {
    auto* box = new TOvcHistoryComboBox(nullptr);
    box->SetParent(form);
    box->SetBounds(20, 60, 200, 19);
    auto* label = new TOvcAttachedLabel(form);
    label->SetParent(form);
    label->SetControl(box);
    label->SetBounds(20, 40, 80, 13);
    Pump(30);
    EXPECT_FALSE(box->LabelInfo()->Visible());
    EXPECT_THROW(box->AttachedLabel(), forms::Exception);
    forms::Free(box);
    EXPECT_EQ(label->Control(), nullptr);
}

}  // namespace
