#include "controls/BaseComboBox.h"

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "controls/TimerPool.h"
#include "forms/Forms.h"
#include "forms/ThemeFunctions.h"
#include "forms/PublishedTypes.h"
#include "runtime/TypInfo.h"

namespace controls {

using forms::TObject;
using forms::TStrings;

namespace {

void PlatformBeep() { MessageBeep(0); }

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && forms::SameText(text.substr(0, prefix.size()), prefix);
}

// Rows from start + 1 to the end, then from the top up to start itself, as the control searches.
template <typename Match>
int SearchRows(const TStrings& items, int start, Match match) {
    const int count = items.Count();
    if (start < -1 || start >= count) start = -1;
    for (int step = 1; step <= count; ++step) {
        int row = (start + step) % count;
        if (match(items.Get(row))) return row;
    }
    return -1;
}

// Keys that neither start nor cancel the delayed search: mouse buttons and Cancel,
// Tab, Clear, Shift, Ctrl, Alt, Pause, Caps Lock, Page Up/Down, the arrows, Select,
// Print, Execute, Print Screen, Insert, Delete, Help, F1 to F24, Num Lock, Scroll Lock.
bool IsNeutralKey(WORD key) {
    return (key >= 1 && key <= 4) || key == 9 || key == 12 || (key >= 16 && key <= 20) || key == 33 || key == 34 ||
           (key >= 37 && key <= 47) || (key >= 112 && key <= 135) || key == 144 || key == 145;
}

forms::TShiftState WheelShiftState(WPARAM wParam) {
    const WORD keys = LOWORD(wParam);
    forms::TShiftState shift = 0;
    if (keys & MK_SHIFT) shift |= forms::ssShift;
    if (keys & MK_CONTROL) shift |= forms::ssCtrl;
    if (GetKeyState(VK_MENU) < 0) shift |= forms::ssAlt;
    if (keys & MK_LBUTTON) shift |= forms::ssLeft;
    if (keys & MK_RBUTTON) shift |= forms::ssRight;
    if (keys & MK_MBUTTON) shift |= forms::ssMiddle;
    return shift;
}

class ThemeData {
public:
    ThemeData(HWND window, const wchar_t* classes) : FTheme(forms::theme::OpenThemeData(window, classes)) {}
    ~ThemeData() {
        if (FTheme) forms::theme::CloseThemeData(FTheme);
    }
    ThemeData(const ThemeData&) = delete;
    ThemeData& operator=(const ThemeData&) = delete;
    HTHEME Get() const { return FTheme; }

private:
    HTHEME FTheme;
};

class WindowDC {
public:
    explicit WindowDC(HWND window) : FWindow(window), FDC(GetDC(window)) {}
    ~WindowDC() {
        if (FDC) ReleaseDC(FWindow, FDC);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return FDC; }

private:
    HWND FWindow;
    HDC FDC;
};

void FillColor(HDC dc, const RECT& rect, forms::TColor color) {
    forms::GdiObject<HBRUSH> brush(CreateSolidBrush(forms::ColorToRGB(color)));
    FillRect(dc, &rect, brush.Get());
}

// A one-pixel frame: topLeft along the top and left edges, bottomRight along the others.
void DrawFrame(HDC dc, const RECT& r, forms::TColor topLeft, forms::TColor bottomRight) {
    FillColor(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    FillColor(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    FillColor(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    FillColor(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

}  // namespace

TBeepProc ComboBoxBeep = PlatformBeep;

bool ThemesActive() { return forms::theme::IsAppThemed() && forms::theme::IsThemeActive(); }

// ---- TOvcMRUList ----

void TOvcMRUList::SetMaxItems(int value) {
    FMaxItems = std::max(0, value);
    Shrink();
}

void TOvcMRUList::NewItem(const std::wstring& item, TObject* object) {
    int index = FList.IndexOf(item);
    if (index >= 0) {
        FList.Delete(index);
        FList.InsertObject(0, item, object);
        return;
    }
    FList.InsertObject(0, item, object);
    Shrink();
}

void TOvcMRUList::Shrink() {
    while (FList.Count() > FMaxItems) FList.Delete(FList.Count() - 1);
}

bool TOvcMRUList::RemoveItem(const std::wstring& item) {
    int index = FList.IndexOf(item);
    if (index < 0) return false;
    FList.Delete(index);
    return true;
}

// ---- TOvcBorder, TOvcBorders, TOvcHTColors ----

void TOvcBorder::Changed() {
    if (OnChange) OnChange(this);
}

void TOvcBorder::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Changed();
}

void TOvcBorder::SetPenColor(forms::TColor value) {
    if (value == FPenColor) return;
    FPenColor = value;
    Changed();
}

void TOvcBorder::SetPenStyle(int value) {
    if (value == FPenStyle) return;
    FPenStyle = value;
    Changed();
}

void TOvcBorder::SetPenWidth(int value) {
    if (value == FPenWidth) return;
    FPenWidth = value;
    Changed();
}

void TOvcBorder::SetBorderStyle(TOvcBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    Changed();
}

bool TOvcBorders::AnyEnabled() const {
    return FLeft.Enabled() || FRight.Enabled() || FTop.Enabled() || FBottom.Enabled();
}

void TOvcHTColors::Assign(const forms::TPersistent& source) {
    const auto* colors = dynamic_cast<const TOvcHTColors*>(&source);
    if (!colors) return TPersistent::Assign(source);
    FHighlight = colors->FHighlight;
    FShadow = colors->FShadow;
}

// ---- TOvcBaseComboBox ----

TOvcBaseComboBox::TOvcBaseComboBox(forms::TComponent* owner)
    : TCustomComboBox(owner),
      FBorders(std::make_unique<TOvcBorders>()),
      FHTColors(std::make_unique<TOvcHTColors>()),
      FLabelInfo(std::make_unique<TOvcLabelInfo>()),
      FMRUList(std::make_unique<TOvcMRUList>()),
      FList(std::make_unique<forms::TStringList>()) {
    FLabelInfo->SetOnChange(forms::Bind<&TOvcBaseComboBox::LabelChange>(this));
    FLabelInfo->SetOnAttach(forms::Bind<&TOvcBaseComboBox::LabelAttach>(this));
    // Buffered painting (the animated themed face) exists from Windows 6.0 on.
    if (LOBYTE(LOWORD(GetVersion())) >= 6) FBufferedPaintInitialized = SUCCEEDED(forms::theme::BufferedPaintInit());
    for (TOvcBorder* border : {FBorders->LeftBorder(), FBorders->RightBorder(), FBorders->TopBorder(),
                               FBorders->BottomBorder()})
        border->OnChange = forms::Bind<&TOvcBaseComboBox::BorderChanged>(this);
    AdjustItemHeight();
}

TOvcBaseComboBox::~TOvcBaseComboBox() {
    FLabelInfo->SetVisible(false);
    CancelAutoSearch();
    // The window goes while this class still handles its last messages.
    DestroyHandle();
    if (FBufferedPaintInitialized) forms::theme::BufferedPaintUnInit();
}

void TOvcBaseComboBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"COMBOBOX";
    params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | CBS_OWNERDRAWVARIABLE |
                    (FComboStyle == ocsDropDown ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
    if (FCtl3D) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TOvcBaseComboBox::InitializeWnd() {
    TCustomComboBox::InitializeWnd();
    if (FSaveItemIndex >= 0 && ItemIndex() != FSaveItemIndex) {
        std::wstring text = FText;
        TCustomComboBox::SetItemIndex(FSaveItemIndex);
        if (Text() != text) TWinControl::SetText(text);
    }
    FSaveItemIndex = -1;
    if (FDroppedWidth != -1) SendMessageW(FHandle, CB_SETDROPPEDWIDTH, FDroppedWidth, 0);
    // The rows came back at the common height; the separator row is taller.
    const int m = MRUCount();
    if (m > 0 && Items().Count() >= m) SendMessageW(FHandle, CB_SETITEMHEIGHT, m - 1, FItemHeight + 3);
    // A check posted to the window this one replaces went with it.
    PostMessageW(FHandle, OM_POSITIONLABEL, 0, 0);
}

void TOvcBaseComboBox::DestroyWnd() {
    FSaveItemIndex = ItemIndex();
    FIsHot = false;
    TCustomComboBox::DestroyWnd();
}

void TOvcBaseComboBox::Loaded() {
    TCustomComboBox::Loaded();
    AdjustItemHeight();
}

void TOvcBaseComboBox::FontChanged() {
    TCustomComboBox::FontChanged();
    if (!IsLoading()) AdjustItemHeight();
}

void TOvcBaseComboBox::ChangeScale(int M, int D) {
    FLabelInfo->FOffsetX = MulDiv(FLabelInfo->FOffsetX, M, D);
    FLabelInfo->FOffsetY = MulDiv(FLabelInfo->FOffsetY, M, D);
    TWinControl::ChangeScale(M, D);
}

void TOvcBaseComboBox::BoundsChanged() {
    TCustomComboBox::BoundsChanged();
    // Also when the system changed the height: the caption follows.
    if (FHandle) PostMessageW(FHandle, OM_POSITIONLABEL, 0, 0);
}

void TOvcBaseComboBox::SetEnabled(bool enabled) {
    TCustomComboBox::SetEnabled(enabled);
    if (FComboStyle == ocsDropDownList) SetThemeState(!enabled ? tsDisabled : FIsHot ? tsHot : tsNormal);
}

void TOvcBaseComboBox::AdjustItemHeight() {
    HDC dc = GetDC(nullptr);
    TEXTMETRICW metrics{};
    {
        forms::ScopedSelect font(dc, FFont.Handle());
        GetTextMetricsW(dc, &metrics);
    }
    ReleaseDC(nullptr, dc);
    SetItemHeight(metrics.tmHeight);
}

void TOvcBaseComboBox::SetItemHeight(int height) {
    if (height == FItemHeight || height <= 0) return;
    FItemHeight = height;
    RecreateWnd();
}

void TOvcBaseComboBox::SetItemIndex(int index) {
    TCustomComboBox::SetItemIndex(index);
    Invalidate();
}

void TOvcBaseComboBox::Clear() {
    TCustomComboBox::Clear();
    // The MRU list keeps its entries, so the list keeps showing them on top.
    if (MRUCount() > 0) RebuildMRUList(0);
}

void TOvcBaseComboBox::SetKeyDelay(int value) {
    if (value >= 0) FKeyDelay = value;
}

void TOvcBaseComboBox::SetDroppedWidth(int value) {
    if (value == FDroppedWidth) return;
    FDroppedWidth = value;
    if (FHandle) SendMessageW(FHandle, CB_SETDROPPEDWIDTH, value == -1 ? 0 : value, 0);
}

void TOvcBaseComboBox::SetStyle(TOvcComboStyle value) {
    if (value == FComboStyle) return;
    FComboStyle = value;
    RecreateWnd();
}

void TOvcBaseComboBox::SetCtl3D(bool value) {
    if (value == FCtl3D) return;
    FCtl3D = value;
    RecreateWnd();
}

void TOvcBaseComboBox::SetMRUListColor(forms::TColor value) {
    FMRUListColor = value;
    Invalidate();
}

TOvcAttachedLabel* TOvcBaseComboBox::AttachedLabel() const {
    if (!FLabelInfo->Visible()) throw forms::Exception(L"Label not attached");
    return FLabelInfo->ALabel;
}

// ---- The attached caption ----

bool TOvcBaseComboBox::CanPositionLabel() const {
    const TOvcAttachedLabel* label = FLabelInfo->ALabel;
    return FLabelInfo->Visible() && label && label->Parent() && !IsLoading();
}

void TOvcBaseComboBox::LabelOffsets(int& x, int& y) const {
    const TOvcAttachedLabel* label = FLabelInfo->ALabel;
    x = label->Left() - FLeft;
    y = DefaultLabelPosition == lpTopLeft ? label->Top() + label->Height() - FTop : label->Top() - FTop - FHeight;
}

void TOvcBaseComboBox::RecordLabelPosition() {
    if (!FLabelInfo->ALabel || !FLabelInfo->ALabel->Parent()) return;
    FLabelInfo->FVisible = true;
    int x = 0, y = 0;
    LabelOffsets(x, y);
    FLabelInfo->SetOffsets(x, y);
}

void TOvcBaseComboBox::PositionLabel() {
    if (!CanPositionLabel()) return;
    TOvcAttachedLabel* label = FLabelInfo->ALabel;
    const int top = DefaultLabelPosition == lpTopLeft ? FTop + FLabelInfo->OffsetY() - label->Height()
                                                      : FTop + FHeight + FLabelInfo->OffsetY();
    label->SetBounds(FLeft + FLabelInfo->OffsetX(), top, label->Width(), label->Height());
}

void TOvcBaseComboBox::LabelChange(TObject*) {
    if (!IsLoading()) PositionLabel();
}

void TOvcBaseComboBox::LabelAttach(TObject*, bool value) {
    // While loading, the caption comes from the layout and announces itself.
    if (IsLoading()) return;
    forms::TCustomForm* form = forms::GetParentForm(this);
    if (!form) return;
    FreeLabel();
    if (!value) return;
    auto* label = new TOvcAttachedLabel(form, this);
    AssignLabel(label);
    label->SetParent(FParent);
    std::wstring name;
    for (int number = 1;; ++number) {
        name = Name() + L"Label" + std::to_wstring(number);
        if (!form->FindComponent(name)) break;
    }
    label->SetName(name);
    label->SetCaption(name);
    FLabelInfo->SetOffsets(0, 0);
    PositionLabel();
    label->BringToFront();
    label->SetAutoSize(false);
}

void TOvcBaseComboBox::AssignLabel(TOvcAttachedLabel* label) {
    if (label == FLabelInfo->ALabel) return;
    if (FLabelInfo->ALabel) RemoveFreeNotification(FLabelInfo->ALabel);
    FLabelInfo->ALabel = label;
    // The box hears of the caption's end whoever owns it.
    if (label) FreeNotification(label);
}

void TOvcBaseComboBox::FreeLabel() {
    TOvcAttachedLabel* label = FLabelInfo->ALabel;
    AssignLabel(nullptr);
    forms::Free(label);
}

void TOvcBaseComboBox::Notification(forms::TComponent* component, forms::TOperation operation) {
    TCustomComboBox::Notification(component, operation);
    if (operation != forms::TOperation::opRemove || !component || component != FLabelInfo->ALabel) return;
    // The caption is forgotten in any case, so nothing ever reaches a freed one; while the
    // whole form goes, the settings stay as they were.
    FLabelInfo->ALabel = nullptr;
    const forms::TCustomForm* form = forms::GetParentForm(this);
    if (form && !form->IsDestroying()) FLabelInfo->FVisible = false;
}

void TOvcBaseComboBox::SetVisible(bool visible) {
    TCustomComboBox::SetVisible(visible);
    if (!IsLoading() && FLabelInfo->Visible() && FLabelInfo->ALabel) FLabelInfo->ALabel->SetVisible(Visible());
}

// ---- Searching ----

int TOvcBaseComboBox::FindPrefix(const std::wstring& text, int start) {
    // The control finds nothing for an empty text, yet it is a prefix of every row.
    if (text.empty()) return SearchRows(Items(), start, [](const std::wstring&) { return true; });
    if (FHandle) {
        LRESULT row = SendMessageW(FHandle, CB_FINDSTRING, start, reinterpret_cast<LPARAM>(text.c_str()));
        return row == CB_ERR ? -1 : static_cast<int>(row);
    }
    return SearchRows(Items(), start, [&](const std::wstring& row) { return StartsWithIgnoringCase(row, text); });
}

int TOvcBaseComboBox::FindExact(const std::wstring& text, int start) {
    if (FHandle && !text.empty()) {
        LRESULT row = SendMessageW(FHandle, CB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text.c_str()));
        return row == CB_ERR ? -1 : static_cast<int>(row);
    }
    return SearchRows(Items(), start, [&](const std::wstring& row) { return forms::SameText(row, text); });
}

// ---- The MRU section ----

void TOvcBaseComboBox::AddToMRUList(int row) {
    if (row < 0 || row >= Items().Count()) return;
    const int before = FMRUList->Count();
    const std::wstring text = Items().Get(row);
    TObject* object = Items().Objects(row);
    FMRUList->NewItem(text, object);
    if (FMRUList->Count() <= before) return;
    // A new entry gets its row now; a moved one waits for the next rebuild.
    const int selected = ItemIndex();
    Items().InsertObject(0, text, object);
    SetItemIndex(0);
    SetItemIndex(selected + 1);
}

void TOvcBaseComboBox::RebuildMRUList(int shownRows) {
    const std::wstring text = Text();
    TStrings& items = Items();
    for (int i = 0; i < shownRows && items.Count() > 0; ++i) items.Delete(0);
    FMRUList->Shrink();
    const int m = FMRUList->Count();
    for (int i = 0; i < m; ++i) items.InsertObject(i, FMRUList->Items().Get(i), FMRUList->Items().Objects(i));
    if (m > 0 && FHandle) SendMessageW(FHandle, CB_SETITEMHEIGHT, m - 1, FItemHeight + 3);
    const int found = FindExact(text, m - 1);
    SetItemIndex(found);
    // Selecting no row empties the edit field; a typed text that no row holds stays.
    if (found < 0 && Text() != text) TWinControl::SetText(text);
}

int TOvcBaseComboBox::AddItem(const std::wstring& item, TObject* object) {
    int index = -1;
    if (Items().IndexOf(item) < 0) {
        const int row = Items().AddObject(item, object);
        RebuildMRUList(MRUCount());
        index = row - MRUCount();
    }
    AdjustItemHeight();
    return index;
}

void TOvcBaseComboBox::InsertItem(int index, const std::wstring& item, TObject* object) {
    const int m = MRUCount();
    if (index >= 0 && index < Items().Count() - m) {
        Items().InsertObject(m + index, item, object);
        RebuildMRUList(m);
    }
    AdjustItemHeight();
}

void TOvcBaseComboBox::RemoveItem(const std::wstring& item) {
    // The list still shows the old MRU rows, one more than the list now holds.
    if (FMRUList->RemoveItem(item)) RebuildMRUList(MRUCount() + 1);
    const int row = Items().IndexOf(item);
    if (row < 0) return;
    const bool wasSelected = row == ItemIndex();
    Items().Delete(row);
    RebuildMRUList(MRUCount());
    if (wasSelected) {
        TWinControl::SetText(L"");
        SelectionChanged();
    }
    AdjustItemHeight();
}

void TOvcBaseComboBox::AssignItems(const TStrings& source) {
    TCustomComboBox::Clear();
    Items().Assign(source);
    // The MRU list is kept, and so are its rows on top of the new list.
    if (MRUCount() > 0) RebuildMRUList(0);
    AdjustItemHeight();
}

void TOvcBaseComboBox::ClearMRUList() {
    const int m = MRUCount();
    for (int i = 0; i < m && Items().Count() > 0; ++i) Items().Delete(0);
    FMRUList->Clear();
}

void TOvcBaseComboBox::ClearItems() {
    ClearMRUList();
    Clear();
}

void TOvcBaseComboBox::ForceItemsToMRUList(int count) {
    TStrings& items = Items();
    for (int c = 0; c < count && c < items.Count(); ++c) {
        const std::wstring text = items.Get(c);
        for (int j = c + 1; j < items.Count(); ++j) {
            if (items.Get(j) != text) continue;
            items.Delete(c);
            AddToMRUList(j - 1);
            break;
        }
    }
    RebuildMRUList(MRUCount());
}

const TStrings& TOvcBaseComboBox::List() {
    FList->Clear();
    const TStrings& items = Items();
    for (int i = MRUCount(), n = items.Count(); i < n; ++i) FList->AddObject(items.Get(i), items.Objects(i));
    return *FList;
}

int TOvcBaseComboBox::ListIndex() {
    const int index = ItemIndex();
    return index < 0 ? -1 : index - MRUCount();
}

void TOvcBaseComboBox::SetListIndex(int value) {
    const int row = MRUCount() + value;
    SetItemIndex(value < 0 || row >= Items().Count() ? -1 : row);
}

void TOvcBaseComboBox::SelectionChanged() {
    if (FMRUListCount > 0) RebuildMRUList(MRUCount());
    if (OnSelectionChange) OnSelectionChange(this);
}

// ---- Keys, completion and the searches ----

bool TOvcBaseComboBox::DoKeyDown(WORD& key, forms::TShiftState shift) {
    KeyDown(key, shift);
    return TCustomComboBox::DoKeyDown(key, shift);
}

void TOvcBaseComboBox::KeyDown(WORD& key, forms::TShiftState shift) {
    FLastKeyWasBackSpace = false;
    const bool modifier = (shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt)) != 0;
    switch (key) {
        case VK_BACK:
            FLastKeyWasBackSpace = true;
            break;
        case VK_RETURN:
            EnterSearch(true);
            break;
        case kAutoSearchKey:
            EnterSearch(false);
            break;
        case VK_ESCAPE:
            SetItemIndex(0);
            Change();
            break;
        case VK_END:
            if (!FStandardHomeEnd && !modifier) {
                SetItemIndex(Items().Count() - 1);
                Change();
            }
            break;
        case VK_HOME:
            if (!FStandardHomeEnd && !modifier) {
                SetItemIndex(0);
                Change();
            }
            break;
        default:
            if (IsNeutralKey(key) || !FAutoSearch) break;
            CancelAutoSearch();
            FTimer = SharedController()->TimerPool()->AddOneTime(forms::Bind<&TOvcBaseComboBox::AutoSearchTimer>(this),
                                                                 static_cast<uint32_t>(FKeyDelay));
            break;
    }
}

void TOvcBaseComboBox::CancelAutoSearch() {
    if (FTimer == -1) return;
    SharedController()->TimerPool()->Remove(FTimer);
    FTimer = -1;
}

void TOvcBaseComboBox::EnterSearch(bool fromEnter) {
    const int row = FindPrefix(Text(), MRUCount() - 1);
    if (row < 0) {
        if (fromEnter) ComboBoxBeep();
        return;
    }
    TWinControl::SetText(Items().Get(row));
    if (fromEnter) Click();
    SetSelLength(static_cast<int>(Text().size()));
    SelectionChanged();
}

void TOvcBaseComboBox::AutoSearchTimer(TObject*, int32_t, uint32_t, int32_t) {
    FTimer = -1;
    if (FLastKeyWasBackSpace || !FHandle) return;
    const int start = SelStart();
    WORD key = kAutoSearchKey;
    DoKeyDown(key, 0);
    SetSelStart(start);
    SetSelLength(static_cast<int>(Text().size()) - start);
}

bool TOvcBaseComboBox::DoKeyPress(wchar_t& key) {
    if (TCustomComboBox::DoKeyPress(key)) return true;
    return FAutoComplete && FEditHandle && CompleteTyping(key);
}

bool TOvcBaseComboBox::CompleteTyping(wchar_t key) {
    if (key == VK_BACK) return CompleteBackspace();
    if (key == VK_TAB || key == VK_ESCAPE) return false;
    std::wstring typed(1, key);
    // The second half of a surrogate pair is completed with the first when it is already waiting.
    MSG next{};
    const bool pair = IS_HIGH_SURROGATE(key) && PeekMessageW(&next, FEditHandle, WM_CHAR, WM_CHAR, PM_NOREMOVE) &&
                      IS_LOW_SURROGATE(static_cast<wchar_t>(next.wParam));
    if (pair) typed += static_cast<wchar_t>(next.wParam);

    const std::wstring text = Text();
    const size_t start = std::min<size_t>(SelStart(), text.size());
    const size_t length = std::min<size_t>(SelLength(), text.size() - start);
    const std::wstring wouldBe = text.substr(0, start) + typed + text.substr(start + length);
    const int row = FindPrefix(wouldBe, -1);
    if (row < 0) return false;
    if (pair) PeekMessageW(&next, FEditHandle, WM_CHAR, WM_CHAR, PM_REMOVE);

    const bool newRow = row != ItemIndex();
    const std::wstring rowText = Items().Get(row);
    SetItemIndex(row);
    // The letters typed keep their case; the rest comes from the row and stays selected.
    TWinControl::SetText(wouldBe + rowText.substr(std::min(wouldBe.size(), rowText.size())));
    SetSelStart(static_cast<int>(wouldBe.size()));
    SetSelLength(static_cast<int>(Text().size() - wouldBe.size()));
    if (newRow) {
        Click();
        Change();
    }
    return true;
}

bool TOvcBaseComboBox::CompleteBackspace() {
    std::wstring text = Text();
    const size_t start = std::min<size_t>(SelStart(), text.size());
    const size_t length = std::min<size_t>(SelLength(), text.size() - start);
    size_t caret = start;
    if (length > 0) {
        text.erase(start, length);
    } else if (start > 0) {
        const bool pair = start >= 2 && IS_LOW_SURROGATE(text[start - 1]) && IS_HIGH_SURROGATE(text[start - 2]);
        const size_t width = pair ? 2 : 1;
        caret = start - width;
        text.erase(caret, width);
    }
    SetItemIndex(-1);
    TWinControl::SetText(text);
    SetSelStart(static_cast<int>(caret));
    Change();
    return true;
}

// ---- Focus, mouse and messages ----

bool TOvcBaseComboBox::IsPartOfBox(HWND window) const {
    return window && (window == FHandle || window == FEditHandle || forms::FindOwningControl(window) == this);
}

// Focus moving between the box's own windows (the box and its edit field) is neither an entry nor an exit.
void TOvcBaseComboBox::FocusEntered(HWND previous) {
    if (IsPartOfBox(previous)) return;
    FIsFocused = true;
    PostMessageW(FHandle, OM_AFTERENTER, 0, 0);
    if (PaintsThemedFace() || FHotTrack) Invalidate();
}

void TOvcBaseComboBox::FocusLeft(HWND next) {
    if (IsPartOfBox(next)) return;
    FIsFocused = false;
    if (FHandle) PostMessageW(FHandle, OM_AFTEREXIT, 0, 0);
    if (FHotTrack) Invalidate();
}

void TOvcBaseComboBox::DoExit() {
    AddToMRUList(ItemIndex());
    TCustomComboBox::DoExit();
}

void TOvcBaseComboBox::MouseMoved(HWND window) {
    if (!FIsHot) {
        FIsHot = true;
        if (FComboStyle == ocsDropDownList && FEnabled && !DroppedDown()) SetThemeState(tsHot);
        if (FHotTrack) Invalidate();
    }
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
    TrackMouseEvent(&track);
}

void TOvcBaseComboBox::MouseLeft() {
    // Moving from the box onto its edit field (or back) is no leave.
    POINT cursor{};
    if (GetCursorPos(&cursor) && IsPartOfBox(WindowFromPoint(cursor))) return;
    FIsHot = false;
    if (FComboStyle == ocsDropDownList && FEnabled && !DroppedDown()) SetThemeState(tsNormal);
    if (FHotTrack) Invalidate();
}

void TOvcBaseComboBox::SetThemeState(uint32_t state) {
    if (state == FNewState) return;
    FNewState = state;
    Invalidate();
}

void TOvcBaseComboBox::WndProc(forms::TMessage& message) {
    switch (message.Msg) {
        case OM_AFTERENTER:
            if (AfterEnter) AfterEnter(this);
            message.Result = 0;
            return;
        case OM_AFTEREXIT:
            if (AfterExit) AfterExit(this);
            message.Result = 0;
            return;
        case OM_POSITIONLABEL:
            // The box has moved or changed size: the caption follows, keeping its offsets.
            if (CanPositionLabel()) {
                int x = 0, y = 0;
                LabelOffsets(x, y);
                if (x != FLabelInfo->OffsetX() || y != FLabelInfo->OffsetY()) PositionLabel();
            }
            message.Result = 0;
            return;
        case OM_RECORDLABELPOSITION:
            // The caption was placed by itself (or loaded): where it stands gives the offsets.
            RecordLabelPosition();
            message.Result = 0;
            return;
        case OM_ASSIGNLABEL: {
            auto* label = reinterpret_cast<TOvcAttachedLabel*>(message.LParam);
            const bool announced = label != FLabelInfo->ALabel;
            AssignLabel(label);
            // A caption new to the box gives its offsets at once: a check of the box's place posted
            // before it (by the box's first window) would otherwise move it to the old ones.
            if (announced) RecordLabelPosition();
            message.Result = 0;
            return;
        }
        case WM_SETFOCUS:
            TCustomComboBox::WndProc(message);
            FocusEntered(reinterpret_cast<HWND>(message.WParam));
            return;
        case WM_KILLFOCUS:
            TCustomComboBox::WndProc(message);
            FocusLeft(reinterpret_cast<HWND>(message.WParam));
            return;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // With an edit field every key was handled there; the edit passes some
            // on to the box (Enter and Escape in a dropped list) that must not count twice.
            if (FEditHandle) {
                DefaultHandler(message);
                return;
            }
            break;
        case WM_MOUSEWHEEL:
            TCustomComboBox::WndProc(message);
            if (OnMouseWheel)
                OnMouseWheel(this, WheelShiftState(message.WParam), HIWORD(message.WParam), LOWORD(message.LParam),
                             HIWORD(message.LParam));
            return;
        case WM_MOUSEMOVE:
            MouseMoved(FHandle);
            break;
        case WM_MOUSELEAVE:
            MouseLeft();
            break;
        case WM_PAINT:
            if (PaintsThemedFace()) {
                PaintThemedFace();
                message.Result = 0;
                return;
            }
            TCustomComboBox::WndProc(message);
            FCurrentState = FNewState;
            if (FHotTrack && !(ComponentState() & forms::csDesigning)) PaintHotTrackFrame();
            PaintBorderLines();
            return;
        case forms::CN_BASE + WM_COMMAND:
            switch (HIWORD(message.WParam)) {
                case CBN_DROPDOWN:
                    FCurItemIndex = ItemIndex();
                    if (FComboStyle == ocsDropDownList) SetThemeState(tsPressed);
                    if (FHotTrack) Invalidate();
                    break;
                case CBN_CLOSEUP: {
                    if (ItemIndex() >= 0) {
                        AddToMRUList(ItemIndex());
                        const int selected = ItemIndex();
                        if (selected >= 0) TWinControl::SetText(Items().Get(selected));
                        SelectionChanged();
                    }
                    if (FComboStyle == ocsDropDownList) SetThemeState(FEnabled ? tsNormal : tsDisabled);
                    if (FHotTrack) Invalidate();
                    break;
                }
                case CBN_SELCHANGE:
                    TCustomComboBox::WndProc(message);
                    Invalidate();
                    return;
                default:
                    break;
            }
            break;
        case forms::CN_BASE + WM_DRAWITEM:
            FDrawingEdit = (reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam)->itemState & ODS_COMBOBOXEDIT) != 0;
            TCustomComboBox::WndProc(message);
            FDrawingEdit = false;
            return;
        case forms::CN_BASE + WM_MEASUREITEM:
            TCustomComboBox::WndProc(message);
            reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam)->itemWidth = ClientWidth();
            return;
        default:
            break;
    }
    TCustomComboBox::WndProc(message);
}

void TOvcBaseComboBox::EditWndProc(forms::TMessage& message) {
    switch (message.Msg) {
        case WM_SETFOCUS:
            TCustomComboBox::EditWndProc(message);
            FocusEntered(reinterpret_cast<HWND>(message.WParam));
            return;
        case WM_KILLFOCUS:
            TCustomComboBox::EditWndProc(message);
            FocusLeft(reinterpret_cast<HWND>(message.WParam));
            return;
        case WM_MOUSEMOVE:
            MouseMoved(FEditHandle);
            break;
        case WM_MOUSELEAVE:
            MouseLeft();
            break;
        default:
            break;
    }
    TCustomComboBox::EditWndProc(message);
}

// ---- Painting ----

void TOvcBaseComboBox::DrawItem(int index, const RECT& rect, forms::TOwnerDrawState state) {
    forms::TCanvas& canvas = Canvas();
    HDC dc = canvas.Handle();
    const int m = MRUCount();
    if (index < m && !(state & forms::odSelected)) canvas.Brush().SetColor(FMRUListColor);
    canvas.FillRect(rect);
    const std::wstring text = Items().Get(index);
    {
        forms::ScopedSelect font(dc, canvas.Font().Handle());
        SetTextColor(dc, forms::ColorToRGB(canvas.Font().Color()));
        SetBkMode(dc, TRANSPARENT);
        ExtTextOutW(dc, rect.left + 2, rect.top, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    }
    // Two grey lines in the three extra pixels of the last MRU row part it from the list.
    if (m > 0 && index == m - 1 && DroppedDown() && !FDrawingEdit) {
        forms::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_GRAYTEXT)));
        forms::ScopedSelect selectPen(dc, pen.Get());
        forms::ScopedSelect selectBrush(dc, canvas.Brush().Handle());
        Rectangle(dc, rect.left - 1, rect.bottom - 3, rect.right + 1, rect.bottom);
    }
}

