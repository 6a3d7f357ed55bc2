#include "forms/StdCtrls.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "forms/Buttons.h"
#include "forms/Forms.h"
#include "forms/PublishedTypes.h"

namespace forms {

namespace {

// Resets a canvas's borrowed device context when drawing ends, also by an error.
class CanvasBinding {
public:
    CanvasBinding(TCanvas& canvas, HDC dc) : FCanvas(canvas) { canvas.SetHandle(dc); }
    ~CanvasBinding() { FCanvas.SetHandle(nullptr); }
    CanvasBinding(const CanvasBinding&) = delete;
    CanvasBinding& operator=(const CanvasBinding&) = delete;

private:
    TCanvas& FCanvas;
};

TOwnerDrawState DrawStateOf(UINT itemState) {
    TOwnerDrawState state = 0;
    if (itemState & ODS_SELECTED) state |= odSelected;
    if (itemState & ODS_FOCUS) state |= odFocused;
    if (itemState & ODS_DISABLED) state |= odDisabled;
    if (itemState & ODS_CHECKED) state |= odChecked;
    return state;
}

// The canvas as the row's owner expects it: the control's font and colour,
// or the selection colours for a selected row.
void PrepareRowCanvas(TCanvas& canvas, const TFont& font, TColor color, UINT itemState) {
    canvas.Font().Assign(font);
    canvas.Brush().SetColor(color);
    if (itemState & ODS_SELECTED) {
        canvas.Brush().SetColor(clHighlight);
        canvas.Font().SetColor(clHighlightText);
    }
    if (itemState & ODS_DISABLED) canvas.Font().SetColor(clGrayText);
}

// Rows of a list box or combo box, kept by the control while it has a
// window and in a string list while it has none.
struct ListMessages {
    UINT Count, TextLength, Text, GetData, SetData, Insert, Add, Remove, Reset;
    LRESULT Error;
};
constexpr ListMessages kListBoxMessages{LB_GETCOUNT,   LB_GETTEXTLEN,    LB_GETTEXT,     LB_GETITEMDATA,
                                        LB_SETITEMDATA, LB_INSERTSTRING, LB_ADDSTRING,   LB_DELETESTRING,
                                        LB_RESETCONTENT, LB_ERR};
constexpr ListMessages kComboBoxMessages{CB_GETCOUNT,   CB_GETLBTEXTLEN,  CB_GETLBTEXT,   CB_GETITEMDATA,
                                         CB_SETITEMDATA, CB_INSERTSTRING, CB_ADDSTRING,   CB_DELETESTRING,
                                         CB_RESETCONTENT, CB_ERR};

class TWindowStrings : public TStrings {
public:
    explicit TWindowStrings(const ListMessages& messages) : FMessages(messages) {}

    int Count() const override {
        if (HWND window = Window()) return static_cast<int>(SendMessageW(window, FMessages.Count, 0, 0));
        return Saved().Count();
    }

