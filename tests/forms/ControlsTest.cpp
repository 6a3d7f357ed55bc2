#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "FormTestSupport.h"
#include "forms/ComCtrls.h"
#include "forms/ImgList.h"
#include "forms/StdCtrls.h"
#include "forms/TypInfo.h"

using namespace forms;

namespace {

class ControlOnFormTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TestForm(nullptr);
        form->SetClientSize(300, 200);
        form->FinishLayout();
    }
    void TearDown() override { forms::Free(form); }
    TestForm* form = nullptr;
};

// ---- List box ----

struct DrawProbe {
    std::vector<int> rows;
    std::vector<TColor> brushes;
    TListBox* list = nullptr;
    void Draw(TWinControl* control, int index, const RECT& rect, TOwnerDrawState state) {
        EXPECT_EQ(control, list);
        EXPECT_EQ(rect.bottom - rect.top, 13);
        rows.push_back(index);
        brushes.push_back((state & odSelected) ? list->Canvas().Brush().Color() : clNone);
        list->Canvas().FillRect(rect);
    }
};

TEST_F(ControlOnFormTest, SortedOwnerDrawnListKeepsRowsAlphabeticalWithTheirObjectsAndDrawsThem) {
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->SetBounds(0, 0, 300, 200);
    list->SetStyle(lbOwnerDrawFixed);
    list->SetItemHeight(13);
    list->SetSorted(true);
    DrawProbe probe;
    probe.list = list;
    list->OnDrawItem = Bind<&DrawProbe::Draw>(&probe);
    const struct {
        const wchar_t* text;
        int tag;
        int position;
    } rows[] = {{L"D:\\delta.jpg", 4, 0}, {L"D:\\Alpha.jpg", 1, 0}, {L"D:\\charlie.jpg", 3, 1}, {L"D:\\bravo.jpg", 2, 1}};
    for (const auto& row : rows) EXPECT_EQ(list->Items().AddObject(row.text, reinterpret_cast<TObject*>(row.tag)), row.position);
    EXPECT_EQ(list->Items().ToVector(),
              (std::vector<std::wstring>{L"D:\\Alpha.jpg", L"D:\\bravo.jpg", L"D:\\charlie.jpg", L"D:\\delta.jpg"}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list->Items().GetTag(i), i + 1);

    list->SetItemIndex(2);
    form->Show();
    list->Repaint();
    EXPECT_EQ(std::set<int>(probe.rows.begin(), probe.rows.end()), (std::set<int>{0, 1, 2, 3}));
    auto selected = std::find(probe.rows.begin(), probe.rows.end(), 2) - probe.rows.begin();
    EXPECT_EQ(probe.brushes[selected], clHighlight);

    list->SetItemIndex(-1);
    EXPECT_EQ(list->ItemIndex(), -1);
    list->Items().Clear();
    EXPECT_EQ(list->Items().Count(), 0);
}

TEST_F(ControlOnFormTest, ListRowsSurviveRecreatingTheWindow) {
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->Items().AddObject(L"b", reinterpret_cast<TObject*>(2));
    list->Items().AddObject(L"a", reinterpret_cast<TObject*>(1));
    list->SetItemIndex(1);
    list->SetSorted(true);  // makes the window again
    EXPECT_EQ(list->Items().ToVector(), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(list->Items().GetTag(0), 1);
    EXPECT_EQ(list->Items().GetTag(1), 2);
}

// ---- Combo box ----

class ComboBoxTest : public ControlOnFormTest {
protected:
    void SetUp() override {
        ControlOnFormTest::SetUp();
        box = new TComboBox(form);
        box->SetParent(form);
        box->SetBounds(10, 10, 200, 19);
        for (const wchar_t* text : {L"C:\\Photos", L"D:\\Cam", L"E:\\Out"}) box->Items().Add(text);
    }
    TComboBox* box = nullptr;
};

TEST_F(ComboBoxTest, RowsTextAndSelectionSurviveRecreatingTheWindow) {
    box->SetItemIndex(1);
    EXPECT_EQ(box->Text(), L"D:\\Cam");
    box->SetMaxLength(50);
    HWND before = box->Handle();
    box->RecreateWnd();
    EXPECT_NE(box->Handle(), before);
    EXPECT_EQ(box->Items().ToVector(), (std::vector<std::wstring>{L"C:\\Photos", L"D:\\Cam", L"E:\\Out"}));
    EXPECT_EQ(box->ItemIndex(), 1);
    EXPECT_EQ(box->Text(), L"D:\\Cam");
    EXPECT_NE(box->EditHandle(), nullptr);

    box->SetItemIndex(-1);
    box->SetText(L"typed text");
    box->RecreateWnd();
    EXPECT_EQ(box->ItemIndex(), -1);
    EXPECT_EQ(box->Text(), L"typed text");
}

TEST_F(ComboBoxTest, ItemsClearKeepsTheTextAndClearEmptiesEverything) {
    box->SetText(L"D:\\New");
    box->Items().Clear();
    EXPECT_EQ(box->Items().Count(), 0);
    EXPECT_EQ(box->Text(), L"D:\\New");
    box->Items().Add(L"x");
    box->SetItemIndex(0);
    box->Clear();
    EXPECT_EQ(box->Text(), L"");
    EXPECT_EQ(box->Items().Count(), 0);
    EXPECT_EQ(box->ItemIndex(), -1);
}

TEST_F(ComboBoxTest, SelectionOfTheEditFieldReadsAndWrites) {
    box->SetText(L"abcdef");
    box->SetSelStart(2);
    box->SetSelLength(3);
    EXPECT_EQ(box->SelStart(), 2);
    EXPECT_EQ(box->SelLength(), 3);
}

struct KeyFilter {
    std::vector<wchar_t> seen;
    void KeyPress(TObject*, wchar_t& key) {
        seen.push_back(key);
        if (key == L' ') key = L'_';
        if (key == L'\\') key = 0;
    }
};

TEST_F(ComboBoxTest, KeyPressInTheEditFieldCanReplaceOrSwallowACharacter) {
    KeyFilter filter;
    box->OnKeyPress = Bind<&KeyFilter::KeyPress>(&filter);
    box->SetText(L"");
    for (wchar_t c : std::wstring(L"a b\\c")) SendMessageW(box->EditHandle(), WM_CHAR, c, 1);
    EXPECT_EQ(box->Text(), L"a_bc");
    EXPECT_EQ(filter.seen, (std::vector<wchar_t>{L'a', L' ', L'b', L'\\', L'c'}));
}

TEST_F(ComboBoxTest, TypingRaisesOnChange) {
    EventLog log;
    box->OnChange = Bind<&EventLog::Notify>(&log);
    form->Show();
    box->SetFocus();
    SendMessageW(box->EditHandle(), WM_CHAR, L'x', 1);
    EXPECT_EQ(log.entries.size(), 1u);
}

// ---- Status bar, progress bar, image list ----

TEST_F(ControlOnFormTest, StatusTextIsReadableAsTheWindowTextAndProgressKeepsItsRange) {
    auto* status = new TStatusBar(form);
    status->SetParent(form);
    status->SetSimpleText(L"Prepare...");
    wchar_t text[64] = {};
    SendMessageW(status->Handle(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"Prepare...");

    auto* progress = new TProgressBar(form);
    progress->SetParent(form);
    progress->SetRange(0, 20);
    progress->SetPosition(7);
    EXPECT_EQ(progress->Position(), 7);
    EXPECT_EQ(SendMessageW(progress->Handle(), PBM_GETRANGE, FALSE, 0), 20);
}

TEST(ImageListTest, PixelsComeBackAsAnIconOfTheListSize) {
    TImageList images(nullptr);
    images.SetSize(13, 13);
    std::vector<uint32_t> pixels(13 * 13, 0x00000000);
    pixels[6 * 13 + 6] = 0xFF00C000;
    EXPECT_EQ(images.AddPixels(pixels.data()), 0);
    EXPECT_EQ(images.AddPixels(pixels.data()), 1);
    EXPECT_EQ(images.Count(), 2);
    IconHandle icon = images.GetIcon(1);
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 13);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
}

// ---- Fonts ----

TEST_F(ControlOnFormTest, ControlsFollowTheParentFontUntilGivenTheirOwn) {
    auto* plain = new TLabel(form);
    plain->SetParent(form);
    auto* bold = new TLabel(form);
    bold->SetParent(form);
    bold->Font().SetStyle(fsBold);
    EXPECT_EQ(plain->Font().Name(), L"MS Sans Serif");
    EXPECT_EQ(plain->Font().Height(), -11);
    form->Font().SetHeight(-13);
    EXPECT_TRUE(plain->ParentFont());
    EXPECT_EQ(plain->Font().Height(), -13);
    EXPECT_FALSE(bold->ParentFont());
    EXPECT_EQ(bold->Font().Height(), -11);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(plain->Handle(), WM_GETFONT, 0, 0)), plain->Font().Handle());
}

