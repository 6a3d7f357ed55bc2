// The main window's frame, layout and marks.

#include <gtest/gtest.h>

#include "ControlBounds.h"
#include "DialogWatcher.h"
#include "KamdropTestForm.h"
#include "TextFit.h"
#include "app/ResultMarks.h"
#include "library/Hyperlink.h"

using namespace forms;

namespace {

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

TEST(MainWindowTest, WindowGrowsInHeightOnlyAndHasNoMaximizeButton) {
    auto* form = new TTestKamdropForm(Application);
    HWND window = form->Handle();
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME, 0);
    EXPECT_EQ(form->Caption(), L"Kamdrop");

    RECT before = WindowRect(window);
    EXPECT_EQ(before.right - before.left, 500);
    int listHeight = form->FilesListBox->Height();

    SetWindowPos(window, nullptr, 0, 0, 800, before.bottom - before.top + 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT taller = WindowRect(window);
    EXPECT_EQ(taller.right - taller.left, 500);
    EXPECT_EQ(taller.bottom - taller.top, before.bottom - before.top + 100);
    EXPECT_EQ(form->FilesListBox->Height(), listHeight + 100);
    EXPECT_EQ(form->StatusBar->Top() + form->StatusBar->Height(), form->ClientRect().bottom);

    SetWindowPos(window, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT smaller = WindowRect(window);
    EXPECT_EQ(smaller.right - smaller.left, 500);
    EXPECT_EQ(smaller.bottom - smaller.top, 270);
    forms::Free(form);
}

TEST(MainWindowTest, FieldsCaptionsAndMenusAreLaidOut) {
    auto* form = new TTestKamdropForm(Application);
    EXPECT_EQ(form->HistoryComboBoxDirSourceLabel1->Caption(), L"Input (camera)");
    EXPECT_EQ(form->HistoryComboBoxDirTargetLabel1->Caption(), L"Output (harddisk)");
    EXPECT_EQ(form->HistoryComboBoxLabelLabel1->Caption(), L"Label");
    EXPECT_EQ(form->OvcHistoryComboBoxLabel->MaxLength(), 50);
    EXPECT_EQ(form->StartButton->Caption(), L"&Start");
    EXPECT_EQ(form->MainMenu->Items().Items(0)->Caption(), L"E&xit");
    EXPECT_EQ(form->MainMenu->Items().Items(1), form->OptionsMenuItem);
    EXPECT_EQ(form->OptionsMenuItem->Caption(), L"&Options");
    EXPECT_EQ(form->OptionsMenuItem->Items(0)->Caption(), L"&Backup folder...");
    EXPECT_EQ(form->OptionsMenuItem->Items(1)->Caption(), L"No &backup");
    EXPECT_EQ(form->MainMenu->Items().Items(2), form->InfoMenuItem);
    EXPECT_EQ(form->InfoMenuItem->Items(0)->Caption(), L"&Software");
    EXPECT_EQ(form->InfoMenuItem->Items(1)->Caption(), L"&About");
    EXPECT_EQ(form->ClearMenuItem->Caption(), L"&Clear history");
    EXPECT_EQ(form->OvcHistoryComboBoxDirSource->PopupMenu(), form->PopupMenu);
    EXPECT_EQ(form->ImageList->Count(), 2);
    forms::Free(form);
}

TEST(MainWindowTest, FieldsAreHistoryBoxesAndTheLabelBoxTakesAtMostFiftyCharacters) {
    auto* form = new TTestKamdropForm(Application);
    const struct {
        controls::TOvcHistoryComboBox* box;
        int maxHistory, labelOffsetY, dropDownCount, tabOrder;
    } fields[] = {
        {form->OvcHistoryComboBoxDirSource, 10, -1, 8, 0},
        {form->OvcHistoryComboBoxDirTarget, 10, -1, 8, 2},
        {form->OvcHistoryComboBoxLabel, 20, 0, 20, 4},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(testing::Message() << field.tabOrder);
        EXPECT_EQ(field.box->MaxHistory(), field.maxHistory);
        EXPECT_TRUE(field.box->AutoComplete());
        EXPECT_TRUE(field.box->LabelInfo()->Visible());
        EXPECT_EQ(field.box->LabelInfo()->OffsetX(), 0);
        EXPECT_EQ(field.box->LabelInfo()->OffsetY(), field.labelOffsetY);
        EXPECT_EQ(field.box->ItemHeight(), 13);
        EXPECT_EQ(field.box->DropDownCount(), field.dropDownCount);
        EXPECT_EQ(field.box->TabOrder(), field.tabOrder);
        EXPECT_EQ(field.box->PopupMenu(), form->PopupMenu);
        EXPECT_NE(GetWindowLongW(field.box->Handle(), GWL_STYLE) & CBS_OWNERDRAWVARIABLE, 0);
    }

    form->Show();
    form->OvcHistoryComboBoxLabel->SetFocus();
    for (int i = 0; i < 60; ++i) SendMessageW(form->OvcHistoryComboBoxLabel->EditHandle(), WM_CHAR, L'a' + i % 26, 1);
    EXPECT_EQ(form->OvcHistoryComboBoxLabel->Text().size(), 50u);
    forms::Free(form);
}

TEST(MainWindowTest, CaptionsAndButtonsStandBesideTheirFieldsAndTheLabelFieldFitsItsPanel) {
    auto* form = new TTestKamdropForm(Application);
    form->Show();
    PumpMessagesFor(30);
    auto bounds = [](const TControl* control) {
        return Format(L"%d,%d,%d,%d", control->Left(), control->Top(), control->Width(), control->Height());
    };
    const struct {
        controls::TOvcHistoryComboBox* box;
        controls::TOvcAttachedLabel* caption;
        const wchar_t* captionBounds;
    } captions[] = {
        {form->OvcHistoryComboBoxDirSource, form->HistoryComboBoxDirSourceLabel1, L"0,1,221,13"},
        {form->OvcHistoryComboBoxDirTarget, form->HistoryComboBoxDirTargetLabel1, L"0,41,241,13"},
        {form->OvcHistoryComboBoxLabel, form->HistoryComboBoxLabelLabel1, L"300,2,141,13"},
    };
    for (const auto& c : captions) {
        SCOPED_TRACE(testing::Message() << c.caption->Caption());
        EXPECT_EQ(c.box->AttachedLabel(), c.caption);
        EXPECT_EQ(c.caption->Control(), c.box);
        EXPECT_EQ(bounds(c.caption), c.captionBounds);
    }
    // As high as its box, whose field the system sizes for the font.
    EXPECT_EQ(bounds(form->OvcAttachedButtonSource),
              Format(L"268,15,20,%d", form->OvcHistoryComboBoxDirSource->Height()));
    EXPECT_EQ(bounds(form->OvcAttachedButtonTarget),
              Format(L"268,55,20,%d", form->OvcHistoryComboBoxDirTarget->Height()));
    EXPECT_EQ(form->OvcAttachedButtonSource->AttachedControl(), form->OvcHistoryComboBoxDirSource);
    EXPECT_EQ(form->OvcAttachedButtonTarget->AttachedControl(), form->OvcHistoryComboBoxDirTarget);
    EXPECT_EQ(form->OvcAttachedButtonSource->Caption(), L"...");
    EXPECT_FALSE(form->OvcAttachedButtonSource->TabStop());

    // The label field's drop-down button lies wholly inside the panel, and the field keeps its anchors.
    controls::TOvcHistoryComboBox* label = form->OvcHistoryComboBoxLabel;
    EXPECT_EQ(label->Left() + label->Width(), form->TopPanel->ClientWidth());
    EXPECT_EQ(label->Anchors(), akLeft | akTop | akRight);
    RECT field, panel;
    GetWindowRect(label->Handle(), &field);
    GetClientRect(form->TopPanel->Handle(), &panel);
    MapWindowPoints(form->TopPanel->Handle(), nullptr, reinterpret_cast<POINT*>(&panel), 2);
    EXPECT_LE(field.right, panel.right);
    forms::Free(form);
}

TEST(MainWindowTest, WindowTextUsesTheBitmapMsSansSerifAtEightPoints) {
    auto* form = new TTestKamdropForm(Application);
    HDC dc = GetDC(form->Handle());
    HGDIOBJ old = SelectObject(dc, form->Font().Handle());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(form->Handle(), dc);
    EXPECT_STREQ(face, L"MS Sans Serif");
    EXPECT_EQ(metrics.tmHeight, 13);
    forms::Free(form);
}

TEST(MainWindowTest, MarksAreAGreenCheckAndARedCross) {
    auto dominant = [](const std::vector<uint32_t>& pixels) {
        uint64_t red = 0, green = 0, opaque = 0;
        for (uint32_t p : pixels)
            if ((p >> 24) > 128) {
                red += (p >> 16) & 0xFF;
                green += (p >> 8) & 0xFF;
                ++opaque;
            }
        return std::tuple{red, green, opaque};
    };
    auto [checkRed, checkGreen, checkPixels] = dominant(result_marks::CheckMark());
    auto [crossRed, crossGreen, crossPixels] = dominant(result_marks::Cross());
    EXPECT_GT(checkGreen, 4 * checkRed);
    EXPECT_GT(crossRed, 4 * crossGreen);
    EXPECT_GT(checkPixels, 15u);
    EXPECT_GT(crossPixels, 15u);
}

// ---- At every display scale ----

RECT ScreenRect(const TWinControl* control) {
    RECT rect;
    GetWindowRect(const_cast<TWinControl*>(control)->Handle(), &rect);
    return rect;
}

// Each "..." button and caption stands where its box says, as the windows show them: the button
// as high as the box, Separation pixels right of it; the caption OffsetY pixels below the box's top.
void ExpectCompanionsBesideTheirBoxes(TTestKamdropForm* form) {
    for (auto [button, box] : {std::pair{form->OvcAttachedButtonSource, form->OvcHistoryComboBoxDirSource},
                               std::pair{form->OvcAttachedButtonTarget, form->OvcHistoryComboBoxDirTarget}}) {
        SCOPED_TRACE(testing::PrintToString(button->Name()));
        const RECT b = ScreenRect(button), c = ScreenRect(box);
        EXPECT_EQ(b.top, c.top);
        EXPECT_EQ(b.bottom, c.bottom);
        EXPECT_EQ(b.left, c.right + button->Separation());
        EXPECT_EQ(box->Height(), c.bottom - c.top) << "the box's bounds are its window's";
    }
    for (auto* box : {form->OvcHistoryComboBoxDirSource, form->OvcHistoryComboBoxDirTarget, form->OvcHistoryComboBoxLabel}) {
        SCOPED_TRACE(testing::PrintToString(box->Name()));
        const RECT caption = ScreenRect(box->AttachedLabel()), c = ScreenRect(box);
        EXPECT_EQ(caption.left, c.left + box->LabelInfo()->OffsetX());
        EXPECT_EQ(caption.bottom, c.top + box->LabelInfo()->OffsetY());
    }
}

// What the system or a control's text sizes on the main window, not the layout: a drop-down
// box is as high as its field for the font, a "..." button as high as its box.
control_bounds::Free MainWindowFree(const std::wstring& name) {
    if (name.starts_with(L"OvcHistoryComboBox") || name.starts_with(L"OvcAttachedButton")) return {false, true};
    return {};
}

int TextHeight(const TFont& font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Handle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

TEST(MainWindowScaleTest, AtEveryScaleTheLayoutIsTheOneAt96ScaledAndEveryTextShowsWhole) {
    for (int ppi : {96, 120, 144, 192}) {
        SCOPED_TRACE(testing::Message() << ppi << " pixels per inch");
        auto* form = new TTestKamdropForm(Application);
        form->Show();
        PumpMessagesFor(30);
        const auto at96 = control_bounds::Of(form);
        form->ScaleForPPI(ppi);
        // The boxes make their windows anew for the larger font; their buttons follow a turn later.
        PumpMessagesFor(30);
        EXPECT_EQ(form->PixelsPerInch(), ppi);
        EXPECT_EQ(control_bounds::Unscaled(at96, control_bounds::Of(form), ppi, MainWindowFree),
                  std::vector<std::wstring>{});
        EXPECT_EQ(text_fit::CutTexts(form), std::vector<std::wstring>{});
        ExpectCompanionsBesideTheirBoxes(form);
        // The marks are drawn at the scale, and a row holds a mark and a line of text.
        const int mark = MulDiv(result_marks::Size, ppi, 96);
        EXPECT_EQ(form->ImageList->Width(), mark);
        EXPECT_EQ(SendMessageW(form->FilesListBox->Handle(), LB_GETITEMHEIGHT, 0, 0), form->FilesListBox->ItemHeight());
        EXPECT_GE(form->FilesListBox->ItemHeight(), std::max(mark, TextHeight(form->FilesListBox->Font())));
        EXPECT_EQ(form->Font().Height(), MulDiv(-11, ppi, 96));
        forms::Free(form);
    }
}

TEST(MainWindowScaleTest, AMoveToAnotherScaleTakesTheSuggestedRectangleAndMovingBackLeavesEverythingInPlace) {
    auto* form = new TTestKamdropForm(Application);
    form->Show();
    PumpMessagesFor(30);
    const auto at96 = control_bounds::Of(form);
    const RECT outer96 = WindowRect(form->Handle());
    auto move = [&](int ppi, const RECT& suggested) {
        SendMessageW(form->Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(ppi, ppi),
                     reinterpret_cast<LPARAM>(&suggested));
        PumpMessagesFor(30);
    };
    // Where the system would put it: the frame as it is (here it keeps its size), the area inside scaled.
    const int frameHeight = (outer96.bottom - outer96.top) - form->ClientHeight() + 2 * (MulDiv(5, 3, 2) - 5);
    const RECT suggested144{100, 80, 100 + MulDiv(outer96.right - outer96.left, 3, 2),
                            80 + frameHeight + MulDiv(form->ClientHeight(), 3, 2)};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        move(144, suggested144);
        EXPECT_EQ(form->PixelsPerInch(), 144);
        EXPECT_EQ(WindowRect(form->Handle()).left, 100);
        EXPECT_EQ(WindowRect(form->Handle()).top, 80);
        EXPECT_EQ(control_bounds::Unscaled(at96, control_bounds::Of(form), 144, MainWindowFree),
                  std::vector<std::wstring>{});
        ExpectCompanionsBesideTheirBoxes(form);
        move(96, outer96);
        EXPECT_EQ(form->PixelsPerInch(), 96);
        const RECT outer = WindowRect(form->Handle());
        EXPECT_EQ(outer.right - outer.left, outer96.right - outer96.left);
        EXPECT_EQ(outer.bottom - outer.top, outer96.bottom - outer96.top);
        // Exactly where it was: within no pixel.
        for (const auto& [name, rect] : control_bounds::Of(form)) {
            const RECT& before = at96.at(name);
            EXPECT_TRUE(rect.left == before.left && rect.top == before.top && rect.right == before.right &&
                        rect.bottom == before.bottom)
                << testing::PrintToString(name);
        }
        EXPECT_EQ(form->ImageList->Width(), result_marks::Size);
    }
    forms::Free(form);
}

}  // namespace

namespace {

// Draws one row of the results list into a bitmap and reads pixels back.
class RowPicture {
public:
    RowPicture() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        FDC = CreateCompatibleDC(nullptr);
        FBitmap = CreateDIBSection(FDC, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0);
        FOld = SelectObject(FDC, FBitmap);
    }
    ~RowPicture() {
        SelectObject(FDC, FOld);
        DeleteObject(FBitmap);
        DeleteDC(FDC);
    }
    HDC DC() const { return FDC; }
    COLORREF Pixel(int x, int y) const {
        uint32_t p = FBits[y * kWidth + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels in columns [from, to) whose colour is mostly red (or green).
    int CountDominant(int from, int to, bool red) const {
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = from; x < to; ++x) {
                COLORREF c = Pixel(x, y);
                int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
                count += red ? (r > 120 && r > 2 * g && r > 2 * b) : (g > 100 && g > 2 * r && g > 2 * b);
            }
        return count;
    }
    static constexpr int kWidth = 200, kHeight = 13;

private:
    HDC FDC;
    HBITMAP FBitmap;
    HGDIOBJ FOld;
    uint32_t* FBits = nullptr;
};

TEST(ResultsListTest, RowShowsItsMarkLeftOfTheTextOnTheRowsBackground) {
    auto* form = new TTestKamdropForm(Application);
    TStrings& rows = form->FilesListBox->Items();
    rows.AddObject(L"C:\\cam\\moved.jpg", nullptr);
    rows.AddObject(L"C:\\cam\\zfailed.jpg", reinterpret_cast<TObject*>(intptr_t(1)));
    TCanvas& canvas = form->FilesListBox->Canvas();
    const RECT rect{0, 0, RowPicture::kWidth, RowPicture::kHeight};

    for (TColor background : {clWindow, clHighlight}) {
        for (int row : {0, 1}) {
            RowPicture picture;
            canvas.SetHandle(picture.DC());
            canvas.Brush().SetColor(background);
            form->HandleFilesListBoxDrawItem(form->FilesListBox, row, rect, row == 0 ? 0 : odSelected);
            canvas.SetHandle(nullptr);
            // The mark covers pixels 2 to 14; left of it is the row's background.
            EXPECT_EQ(picture.Pixel(0, 6), ColorToRGB(background));
            EXPECT_EQ(picture.Pixel(1, 6), ColorToRGB(background));
            EXPECT_GT(picture.CountDominant(2, 15, row == 1), 10) << "row " << row;
            EXPECT_EQ(picture.CountDominant(2, 15, row == 0), 0) << "row " << row;
            // Text starts right of the mark.
            int textPixels = 0;
            for (int y = 0; y < RowPicture::kHeight; ++y)
                for (int x = 16; x < RowPicture::kWidth; ++x) textPixels += picture.Pixel(x, y) != ColorToRGB(background);
            EXPECT_GT(textPixels, 20);
        }
    }
    forms::Free(form);
}

}  // namespace

namespace {

std::vector<std::wstring> gOpened;
HINSTANCE WINAPI RecordOpen(HWND, LPCWSTR, LPCWSTR file, LPCWSTR, LPCWSTR, INT) {
    gOpened.push_back(file);
    return reinterpret_cast<HINSTANCE>(42);
}

TEST(MainWindowTest, SoftwareOpensTheSoftwarePageThroughTheShell) {
    const library::TShellExecute saved = library::ShellExecuteCall;
    library::ShellExecuteCall = RecordOpen;
    gOpened.clear();
    auto* form = new TTestKamdropForm(nullptr);
    form->Software1->Click();
    forms::Free(form);
    library::ShellExecuteCall = saved;
    EXPECT_EQ(gOpened, (std::vector<std::wstring>{L"https://vexa.example/software"}));
}

}  // namespace