    std::wstring Get(int index) const override {
        HWND window = Window();
        if (!window) return Saved().Get(index);
        CheckIndex(index);
        LRESULT length = SendMessageW(window, FMessages.TextLength, index, 0);
        if (length == FMessages.Error) IndexError(index);
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        length = SendMessageW(window, FMessages.Text, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(length == FMessages.Error ? 0 : static_cast<size_t>(length));
        return text;
    }

    TObject* Objects(int index) const override {
        HWND window = Window();
        if (!window) return Saved().Objects(index);
        CheckIndex(index);
        return reinterpret_cast<TObject*>(SendMessageW(window, FMessages.GetData, index, 0));
    }

    void PutObject(int index, TObject* object) override {
        HWND window = Window();
        if (!window) return Saved().PutObject(index, object);
        CheckIndex(index);
        SendMessageW(window, FMessages.SetData, index, reinterpret_cast<LPARAM>(object));
    }

    void InsertObject(int index, const std::wstring& text, TObject* object) override {
        HWND window = Window();
        if (!window) return Saved().InsertObject(index, text, object);
        if (index < 0 || index > Count()) IndexError(index);
        LRESULT position = SendMessageW(window, FMessages.Insert, index, reinterpret_cast<LPARAM>(text.c_str()));
        if (position < 0) throw Exception(L"The list control refused a new row");
        SendMessageW(window, FMessages.SetData, position, reinterpret_cast<LPARAM>(object));
    }

    // A sorted control puts the row in its place and says where.
    int AddObject(const std::wstring& text, TObject* object) override {
        HWND window = Window();
        if (!window) return AddSaved(text, object);
        LRESULT position = SendMessageW(window, FMessages.Add, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (position < 0) throw Exception(L"The list control refused a new row");
        SendMessageW(window, FMessages.SetData, position, reinterpret_cast<LPARAM>(object));
        return static_cast<int>(position);
    }

    void Delete(int index) override {
        HWND window = Window();
        if (!window) return Saved().Delete(index);
        CheckIndex(index);
        SendMessageW(window, FMessages.Remove, index, 0);
    }

    void Clear() override {
        if (HWND window = Window())
            SendMessageW(window, FMessages.Reset, 0, 0);
        else
            Saved().Clear();
    }

    void BeginUpdate() override {
        if (FUpdateCount++ == 0)
            if (HWND window = Window()) SendMessageW(window, WM_SETREDRAW, FALSE, 0);
    }

    void EndUpdate() override {
        if (FUpdateCount == 0 || --FUpdateCount > 0) return;
        if (HWND window = Window()) {
            SendMessageW(window, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(window, nullptr, TRUE);
        }
    }

protected:
    virtual HWND Window() const = 0;
    virtual TStringList& Saved() const = 0;
    virtual bool Sorted() const { return false; }

private:
    void CheckIndex(int index) const {
        if (index < 0 || index >= Count()) IndexError(index);
    }

    // Without a window a sorted list still keeps its order: an entry equal
    // ignoring case goes before the existing one, as the control does it.
    int AddSaved(const std::wstring& text, TObject* object) {
        TStringList& saved = Saved();
        int index = saved.Count();
        if (Sorted()) {
            index = 0;
            while (index < saved.Count()) {
                std::wstring other = saved.Get(index);
                if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), static_cast<int>(text.size()),
                                   other.c_str(), static_cast<int>(other.size())) != CSTR_GREATER_THAN)
                    break;
                ++index;
            }
        }
        saved.InsertObject(index, text, object);
        return index;
    }

    const ListMessages& FMessages;
    int FUpdateCount = 0;
};

}  // namespace

class TListBoxStrings : public TWindowStrings {
public:
    explicit TListBoxStrings(TListBox* listBox) : TWindowStrings(kListBoxMessages), FListBox(listBox) {}

protected:
    HWND Window() const override { return FListBox->FHandle; }
    TStringList& Saved() const override {
        if (!FListBox->FSavedItems) FListBox->FSavedItems = std::make_unique<TStringList>();
        return *FListBox->FSavedItems;
    }
    bool Sorted() const override { return FListBox->FSorted; }

public:
    void BeginUpdate() override {
        ++FListBox->FUpdating;
        TWindowStrings::BeginUpdate();
    }
    void EndUpdate() override {
        if (FListBox->FUpdating > 0) --FListBox->FUpdating;
        TWindowStrings::EndUpdate();
    }

private:
    TListBox* FListBox;
};

class TComboBoxStrings : public TWindowStrings {
public:
    explicit TComboBoxStrings(TCustomComboBox* comboBox) : TWindowStrings(kComboBoxMessages), FComboBox(comboBox) {}

    // Removing the rows keeps the text of the edit field.
    void Clear() override {
        HWND window = Window();
        if (!window) return Saved().Clear();
        std::wstring text = FComboBox->Text();
        SendMessageW(window, CB_RESETCONTENT, 0, 0);
        SetWindowTextW(window, text.c_str());
    }

protected:
    HWND Window() const override { return FComboBox->FHandle; }
    TStringList& Saved() const override {
        if (!FComboBox->FSavedItems) FComboBox->FSavedItems = std::make_unique<TStringList>();
        return *FComboBox->FSavedItems;
    }

private:
    TCustomComboBox* FComboBox;
};

// ---- TLabel ----

TLabel::TLabel(TComponent* owner) : TWinControl(owner) {
    FParentColor = true;
    FWidth = 65;
    FHeight = 13;
}

void TLabel::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"STATIC";
    // SS_NOTIFY: a label takes clicks (OnClick) instead of passing them to its parent.
    params.Style |= SS_NOTIFY;
    // The static control cannot centre wrapped text vertically: such a label draws itself.
    if (FLayout != tlTop)
        params.Style |= SS_OWNERDRAW;
    else if (FAlignment == taRightJustify)
        params.Style |= SS_RIGHT;
    else if (FAlignment == taCenter)
        params.Style |= SS_CENTER;
    else
        params.Style |= FWordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

void TLabel::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    RecreateWnd();
}

