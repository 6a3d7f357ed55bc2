#pragma once
// Labels, list boxes, combo boxes, push buttons and memos over the standard controls.

#include "forms/Controls.h"

namespace forms {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TWinControl {
public:
    explicit TLabel(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);
    // A right-justified label that sizes itself keeps its right edge.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // Where the text sits between the label's top and bottom edges.
    TTextLayout Layout() const { return FLayout; }
    void SetLayout(TTextLayout value);
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* control);
    // Alt+letter of the caption focuses FocusControl.
    bool DialogChar(wchar_t letter) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;
    void TextChanged() override;
    void FontChanged() override;
    void Loaded() override;
    // With AutoSize the label takes the size of its text.
    void AdjustSize();
    void DrawText(const DRAWITEMSTRUCT& item);
    UINT DrawTextFlags() const;

    bool FAutoSize = true;
    bool FTransparent = false;
    TAlignment FAlignment = taLeftJustify;
    bool FWordWrap = false;
    TTextLayout FLayout = tlTop;
    TWinControl* FFocusControl = nullptr;
};

enum TOwnerDrawStateFlag : uint16_t { odSelected = 1, odFocused = 2, odDisabled = 4, odChecked = 8 };
using TOwnerDrawState = uint16_t;
using TDrawItemEvent = TEvent<void(TWinControl* Control, int Index, const RECT& Rect, TOwnerDrawState State)>;

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

class TListBox : public TWinControl {
public:
    explicit TListBox(TComponent* owner);
    ~TListBox() override;
    const TClassInfo* ClassInfo() const override;

    // The rows, backed by the control; attached objects are the rows' item data.
    TStrings& Items();
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle style);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool sorted);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int height);
    int ItemIndex();
    void SetItemIndex(int index);
    int TopIndex();
    TCanvas& Canvas() { return FCanvas; }

    TDrawItemEvent OnDrawItem;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& message) override;
    void ChangeScale(int M, int D) override;
    virtual void DrawItem(int index, const RECT& rect, TOwnerDrawState state);
    friend class TListBoxStrings;

    TListBoxStyle FStyle = lbStandard;
    bool FSorted = false;
    int FItemHeight = 13;
    TCanvas FCanvas;
    std::unique_ptr<TStrings> FItems;
    // The rows while there is no window (before it is made, while it is re-made).
    std::unique_ptr<TStringList> FSavedItems;
    int FSavedItemIndex = -1;
    int FSavedTopIndex = 0;
    // Items().BeginUpdate nesting: rows change without the list repainting itself.
    int FUpdating = 0;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
public:
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;
    const TClassInfo* ClassInfo() const override;

    TStrings& Items();
    std::wstring Text() const override;
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle style);
    int ItemIndex();
    void SetItemIndex(int index);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int height);
    int DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int count);
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int length);
    int SelStart();
    void SetSelStart(int start);
    int SelLength();
    void SetSelLength(int length);
    bool DroppedDown();
    void SetDroppedDown(bool value);
    // Text empty, every row removed, nothing selected.
    virtual void Clear();
    // The edit field's window (csDropDown), nullptr otherwise.
    HWND EditHandle();
    // Drawing surface for owner-drawn rows, prepared before DrawItem.
    TCanvas& Canvas() { return FCanvas; }

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TNotifyEvent OnCloseUp;
    TNotifyEvent OnSelect;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& message) override;
    int WindowHeight(int height) override;
    void ChangeScale(int M, int D) override;
    // Takes the height the system gave the window (a drop-down box's field follows its font).
    void FollowWindowHeight();
    // Messages of the edit field (csDropDown), bound to this box: key down, typed
    // characters (OnKeyPress) and the context menu, then EditDefaultHandler.
    virtual void EditWndProc(TMessage& message);
    void ChildWndProc(HWND window, TMessage& message) override;
    void BoundWindowDestroyed(HWND window) override;
    // The edit field's own handling.
    void EditDefaultHandler(TMessage& message);
    virtual void Change();
    virtual void Select();
    virtual void DropDown();
    virtual void CloseUp();
    // Owner-drawn styles: the canvas is prepared (font, brush, selection colours) before DrawItem.
    virtual void DrawItem(int index, const RECT& rect, TOwnerDrawState state);
    virtual void MeasureItem(int index, int& height);
    bool IsOwnerDrawn() const { return FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable; }
    friend class TComboBoxStrings;

    TComboBoxStyle FStyle = csDropDown;
    int FItemHeight = 13;
    int FDropDownCount = 8;
    int FMaxLength = 0;
    std::unique_ptr<TStrings> FItems;
    std::unique_ptr<TStringList> FSavedItems;
    std::wstring FSavedText;
    int FSavedItemIndex = -1;
    HWND FEditHandle = nullptr;
    TWindowBinding* FEditBinding = nullptr;
    TCanvas FCanvas;
};

class TComboBox : public TCustomComboBox {
public:
    using TCustomComboBox::TCustomComboBox;
    const TClassInfo* ClassInfo() const override;
};

class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    // Alt+letter of the caption clicks the button while it is enabled.
    bool DialogChar(wchar_t letter) override;
    // Enter on its form presses the default button (unless another button has the focus).
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    // A click gives the form this modal result when it is not 0 (mrNone).
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    void Click() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    bool FDefault = false;
    int FModalResult = 0;
};

// A multi-line text box whose lines are set by code; typing into an editable
// memo is not read back into Lines (the program's memos are read-only).
class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    TStrings& Lines() { return FLines; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    // Off: long lines scroll sideways instead of wrapping.
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // The sunken 3-D frame around the text.
    bool Border() const { return FBorder; }
    void SetBorder(bool value);

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void HandleLinesChange(TObject* sender);

    TStringList FLines;
    bool FReadOnly = false;
    bool FWordWrap = true;
    bool FBorder = true;
};

}  // namespace forms