bool TOvcBaseComboBox::PaintsThemedFace() const {
    return FComboStyle == ocsDropDownList && FBufferedPaintInitialized && FHandle && ThemesActive();
}

void TOvcBaseComboBox::PaintThemedFace() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(FHandle, &paint);
    if (FNewState == tsNone) FNewState = FEnabled ? tsNormal : tsDisabled;
    if (!forms::theme::BufferedPaintRenderAnimation(FHandle, dc)) {
        RECT rect;
        GetClientRect(FHandle, &rect);
        BP_ANIMATIONPARAMS animation{sizeof(animation), 0, BPAS_LINEAR, 0};
        if (FCurrentState != tsNone && FCurrentState != FNewState) {
            ThemeData theme(FHandle, L"COMBOBOX");
            DWORD duration = 0;
            if (theme.Get() &&
                SUCCEEDED(forms::theme::GetThemeTransitionDuration(theme.Get(), CP_READONLY, FCurrentState, FNewState,
                                                                   TMT_TRANSITIONDURATIONS, &duration)))
                animation.dwDuration = duration;
        }
        HDC from = nullptr, to = nullptr;
        HANIMATIONBUFFER buffer =
            forms::theme::BeginBufferedAnimation(FHandle, dc, &rect, BPBF_COMPATIBLEBITMAP, nullptr, &animation,
                                                 &from, &to);
        if (buffer) {
            if (from) PaintFace(from, rect, FCurrentState);
            if (to) PaintFace(to, rect, FNewState);
            forms::theme::EndBufferedAnimation(buffer, TRUE);
        } else {
            PaintFace(dc, rect, FNewState);
        }
        FCurrentState = FNewState;
    }
    EndPaint(FHandle, &paint);
}