void TLabel::SetWordWrap(bool value) {
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
    AdjustSize();
}

void TLabel::SetLayout(TTextLayout value) {
    if (value == FLayout) return;
    FLayout = value;
    RecreateWnd();
}

void TLabel::Loaded() {
    TWinControl::Loaded();
    AdjustSize();
}

UINT TLabel::DrawTextFlags() const {
    UINT flags = DT_EXPANDTABS;
    if (FWordWrap) flags |= DT_WORDBREAK;
    if (FAlignment == taRightJustify) flags |= DT_RIGHT;
    if (FAlignment == taCenter) flags |= DT_CENTER;
    return flags;
}

void TLabel::DrawText(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT bounds = item.rcItem;
    FillRect(dc, &bounds, FTransparent && FParent ? FParent->BackgroundBrush() : BackgroundBrush());
    std::wstring text = Caption();
    ScopedSelect font(dc, FFont.Handle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRGB(FEnabled ? FFont.Color() : clGrayText));
    RECT measured = bounds;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DrawTextFlags() | DT_CALCRECT);
    int spare = (bounds.bottom - bounds.top) - (measured.bottom - measured.top);
    if (FLayout == tlCenter) bounds.top += spare / 2;
    if (FLayout == tlBottom) bounds.top += spare;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, DrawTextFlags());
}

void TLabel::SetAutoSize(bool value) {
    FAutoSize = value;
    AdjustSize();
}

void TLabel::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Invalidate();
}

void TLabel::SetFocusControl(TWinControl* control) {
    if (control == FFocusControl) return;
    if (FFocusControl) RemoveFreeNotification(FFocusControl);
    FFocusControl = control;
    if (control) FreeNotification(control);
}

bool TLabel::DialogChar(wchar_t letter) {
    if (!FFocusControl || !FEnabled || CaptionAccelerator(Caption()) != letter) return false;
    if (!FFocusControl->CanFocus()) return false;
    FFocusControl->SetFocus();
    return true;
}

void TLabel::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TLabel::TextChanged() {
    TWinControl::TextChanged();
    AdjustSize();
}

void TLabel::FontChanged() {
    TWinControl::FontChanged();
    AdjustSize();
}

void TLabel::AdjustSize() {
    if (!FAutoSize || IsLoading()) return;
    HDC dc = GetDC(nullptr);
    // A wrapping label keeps its width and takes the height of its lines.
    RECT rect{0, 0, FWordWrap ? FWidth : 0, 0};
    {
        ScopedSelect font(dc, FFont.Handle());
        std::wstring text = Caption();
        if (text.empty()) text = L" ";
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                    DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0));
    }
    ReleaseDC(nullptr, dc);
    int width = FWordWrap ? FWidth : static_cast<int>(rect.right);
    int left = FAlignment == taRightJustify ? FLeft + FWidth - width : FLeft;
    SetBounds(left, FTop, width, rect.bottom);
}

void TLabel::WndProc(TMessage& message) {
    if (message.Msg == CN_BASE + WM_COMMAND) {
        if (HIWORD(message.WParam) == STN_CLICKED) Click();
        message.Result = 0;
        return;
    }
    if (message.Msg == CN_BASE + WM_DRAWITEM) {
        DrawText(*reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam));
        message.Result = TRUE;
        return;
    }
    // An owner-drawn static control repaints only on WM_PAINT: a new text or font must ask for one.
    if ((message.Msg == WM_SETTEXT || message.Msg == WM_SETFONT) && FLayout != tlTop) {
        TWinControl::WndProc(message);
        Invalidate();
        return;
    }
    if (message.Msg == CN_BASE + WM_CTLCOLORSTATIC && FTransparent) {
        // The parent's colour shows through: its brush fills, the text has no background.
        HDC dc = reinterpret_cast<HDC>(message.WParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(FFont.Color()));
        message.Result = reinterpret_cast<LRESULT>(FParent ? FParent->BackgroundBrush() : BackgroundBrush());
        return;
    }
    TWinControl::WndProc(message);
}

