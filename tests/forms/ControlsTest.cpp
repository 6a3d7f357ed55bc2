#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "FormTestSupport.h"
#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/ImgList.h"
#include "forms/StdCtrls.h"
#include "runtime/TypInfo.h"

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

TEST_F(ControlOnFormTest, ListChangingQuietlyPaintsOnlyWhenAskedAndThenShowsTheRowsAsTheyAre) {
    auto* list = new TListBox(form);
    list->SetParent(form);
    list->SetBounds(0, 0, 300, 200);
    list->SetStyle(lbOwnerDrawFixed);
    DrawProbe probe;
    probe.list = list;
    list->OnDrawItem = Bind<&DrawProbe::Draw>(&probe);
    form->Show();
    list->Repaint();

    list->Items().BeginUpdate();
    for (const wchar_t* text : {L"a", L"b", L"c"}) list->Items().Add(text);
    list->SetItemIndex(2);
    list->SetItemIndex(-1);
    UpdateWindow(list->Handle());
    EXPECT_TRUE(probe.rows.empty());
    // Uncovered (or a frame is due) while still changing: every row is painted as it is now.
    RedrawWindow(list->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(std::set<int>(probe.rows.begin(), probe.rows.end()), (std::set<int>{0, 1, 2}));

    probe.rows.clear();
    list->Items().Add(L"d");
    UpdateWindow(list->Handle());
    EXPECT_TRUE(probe.rows.empty());
    list->Items().EndUpdate();
    UpdateWindow(list->Handle());
    EXPECT_EQ(std::set<int>(probe.rows.begin(), probe.rows.end()), (std::set<int>{0, 1, 2, 3}));
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

// A procedure that someone else puts on top of a box's window (as a button
// that follows the box does), chaining to the one it replaced.
struct ForeignProcedure {
    static inline WNDPROC previous = nullptr;
    static inline bool unhookOnDestroy = false;
    static inline std::vector<UINT> seen;
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        seen.push_back(msg);
        WNDPROC next = previous;
        if (msg == WM_DESTROY && unhookOnDestroy) SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(next));
        return CallWindowProcW(next, window, msg, wParam, lParam);
    }
};

TEST_F(ComboBoxTest, AProcedurePutOnTopStaysChainedWhenTheWindowIsMadeAgain) {
    EventLog log;
    box->OnChange = Bind<&EventLog::Notify>(&log);
    form->Show();
    auto typeInto = [&] {
        box->SetFocus();
        SendMessageW(box->EditHandle(), WM_CHAR, L'x', 1);
    };
    for (bool unhookOnDestroy : {false, true}) {
        SCOPED_TRACE(unhookOnDestroy ? "unhooks on destroy" : "stays to the end");
        log.entries.clear();
        ForeignProcedure::seen.clear();
        ForeignProcedure::unhookOnDestroy = unhookOnDestroy;
        HWND first = box->Handle();
        ForeignProcedure::previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(first, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignProcedure::Proc)));

        // Under the foreign procedure the box still gets its messages and is found from its window.
        typeInto();
        EXPECT_EQ(log.entries.size(), 1u);
        EXPECT_EQ(FindControl(first), box);
        EXPECT_EQ(FindOwningControl(box->EditHandle()), box);

        // Re-making the window must not cut the foreign procedure out of the old window's chain.
        box->SetItemIndex(1);
        box->RecreateWnd();
        HWND second = box->Handle();
        ASSERT_NE(second, first);
        EXPECT_FALSE(IsWindow(first));
        const auto& seen = ForeignProcedure::seen;
        EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_DESTROY)), seen.end());

        // The new window is bound afresh and the foreign procedure hears nothing of it.
        ForeignProcedure::seen.clear();
        EXPECT_EQ(FindControl(second), box);
        EXPECT_EQ(box->Text(), L"D:\\Cam");
        typeInto();
        EXPECT_EQ(log.entries.size(), 2u);
        EXPECT_TRUE(ForeignProcedure::seen.empty());
    }
}

// ---- Status bar, progress bar, image list ----