void TOvcBaseComboBox::PaintFace(HDC dc, const RECT& rect, uint32_t state) {
    ThemeData theme(FHandle, L"COMBOBOX");
    RECT button = rect;
    button.left = std::max(rect.left, rect.right - GetSystemMetrics(SM_CXVSCROLL));
    if (theme.Get()) {
        forms::theme::DrawThemeBackground(theme.Get(), dc, CP_READONLY, static_cast<int>(state), &rect, nullptr);
        forms::theme::DrawThemeBackground(theme.Get(), dc, CP_DROPDOWNBUTTONRIGHT, static_cast<int>(state), &button,
                                          nullptr);
    } else {
        FillColor(dc, rect, FColor);
    }
    const int index = ItemIndex();
    if (index < 0) return;
    RECT textRect{rect.left + 4, rect.top, button.left, rect.bottom};
    const std::wstring text = Items().Get(index);
    forms::ScopedSelect font(dc, FFont.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, forms::ColorToRGB(state == tsDisabled ? forms::clGrayText : FFont.Color()));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void TOvcBaseComboBox::PaintHotTrackFrame() {
    WindowDC windowDC(FHandle);
    HDC dc = windowDC.Get();
    if (!dc) return;
    RECT rect;
    GetClientRect(FHandle, &rect);
    const bool active = FIsHot || FIsFocused || DroppedDown();
    // The platform's sunken edge becomes two flat rings in the box colour.
    forms::GdiObject<HBRUSH> face(CreateSolidBrush(forms::ColorToRGB(FColor)));
    RECT ring = rect;
    for (int i = 0; i < 2; ++i) {
        FrameRect(dc, &ring, face.Get());
        InflateRect(&ring, -1, -1);
    }
    if (active && FHTBorder) DrawFrame(dc, rect, FHTColors->Shadow(), FHTColors->Highlight());
    // The drop-down button: a flat strip of 15 pixels at the right edge, raised while active.
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(FHandle, &info)) FillRect(dc, &info.rcButton, face.Get());
    RECT button{rect.right - 2 - 15, rect.top + 2, rect.right - 2, rect.bottom - 2};
    FillColor(dc, button, forms::clBtnFace);
    if (active) DrawFrame(dc, button, FHTColors->Highlight(), FHTColors->Shadow());
    const int middle = (button.left + button.right) / 2;
    const int top = (button.top + button.bottom) / 2 - 1;
    const forms::TColor arrow = FEnabled ? forms::clBtnText : forms::clGrayText;
    for (int i = 0; i < 3; ++i) FillColor(dc, RECT{middle - 2 + i, top + i, middle + 3 - i, top + i + 1}, arrow);
}