// ---- TListBox ----

TListBox::TListBox(TComponent* owner) : TWinControl(owner), FItems(std::make_unique<TListBoxStrings>(this)) {
    FColor = clWindow;
    FWidth = 121;
    FHeight = 97;
    FTabStop = true;
}

TListBox::~TListBox() { DestroyHandle(); }

TStrings& TListBox::Items() { return *FItems; }

void TListBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"LISTBOX";
    params.Style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
    params.ExStyle |= WS_EX_CLIENTEDGE;
    if (FSorted) params.Style |= LBS_SORT;
    if (FStyle == lbOwnerDrawFixed) params.Style |= LBS_OWNERDRAWFIXED | LBS_HASSTRINGS;
    if (FStyle == lbOwnerDrawVariable) params.Style |= LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS;
}

void TListBox::InitializeWnd() {
    if (FStyle == lbOwnerDrawFixed) SendMessageW(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
    if (FSavedItems) {
        std::unique_ptr<TStringList> saved = std::move(FSavedItems);
        for (int i = 0; i < saved->Count(); ++i) FItems->AddObject(saved->Get(i), saved->Objects(i));
    }
    if (FSavedItemIndex >= 0) SendMessageW(FHandle, LB_SETCURSEL, FSavedItemIndex, 0);
    if (FSavedTopIndex > 0) SendMessageW(FHandle, LB_SETTOPINDEX, FSavedTopIndex, 0);
    FSavedItemIndex = -1;
    FSavedTopIndex = 0;
}

void TListBox::DestroyWnd() {
    TWinControl::DestroyWnd();
    auto saved = std::make_unique<TStringList>();
    for (int i = 0, count = FItems->Count(); i < count; ++i) saved->AddObject(FItems->Get(i), FItems->Objects(i));
    FSavedItemIndex = static_cast<int>(SendMessageW(FHandle, LB_GETCURSEL, 0, 0));
    FSavedTopIndex = static_cast<int>(SendMessageW(FHandle, LB_GETTOPINDEX, 0, 0));
    FSavedItems = std::move(saved);
}

void TListBox::SetStyle(TListBoxStyle style) {
    if (style == FStyle) return;
    FStyle = style;
    RecreateWnd();
}

void TListBox::SetSorted(bool sorted) {
    if (sorted == FSorted) return;
    FSorted = sorted;
    RecreateWnd();
}

void TListBox::SetItemHeight(int height) {
    if (height == FItemHeight || height <= 0) return;
    FItemHeight = height;
    if (!FHandle) return;
    if (FStyle == lbOwnerDrawVariable) return RecreateWnd();
    SendMessageW(FHandle, LB_SETITEMHEIGHT, 0, height);
    Invalidate();
}

void TListBox::ChangeScale(int M, int D) {
    TWinControl::ChangeScale(M, D);
    SetItemHeight(MulDiv(FItemHeight, M, D));
}

int TListBox::ItemIndex() {
    if (!FHandle) return FSavedItemIndex;
    return static_cast<int>(SendMessageW(FHandle, LB_GETCURSEL, 0, 0));
}

void TListBox::SetItemIndex(int index) {
    if (!FHandle) {
        FSavedItemIndex = index;
        return;
    }
    SendMessageW(FHandle, LB_SETCURSEL, index, 0);
}

int TListBox::TopIndex() {
    if (!FHandle) return FSavedTopIndex;
    return static_cast<int>(SendMessageW(FHandle, LB_GETTOPINDEX, 0, 0));
}

void TListBox::DrawItem(int index, const RECT& rect, TOwnerDrawState state) {
    if (OnDrawItem) return OnDrawItem(this, index, rect, state);
    FCanvas.FillRect(rect);
    if (index >= 0) FCanvas.TextOut(rect.left + 2, rect.top, FItems->Get(index));
}

void TListBox::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_PAINT:
        case WM_PRINTCLIENT:
            // While rows change quietly the list control would paint nothing, and
            // a window uncovered meanwhile would stay blank. Asked to paint, it
            // shows the rows as they are now: redraw goes on for the paint (the
            // control then takes the whole list as changed if a row changed).
            if (FUpdating > 0 && FHandle) {
                TMessage redrawOn{WM_SETREDRAW, TRUE, 0}, redrawOff{WM_SETREDRAW, FALSE, 0};
                DefaultHandler(redrawOn);
                DefaultHandler(message);
                DefaultHandler(redrawOff);
                return;
            }
            break;
        case CN_BASE + WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
            message.Result = TRUE;
            // A focus change alone toggles the focus rectangle.
            if (item->itemAction == ODA_FOCUS) {
                DrawFocusRect(item->hDC, &item->rcItem);
                return;
            }
            {
                CanvasBinding binding(FCanvas, item->hDC);
                PrepareRowCanvas(FCanvas, FFont, FColor, item->itemState);
                if (static_cast<int>(item->itemID) >= 0)
                    DrawItem(static_cast<int>(item->itemID), item->rcItem, DrawStateOf(item->itemState));
                else
                    FCanvas.FillRect(item->rcItem);
            }
            if (item->itemState & ODS_FOCUS) DrawFocusRect(item->hDC, &item->rcItem);
            return;
        }
        case CN_BASE + WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam)->itemHeight = FItemHeight;
            message.Result = TRUE;
            return;
        case CN_BASE + WM_COMMAND:
            if (HIWORD(message.WParam) == LBN_SELCHANGE) Click();
            message.Result = 0;
            return;
        default:
            break;
    }
    TWinControl::WndProc(message);
}