// ---- Published properties ----

TEST(PublishedPropertiesTest, ComboBoxListsItsPropertiesWithTheirKinds) {
    TComboBox box(nullptr);
    std::map<std::wstring, TTypeKind> kinds;
    for (const TPropInfo* prop : GetPropList(&box, tkProperties)) kinds[std::wstring(prop->Name)] = prop->Kind();
    EXPECT_EQ(kinds[L"Items"], tkClass);
    EXPECT_EQ(kinds[L"Text"], tkUString);
    EXPECT_EQ(kinds[L"Font"], tkClass);
    for (const wchar_t* name : {L"ItemIndex", L"MaxLength", L"DropDownCount", L"ItemHeight", L"Left", L"TabOrder"})
        EXPECT_EQ(kinds[name], tkInteger) << name;
    EXPECT_EQ(kinds[L"Visible"], tkEnumeration);

    const TPropInfo* text = GetPropInfo(&box, L"text");
    ASSERT_NE(text, nullptr);
    text->SetString(&box, L"D:\\Cam");
    EXPECT_EQ(box.Text(), L"D:\\Cam");
    EXPECT_EQ(text->GetString(&box), L"D:\\Cam");
    const TPropInfo* items = GetPropInfo(&box, L"Items");
    EXPECT_EQ(items->GetObjectValue(&box), &box.Items());
}

TEST(PublishedPropertiesTest, FontStyleIsASetWhoseElementNamesAreKnown) {
    TFont font;
    const TPropInfo* style = GetPropInfo(&font, L"Style");
    ASSERT_NE(style, nullptr);
    ASSERT_EQ(style->Kind(), tkSet);
    const TTypeInfo& element = *style->PropType->CompType;
    EXPECT_EQ(GetEnumName(element, 0), L"fsBold");
    EXPECT_EQ(GetEnumName(element, 3), L"fsStrikeOut");
    EXPECT_EQ(GetEnumValue(element, L"FSITALIC"), 1);
    style->SetOrdinal(&font, (1 << 0) | (1 << 2));
    EXPECT_EQ(font.Style(), fsBold | fsUnderline);
    EXPECT_EQ(GetPropInfo(&font, L"Name")->GetString(&font), L"MS Sans Serif");
}

}  // namespace