void TOvcBaseComboBox::PaintBorderLines() {
    if (!FBorders->AnyEnabled() || !FHandle) return;
    WindowDC windowDC(FHandle);
    HDC dc = windowDC.Get();
    if (!dc) return;
    RECT rect;
    GetClientRect(FHandle, &rect);
    auto line = [dc](TOvcBorder* border, int x1, int y1, int x2, int y2) {
        if (!border->Enabled()) return;
        forms::GdiObject<HPEN> pen(
            CreatePen(border->PenStyle(), border->PenWidth(), forms::ColorToRGB(border->PenColor())));
        forms::ScopedSelect select(dc, pen.Get());
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
    };
    // Each line lies wholly inside the box: its middle is half a pen width in from the edge.
    auto inset = [](TOvcBorder* border) { return border->PenWidth() / 2; };
    line(FBorders->LeftBorder(), inset(FBorders->LeftBorder()), 0, inset(FBorders->LeftBorder()), rect.bottom);
    line(FBorders->TopBorder(), 0, inset(FBorders->TopBorder()), rect.right, inset(FBorders->TopBorder()));
    const int right = rect.right - 1 - (FBorders->RightBorder()->PenWidth() - 1) / 2;
    line(FBorders->RightBorder(), right, 0, right, rect.bottom);
    const int bottom = rect.bottom - 1 - (FBorders->BottomBorder()->PenWidth() - 1) / 2;
    line(FBorders->BottomBorder(), 0, bottom, rect.right, bottom);
}