// ---- TCustomComboBox ----

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), FItems(std::make_unique<TComboBoxStrings>(this)) {
    FColor = clWindow;
    FWidth = 145;
    FHeight = 21;
    FTabStop = true;
}

TCustomComboBox::~TCustomComboBox() { DestroyHandle(); }

TStrings& TCustomComboBox::Items() { return *FItems; }

void TCustomComboBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"COMBOBOX";
    params.Style |= WS_VSCROLL;
    switch (FStyle) {
        case csDropDown:
            params.Style |= CBS_DROPDOWN | CBS_AUTOHSCROLL;
            break;
        case csSimple:
            params.Style |= CBS_SIMPLE | CBS_AUTOHSCROLL;
            break;
        case csDropDownList:
            params.Style |= CBS_DROPDOWNLIST;
            break;
        case csOwnerDrawFixed:
            params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
            break;
        case csOwnerDrawVariable:
            params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS;
            break;
    }
}

int TCustomComboBox::WindowHeight(int height) {
    // The window of a drop-down combo box includes its list.
    if (FStyle == csSimple) return height;
    return height + FDropDownCount * FItemHeight + 2;
}

void TCustomComboBox::ChangeScale(int M, int D) {
    TWinControl::ChangeScale(M, D);
    SetItemHeight(MulDiv(FItemHeight, M, D));
}

void TCustomComboBox::FollowWindowHeight() {
    // A drop-down box's window is as high as the system makes its field for the font,
    // whatever height was asked; the bounds follow, so that what stands beside it matches.
    if (!FHandle || FStyle == csSimple) return;
    RECT rect;
    if (!GetWindowRect(FHandle, &rect) || rect.bottom - rect.top == FHeight) return;
    FHeight = rect.bottom - rect.top;
    BoundsChanged();
}

void TCustomComboBox::InitializeWnd() {
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (GetComboBoxInfo(FHandle, &info) && info.hwndItem && info.hwndItem != FHandle) {
        FEditHandle = info.hwndItem;
        FEditBinding = BindChildWindow(FEditHandle);
    }
    SendMessageW(FHandle, CB_LIMITTEXT, FMaxLength, 0);
    if (FStyle == csOwnerDrawFixed) SendMessageW(FHandle, CB_SETITEMHEIGHT, 0, FItemHeight);
    if (FSavedItems) {
        std::unique_ptr<TStringList> saved = std::move(FSavedItems);
        for (int i = 0; i < saved->Count(); ++i) FItems->AddObject(saved->Get(i), saved->Objects(i));
    }
    if (FSavedItemIndex >= 0) SendMessageW(FHandle, CB_SETCURSEL, FSavedItemIndex, 0);
    // A text edited after the row was chosen stays as it was.
    if (TWinControl::Text() != FText) SetWindowTextW(FHandle, FText.c_str());
    FSavedItemIndex = -1;
    FollowWindowHeight();
}