TEST_F(ControlOnFormTest, StatusTextIsReadableAsTheWindowTextAndProgressKeepsItsRange) {
    auto* status = new TStatusBar(form);
    status->SetParent(form);
    status->SetSimpleText(L"Prepare...");
    wchar_t text[64] = {};
    SendMessageW(status->Handle(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"Prepare...");
    EXPECT_EQ(SendMessageW(status->Handle(), WM_GETTEXTLENGTH, 0, 0), 10);
    EXPECT_EQ(SendMessageW(status->Handle(), WM_GETTEXT, 5, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, L"Prep");

    auto* progress = new TProgressBar(form);
    progress->SetParent(form);
    progress->SetRange(0, 20);
    progress->SetPosition(7);
    EXPECT_EQ(progress->Position(), 7);
    EXPECT_EQ(SendMessageW(progress->Handle(), PBM_GETRANGE, FALSE, 0), 20);
}

TEST_F(ControlOnFormTest, StatusAndProgressChangeQuietlyAndShowTheLastValueAtTheEnd) {
    auto* status = new TStatusBar(form);
    status->SetParent(form);
    auto* progress = new TProgressBar(form);
    progress->SetParent(form);
    progress->SetRange(0, 10);
    form->Show();
    status->SetSimpleText(L"first");
    progress->SetPosition(1);
    auto shownText = [&] {
        wchar_t text[64] = {};
        SendMessageW(status->Handle(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    auto shownPosition = [&] { return static_cast<int>(SendMessageW(progress->Handle(), PBM_DELTAPOS, 0, 0)); };

    status->BeginUpdate();
    progress->BeginUpdate();
    status->SetSimpleText(L"second");
    progress->SetPosition(7);
    // Whoever reads them meets the new values; the controls still show the old ones.
    wchar_t text[64] = {};
    SendMessageW(status->Handle(), WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"second");
    EXPECT_EQ(progress->Position(), 7);
    EXPECT_EQ(shownText(), L"first");
    EXPECT_EQ(shownPosition(), 1);

    status->EndUpdate();
    progress->EndUpdate();
    EXPECT_EQ(shownText(), L"second");
    EXPECT_EQ(shownPosition(), 7);
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

TEST(ImageListTest, DrawBlendsTheChosenImageOverWhatIsThere) {
    TImageList images(nullptr);
    images.SetSize(4, 4);
    std::vector<uint32_t> green(16, 0), red(16, 0);
    green[0] = 0xFF00C000;
    green[1] = 0x80FFFFFF;  // half white
    red[0] = 0xFFD00000;
    images.AddPixels(green.data());
    images.AddPixels(red.data());

    // A grey 8 x 4 surface: image 1 at x 0, image 0 at x 4.
    uint32_t* pixels = nullptr;
    GdiObject<HBITMAP> surface = CreatePixelBitmap(8, 4, pixels);
    std::fill(pixels, pixels + 32, 0x00404040u);
    MemoryDC dc(CreateCompatibleDC(nullptr));
    ScopedSelect selected(dc.Get(), surface.Get());
    TCanvas canvas(dc.Get());
    images.Draw(canvas, 0, 0, 1);
    images.Draw(canvas, 4, 0, 0);
    GdiFlush();
    const struct {
        int x, y;
        uint32_t rgb;
    } expected[] = {{0, 0, 0xD00000}, {1, 0, 0x404040}, {4, 0, 0x00C000}, {6, 0, 0x404040}, {4, 3, 0x404040}};
    for (const auto& e : expected) EXPECT_EQ(pixels[e.y * 8 + e.x] & 0xFFFFFF, e.rgb) << e.x << "," << e.y;
    // Half white over grey: about halfway between them in every channel.
    const uint32_t blended = pixels[5] & 0xFF;
    EXPECT_NEAR(static_cast<int>(blended), (0x40 + 0xFF) / 2, 2);
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

// ---- Labels, panels, pictures, shapes, pages ----

TEST_F(ControlOnFormTest, RightJustifiedLabelKeepsItsRightEdgeAndAWrappingOneItsWidth) {
    auto* right = new TLabel(form);
    right->SetParent(form);
    right->SetAlignment(taRightJustify);
    right->SetBounds(200, 10, 10, 13);
    right->SetCaption(L"feedback+kamdrop@vexa.example");
    EXPECT_GT(right->Width(), 100);
    EXPECT_EQ(right->Left() + right->Width(), 210);
    right->SetCaption(L"x");
    EXPECT_EQ(right->Left() + right->Width(), 210);
    EXPECT_TRUE(GetWindowLongW(right->Handle(), GWL_STYLE) & SS_RIGHT);

    auto* wrapping = new TLabel(form);
    wrapping->SetParent(form);
    wrapping->SetWordWrap(true);
    wrapping->SetBounds(0, 40, 80, 13);
    wrapping->SetCaption(L"several words that need more than one line here");
    EXPECT_EQ(wrapping->Width(), 80);
    EXPECT_GT(wrapping->Height(), 13 * 2);
}

// Rows of the label's picture that hold dark (text) pixels, drawn through its parent as on screen.
std::pair<int, int> InkRows(TLabel& label) {
    const int width = label.Width(), height = label.Height();
    HDC screen = GetDC(nullptr);
    MemoryDC dc(CreateCompatibleDC(screen));
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    ReleaseDC(nullptr, screen);
    ScopedSelect select(dc.Get(), bitmap.Get());
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_STATIC;
    item.itemAction = ODA_DRAWENTIRE;
    item.hwndItem = label.Handle();
    item.hDC = dc.Get();
    item.rcItem = RECT{0, 0, width, height};
    SendMessageW(label.Parent()->Handle(), WM_DRAWITEM, GetDlgCtrlID(label.Handle()), reinterpret_cast<LPARAM>(&item));
    int first = -1, last = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (GetRValue(GetPixel(dc.Get(), x, y)) < 100) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

TEST_F(ControlOnFormTest, LabelCentredVerticallyDrawsItsWrappedTextInTheMiddle) {
    form->SetColor(clWhite);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 80, 60);
    label->SetWordWrap(true);
    label->SetAlignment(taCenter);
    label->SetLayout(tlCenter);
    label->SetTransparent(true);
    label->Font().SetColor(clBlack);
    label->SetCaption(L"two short lines of text");
    auto [top, bottom] = InkRows(*label);
    ASSERT_GE(top, 0);
    EXPECT_GT(bottom - top, 13) << "two lines";
    EXPECT_NEAR(top, 60 - 1 - bottom, 4) << "as much room above the text as below it";
}

TEST_F(ControlOnFormTest, AlignedChildrenOfABevelledPanelStayInsideBothBevels) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 100);
    panel->SetBevelOuter(bvLowered);
    panel->SetBevelInner(bvRaised);
    auto* bottom = new TLabel(form);
    bottom->SetParent(panel);
    bottom->SetAutoSize(false);
    bottom->SetBounds(0, 0, 10, 30);
    bottom->SetAlign(alBottom);
    auto* rest = new TPanel(form);
    rest->SetParent(panel);
    rest->SetAlign(alClient);
    EXPECT_EQ(BoxOf(*bottom), (Box{2, 68, 196, 30}));
    EXPECT_EQ(BoxOf(*rest), (Box{2, 2, 196, 66}));
}

HWND LowestChild(HWND parent) { return GetWindow(GetWindow(parent, GW_CHILD), GW_HWNDLAST); }

TEST_F(ControlOnFormTest, PicturesAndShapesLieBeneathTheirWindowedSiblingsAndShowThePictureCentred) {
    form->SetColor(clWhite);
    auto* before = new TLabel(form);
    before->SetParent(form);
    before->SetCaption(L"before");
    before->SetLeft(100);
    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(0, 0, 40, 30);
    image->SetCenter(true);
    image->Picture().SetPixels(10, 10, std::vector<uint32_t>(100, 0xCC0000));
    auto* after = new TLabel(form);
    after->SetParent(form);
    after->SetCaption(L"after");
    after->SetLeft(100);
    EXPECT_EQ(LowestChild(form->Handle()), image->Handle());
    auto* shape = new TShape(form);
    shape->SetParent(form);
    EXPECT_EQ(LowestChild(form->Handle()), shape->Handle());
    EXPECT_THROW(image->Picture().SetPixels(10, 10, std::vector<uint32_t>(99)), Exception);
    EXPECT_EQ(image->Picture().Width(), 10);

    form->Show();
    image->Repaint();
    HDC dc = GetDC(image->Handle());
    EXPECT_EQ(GetPixel(dc, 20, 15), RGB(0xCC, 0, 0));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 255, 255));
    ReleaseDC(image->Handle(), dc);
}

TEST_F(ControlOnFormTest, PageControlShowsOnlyItsActivePageInsideTheTabArea) {
    auto* pages = new TPageControl(form);
    pages->SetParent(form);
    pages->SetAlign(alClient);
    pages->SetStyle(tsFlatButtons);
    TTabSheet* sheets[3];
    for (int i = 0; i < 3; ++i) {
        sheets[i] = new TTabSheet(form);
        sheets[i]->SetPageControl(pages);
        sheets[i]->SetCaption(L"Page " + std::to_wstring(i + 1));
    }
    ASSERT_EQ(pages->PageCount(), 3);
    EXPECT_EQ(pages->ActivePage(), sheets[0]);
    pages->SetActivePage(sheets[2]);
    EXPECT_FALSE(sheets[0]->Visible());
    EXPECT_TRUE(sheets[2]->Visible());
    EXPECT_EQ(SendMessageW(pages->Handle(), TCM_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessageW(pages->Handle(), TCM_GETITEMCOUNT, 0, 0), 3);
    RECT display{0, 0, pages->Width(), pages->Height()};
    SendMessageW(pages->Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    EXPECT_EQ(BoxOf(*sheets[2]), (Box{display.left, display.top, display.right - display.left,
                                     display.bottom - display.top}));
    forms::Free(sheets[2]);
    EXPECT_EQ(pages->ActivePage(), sheets[0]);
    EXPECT_TRUE(sheets[0]->Visible());
}

}  // namespace

namespace {

// A picture drawn for another scale blends its pixels: growing gives in-between shades where a
// repeated pixel would give hard steps, shrinking averages what each new pixel covers.
TEST(ResamplePixelsTest, GrowingBlendsNeighboursAndShrinkingAveragesThem) {
    const uint32_t black = 0xFF000000, white = 0xFFFFFFFF;
    const std::vector<uint32_t> grown = forms::ResamplePixels({black, white}, 2, 1, 6, 1);
    ASSERT_EQ(grown.size(), 6u);
    std::set<uint32_t> shades;
    for (size_t i = 0; i < grown.size(); ++i) {
        shades.insert(grown[i] & 0xFF);
        if (i > 0) {
            EXPECT_GE(grown[i] & 0xFF, grown[i - 1] & 0xFF) << "from black to white without going back";
        }
    }
    EXPECT_GE(shades.size(), 4u) << "in-between shades, not two blocks";
    EXPECT_EQ(grown.front() >> 24, 0xFFu);

    EXPECT_EQ(forms::ResamplePixels({black, black, white, white}, 4, 1, 2, 1), (std::vector<uint32_t>{black, white}));
    const uint32_t mixed = forms::ResamplePixels({black, white, white, black}, 2, 2, 1, 1).at(0);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 128, 1);
}

}  // namespace

namespace {

// The raster dialog face has sizes for 100 % only: scaled, a font named after it comes out as an
// outline font of the height asked for, bold drawn bold (not the nearest raster size, its bold a
// one-pixel smear); at 100 % it is the face named.
TEST(FontScaleTest, TheRasterDialogFaceScaledIsAnOutlineFontOfTheHeightAskedFor) {
    HDC dc = GetDC(nullptr);
    for (int ppi : {96, 120, 144, 192}) {
        for (int height : {-11, -24}) {
            SCOPED_TRACE(testing::Message() << ppi << " pixels per inch, height " << height);
            TFont font;
            font.SetName(L"MS Sans Serif");
            font.SetPixelsPerInch(ppi);
            font.SetHeight(MulDiv(height, ppi, 96));
            font.SetStyle(fsBold);
            HGDIOBJ old = SelectObject(dc, font.Handle());
            TEXTMETRICW metrics{};
            GetTextMetricsW(dc, &metrics);
            SelectObject(dc, old);
            LOGFONTW asked{};
            GetObjectW(font.Handle(), sizeof(asked), &asked);
            EXPECT_GE(metrics.tmWeight, FW_BOLD);
            if (ppi == 96) {
                EXPECT_STREQ(asked.lfFaceName, L"MS Sans Serif");
                continue;
            }
            EXPECT_NE(metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE), 0) << "a raster font";
            EXPECT_LE(std::abs(metrics.tmHeight - metrics.tmInternalLeading + font.Height()), 1)
                << metrics.tmHeight << " - " << metrics.tmInternalLeading;
        }
    }
    ReleaseDC(nullptr, dc);
}

}  // namespace