// ---- Hot track and border lines ----

void TOvcBaseComboBox::SetHotTrack(bool value) {
    // The flat look and the platform's visual styles do not mix.
    if (value && ThemesActive()) value = false;
    if (value == FHotTrack) return;
    FHotTrack = value;
    Invalidate();
}

void TOvcBaseComboBox::SetHotTrackBorder(bool value) {
    if (value)
        for (TOvcBorder* border : {FBorders->LeftBorder(), FBorders->RightBorder(), FBorders->TopBorder(),
                                   FBorders->BottomBorder()})
            border->SetEnabled(false);
    FHTBorder = value;
    Invalidate();
}

void TOvcBaseComboBox::BorderChanged(TObject*) {
    // Lines go with the flat look and no sunken edge; without lines the 3-D look returns.
    if (FBorders->AnyEnabled()) {
        FHotTrack = true;
        FHTBorder = false;
        FCtl3D = false;
    } else {
        FCtl3D = true;
        FHotTrack = false;
        FHTBorder = false;
    }
    RecreateWnd();
}

// ---- Published properties ----

namespace {

const std::wstring_view kBorderStyleNames[] = {L"bpsSolid"};
const forms::TTypeInfo kBorderStyleType{forms::tkEnumeration, L"TOvcBorderStyle", kBorderStyleNames};
const forms::TTypeInfo kBorderType{forms::tkClass, L"TOvcBorder"};

const forms::TPropInfo kBorderProperties[] = {
    forms::OrdinalProperty<TOvcBorder, &TOvcBorder::BorderStyle, &TOvcBorder::SetBorderStyle>(L"BorderStyle",
                                                                                             kBorderStyleType),
    forms::OrdinalProperty<TOvcBorder, &TOvcBorder::Enabled, &TOvcBorder::SetEnabled>(L"Enabled",
                                                                                     forms::TypeBoolean),
    forms::OrdinalProperty<TOvcBorder, &TOvcBorder::PenColor, &TOvcBorder::SetPenColor>(L"PenColor",
                                                                                       forms::published::ColorType),
    forms::OrdinalProperty<TOvcBorder, &TOvcBorder::PenStyle, &TOvcBorder::SetPenStyle>(L"PenStyle",
                                                                                       forms::TypeInteger),
    forms::OrdinalProperty<TOvcBorder, &TOvcBorder::PenWidth, &TOvcBorder::SetPenWidth>(L"PenWidth",
                                                                                       forms::TypeInteger),
};

const forms::TPropInfo kBordersProperties[] = {
    forms::ObjectProperty<TOvcBorders, &TOvcBorders::BottomBorder>(L"BottomBorder", kBorderType),
    forms::ObjectProperty<TOvcBorders, &TOvcBorders::LeftBorder>(L"LeftBorder", kBorderType),
    forms::ObjectProperty<TOvcBorders, &TOvcBorders::RightBorder>(L"RightBorder", kBorderType),
    forms::ObjectProperty<TOvcBorders, &TOvcBorders::TopBorder>(L"TopBorder", kBorderType),
};

const forms::TPropInfo kHTColorsProperties[] = {
    forms::OrdinalProperty<TOvcHTColors, &TOvcHTColors::Highlight, &TOvcHTColors::SetHighlight>(
        L"Highlight", forms::published::ColorType),
    forms::OrdinalProperty<TOvcHTColors, &TOvcHTColors::Shadow, &TOvcHTColors::SetShadow>(
        L"Shadow", forms::published::ColorType),
};

const forms::TTypeInfo kLabelInfoType{forms::tkClass, L"TOvcLabelInfo"};
const forms::TTypeInfo kHTColorsType{forms::tkClass, L"TOvcHTColors"};
const forms::TTypeInfo kBordersType{forms::tkClass, L"TOvcBorders"};

using Box = TOvcBaseComboBox;
const forms::TPropInfo kBaseComboBoxProperties[] = {
    forms::StringProperty<Box, &Box::About, nullptr>(L"About"),
    forms::OrdinalProperty<Box, &Box::AutoComplete, &Box::SetAutoComplete>(L"AutoComplete", forms::TypeBoolean),
    forms::OrdinalProperty<Box, &Box::AutoSearch, &Box::SetAutoSearch>(L"AutoSearch", forms::TypeBoolean),
    forms::ObjectProperty<Box, &Box::Borders>(L"Borders", kBordersType),
    forms::OrdinalProperty<Box, &Box::Ctl3D, &Box::SetCtl3D>(L"Ctl3D", forms::TypeBoolean),
    forms::OrdinalProperty<Box, &Box::HotTrack, &Box::SetHotTrack>(L"HotTrack", forms::TypeBoolean),
    forms::OrdinalProperty<Box, &Box::HotTrackBorder, &Box::SetHotTrackBorder>(L"HotTrackBorder",
                                                                              forms::TypeBoolean),
    forms::ObjectProperty<Box, &Box::HotTrackColors>(L"HotTrackColors", kHTColorsType),
    forms::OrdinalProperty<Box, &Box::ItemHeight, &Box::SetItemHeight>(L"ItemHeight", forms::TypeInteger),
    forms::OrdinalProperty<Box, &Box::KeyDelay, &Box::SetKeyDelay>(L"KeyDelay", forms::TypeInteger),
    forms::ObjectProperty<Box, &Box::LabelInfo>(L"LabelInfo", kLabelInfoType),
};

}  // namespace

const forms::TClassInfo* TOvcBorder::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcBorder", nullptr, kBorderProperties};
    return &info;
}

const forms::TClassInfo* TOvcBorders::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcBorders", nullptr, kBordersProperties};
    return &info;
}

const forms::TClassInfo* TOvcHTColors::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcHTColors", nullptr, kHTColorsProperties};
    return &info;
}

const forms::TClassInfo* TOvcBaseComboBox::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcBaseComboBox", TCustomComboBox::ClassInfo(), kBaseComboBoxProperties};
    return &info;
}

}  // namespace controls