void TCustomComboBox::DestroyWnd() {
    TWinControl::DestroyWnd();
    auto saved = std::make_unique<TStringList>();
    for (int i = 0, count = FItems->Count(); i < count; ++i) saved->AddObject(FItems->Get(i), FItems->Objects(i));
    FSavedItemIndex = static_cast<int>(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
    FSavedText = FText;
    FSavedItems = std::move(saved);
    if (FEditBinding) FEditBinding->Release();
    FEditBinding = nullptr;
    FEditHandle = nullptr;
}

void TCustomComboBox::ChildWndProc(HWND window, TMessage& message) {
    if (window == FEditHandle) return EditWndProc(message);
    TWinControl::ChildWndProc(window, message);
}

void TCustomComboBox::BoundWindowDestroyed(HWND window) {
    if (window == FEditHandle) {
        FEditHandle = nullptr;
        FEditBinding = nullptr;
    }
    TWinControl::BoundWindowDestroyed(window);
}

HWND TCustomComboBox::EditHandle() { return FEditHandle; }

std::wstring TCustomComboBox::Text() const {
    // A drop-down box keeps its text in its edit field and answers for it from
    // there; asked directly, the field spares the box's window the messages
    // (a procedure put over it, an attached button's, costs a lookup on each).
    return FEditHandle ? WindowText(FEditHandle) : TWinControl::Text();
}

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
    if (style == FStyle) return;
    FStyle = style;
    RecreateWnd();
}

int TCustomComboBox::ItemIndex() {
    if (!FHandle) return FSavedItemIndex;
    return static_cast<int>(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetItemIndex(int index) {
    if (FHandle) {
        SendMessageW(FHandle, CB_SETCURSEL, index, 0);
        return;
    }
    FSavedItemIndex = index;
    // The edit field shows the chosen row, or nothing.
    FText = index >= 0 && index < FItems->Count() ? FItems->Get(index) : std::wstring();
}

void TCustomComboBox::SetItemHeight(int height) {
    if (height == FItemHeight || height <= 0) return;
    FItemHeight = height;
    if (!FHandle) return;
    if (FStyle == csOwnerDrawFixed) SendMessageW(FHandle, CB_SETITEMHEIGHT, 0, height);
    SetWindowPos(FHandle, nullptr, 0, 0, FWidth, WindowHeight(FHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomComboBox::SetDropDownCount(int count) {
    FDropDownCount = std::max(1, count);
    if (FHandle)
        SetWindowPos(FHandle, nullptr, 0, 0, FWidth, WindowHeight(FHeight),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomComboBox::SetMaxLength(int length) {
    FMaxLength = std::max(0, length);
    if (FHandle) SendMessageW(FHandle, CB_LIMITTEXT, FMaxLength, 0);
}

int TCustomComboBox::SelStart() {
    if (!FHandle) return 0;
    DWORD start = 0, end = 0;
    SendMessageW(FHandle, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(start);
}

void TCustomComboBox::SetSelStart(int start) {
    if (FHandle) SendMessageW(FHandle, CB_SETEDITSEL, 0, MAKELPARAM(start, start));
}

int TCustomComboBox::SelLength() {
    if (!FHandle) return 0;
    DWORD start = 0, end = 0;
    SendMessageW(FHandle, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return static_cast<int>(end - start);
}

void TCustomComboBox::SetSelLength(int length) {
    if (!FHandle) return;
    int start = SelStart();
    SendMessageW(FHandle, CB_SETEDITSEL, 0, MAKELPARAM(start, start + length));
}

bool TCustomComboBox::DroppedDown() {
    return FHandle && SendMessageW(FHandle, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
}

void TCustomComboBox::SetDroppedDown(bool value) {
    if (FHandle) SendMessageW(FHandle, CB_SHOWDROPDOWN, value, 0);
}

void TCustomComboBox::Clear() {
    SetText(L"");
    FItems->Clear();
    FSavedItemIndex = -1;
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
    if (OnSelect) OnSelect(this);
    Change();
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::DrawItem(int index, const RECT& rect, TOwnerDrawState) {
    FCanvas.FillRect(rect);
    if (index >= 0) FCanvas.TextOut(rect.left + 2, rect.top, FItems->Get(index));
}

void TCustomComboBox::MeasureItem(int, int& height) { height = FItemHeight; }

void TCustomComboBox::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_SIZE:
            DefaultHandler(message);
            FollowWindowHeight();
            return;
        case CN_BASE + WM_COMMAND:
            switch (HIWORD(message.WParam)) {
                case CBN_EDITCHANGE:
                    Change();
                    break;
                case CBN_SELCHANGE: {
                    // The edit field takes the row's text only after this notice; the handlers see it now.
                    int index = ItemIndex();
                    if (FEditHandle && index >= 0) SetWindowTextW(FHandle, FItems->Get(index).c_str());
                    Click();
                    Select();
                    break;
                }
                case CBN_DROPDOWN:
                    DropDown();
                    break;
                case CBN_CLOSEUP:
                    CloseUp();
                    break;
                case CBN_SETFOCUS:
                    FocusReceived();
                    break;
                default:
                    break;
            }
            message.Result = 0;
            return;
        case CN_BASE + WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
            message.Result = TRUE;
            {
                CanvasBinding binding(FCanvas, item->hDC);
                PrepareRowCanvas(FCanvas, FFont, FColor, item->itemState);
                if (static_cast<int>(item->itemID) >= 0)
                    DrawItem(static_cast<int>(item->itemID), item->rcItem, DrawStateOf(item->itemState));
                else
                    FCanvas.FillRect(item->rcItem);
            }
            if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_COMBOBOXEDIT))
                DrawFocusRect(item->hDC, &item->rcItem);
            return;
        }
        case CN_BASE + WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
            int height = FItemHeight;
            MeasureItem(static_cast<int>(item->itemID), height);
            item->itemHeight = height;
            message.Result = TRUE;
            return;
        }
        default:
            break;
    }
    TWinControl::WndProc(message);
}

void TCustomComboBox::EditDefaultHandler(TMessage& message) {
    message.Result =
        FEditBinding ? FEditBinding->CallOriginal(FEditHandle, message.Msg, message.WParam, message.LParam) : 0;
}

void TCustomComboBox::EditWndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_CONTEXTMENU:
            if (HandleInputMessage(message)) return;
            break;
        case WM_SETFOCUS:
            EditDefaultHandler(message);
            FocusReceived();
            return;
        default:
            break;
    }
    EditDefaultHandler(message);
}

// ---- TButton ----

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    FWidth = 75;
    FHeight = 25;
    FTabStop = true;
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"BUTTON";
    params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
    if (value == FDefault) return;
    FDefault = value;
    if (FHandle) SendMessageW(FHandle, BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (FModalResult != 0)
        if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
    TWinControl::Click();
}

bool TButton::DialogChar(wchar_t letter) {
    if (CaptionAccelerator(Caption()) != letter || !IsShowingAndEnabled()) return false;
    Click();
    return true;
}

void TButton::WndProc(TMessage& message) {
    if (message.Msg == CN_BASE + WM_COMMAND) {
        if (HIWORD(message.WParam) == BN_CLICKED) Click();
        message.Result = 0;
        return;
    }
    TWinControl::WndProc(message);
}

// ---- TMemo ----

TMemo::TMemo(TComponent* owner) : TWinControl(owner) {
    FColor = clWindow;
    FWidth = 185;
    FHeight = 89;
    FTabStop = true;
    FLines.OnChange = Bind<&TMemo::HandleLinesChange>(this);
}

void TMemo::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"EDIT";
    params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (!FWordWrap) params.Style |= ES_AUTOHSCROLL;
    if (FReadOnly) params.Style |= ES_READONLY;
    if (FBorder) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TMemo::InitializeWnd() { HandleLinesChange(nullptr); }

void TMemo::HandleLinesChange(TObject*) {
    if (!FHandle) return;
    std::wstring text;
    for (int i = 0; i < FLines.Count(); ++i) {
        if (i > 0) text += L"\r\n";
        text += FLines.Get(i);
    }
    SetWindowTextW(FHandle, text.c_str());
}

void TMemo::SetReadOnly(bool value) {
    FReadOnly = value;
    if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, value, 0);
}

void TMemo::SetWordWrap(bool value) {
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
}

void TMemo::SetBorder(bool value) {
    if (value == FBorder) return;
    FBorder = value;
    RecreateWnd();
}

// ---- Published properties ----

namespace {

const std::wstring_view kListBoxStyleNames[] = {L"lbStandard", L"lbOwnerDrawFixed", L"lbOwnerDrawVariable"};
const TTypeInfo kListBoxStyleType{tkEnumeration, L"TListBoxStyle", kListBoxStyleNames};
const std::wstring_view kComboBoxStyleNames[] = {L"csDropDown", L"csSimple", L"csDropDownList",
                                                 L"csOwnerDrawFixed", L"csOwnerDrawVariable"};
const TTypeInfo kComboBoxStyleType{tkEnumeration, L"TComboBoxStyle", kComboBoxStyleNames};

const TPropInfo kLabelProperties[] = {
    OrdinalProperty<TLabel, &TLabel::AutoSize, &TLabel::SetAutoSize>(L"AutoSize", TypeBoolean),
    StringProperty<TLabel, &TLabel::Caption, &TLabel::SetCaption>(L"Caption"),
    OrdinalProperty<TLabel, &TLabel::Transparent, &TLabel::SetTransparent>(L"Transparent", TypeBoolean),
};

const TPropInfo kListBoxProperties[] = {
    OrdinalProperty<TListBox, &TListBox::ItemHeight, &TListBox::SetItemHeight>(L"ItemHeight", TypeInteger),
    published::ReferenceProperty<TListBox, &TListBox::Items>(L"Items", published::StringsType),
    OrdinalProperty<TListBox, &TListBox::Sorted, &TListBox::SetSorted>(L"Sorted", TypeBoolean),
    OrdinalProperty<TListBox, &TListBox::Style, &TListBox::SetStyle>(L"Style", kListBoxStyleType),
};

const TPropInfo kCustomComboBoxProperties[] = {
    OrdinalProperty<TCustomComboBox, &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount>(
        L"DropDownCount", TypeInteger),
    OrdinalProperty<TCustomComboBox, &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight>(L"ItemHeight",
                                                                                                   TypeInteger),
    OrdinalProperty<TCustomComboBox, &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex>(L"ItemIndex",
                                                                                                 TypeInteger),
    published::ReferenceProperty<TCustomComboBox, &TCustomComboBox::Items>(L"Items", published::StringsType),
    OrdinalProperty<TCustomComboBox, &TCustomComboBox::MaxLength, &TCustomComboBox::SetMaxLength>(L"MaxLength",
                                                                                                 TypeInteger),
    StringProperty<TCustomComboBox, &TCustomComboBox::Text, &TCustomComboBox::SetText>(L"Text"),
};

const TPropInfo kComboBoxProperties[] = {
    OrdinalProperty<TComboBox, &TComboBox::Style, &TComboBox::SetStyle>(L"Style", kComboBoxStyleType),
};

const TPropInfo kButtonProperties[] = {
    StringProperty<TButton, &TButton::Caption, &TButton::SetCaption>(L"Caption"),
};

}  // namespace

const TClassInfo* TLabel::ClassInfo() const {
    static const TClassInfo info{L"TLabel", TWinControl::ClassInfo(), kLabelProperties};
    return &info;
}

const TClassInfo* TListBox::ClassInfo() const {
    static const TClassInfo info{L"TListBox", TWinControl::ClassInfo(), kListBoxProperties};
    return &info;
}

const TClassInfo* TCustomComboBox::ClassInfo() const {
    static const TClassInfo info{L"TCustomComboBox", TWinControl::ClassInfo(), kCustomComboBoxProperties};
    return &info;
}

const TClassInfo* TComboBox::ClassInfo() const {
    static const TClassInfo info{L"TComboBox", TCustomComboBox::ClassInfo(), kComboBoxProperties};
    return &info;
}

const TClassInfo* TButton::ClassInfo() const {
    static const TClassInfo info{L"TButton", TWinControl::ClassInfo(), kButtonProperties};
    return &info;
}

const TClassInfo* TMemo::ClassInfo() const {
    static const TClassInfo info{L"TMemo", TWinControl::ClassInfo(), {}};
    return &info;
}

}  // namespace forms
