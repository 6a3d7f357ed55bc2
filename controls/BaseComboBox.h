#pragma once
// The base combo box of the TOvc… controls: owner-drawn rows of variable
// height, a recently-used (MRU) section at the top of the list, completion
// while typing, a delayed search after a pause in typing, extra meanings of
// Enter, Escape, Home and End, and an optional flat or themed face.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "controls/ControlBase.h"
#include "forms/StdCtrls.h"

namespace controls {

// The recently-used entries, most recent first, each with its object.
// Entries are compared ignoring case.
class TOvcMRUList {
public:
    int MaxItems() const { return FMaxItems; }
    // Shrinks the list at once.
    void SetMaxItems(int value);
    const forms::TStringList& Items() const { return FList; }
    int Count() const { return FList.Count(); }

    // Moves an entry it holds to the top, or puts a new one there and shrinks.
    void NewItem(const std::wstring& item, forms::TObject* object);
    void Shrink();
    bool RemoveItem(const std::wstring& item);
    void Clear() { FList.Clear(); }

private:
    int FMaxItems = 3;
    forms::TStringList FList;
};

enum TOvcBorderStyle { bpsSolid };

// One optional line along an edge of a combo box.
class TOvcBorder : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    forms::TColor PenColor() const { return FPenColor; }
    void SetPenColor(forms::TColor value);
    // A Win32 pen style (PS_SOLID, PS_DASH...).
    int PenStyle() const { return FPenStyle; }
    void SetPenStyle(int value);
    int PenWidth() const { return FPenWidth; }
    void SetPenWidth(int value);
    TOvcBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TOvcBorderStyle value);

    forms::TNotifyEvent OnChange;

private:
    void Changed();

    bool FEnabled = false;
    forms::TColor FPenColor = forms::clBlack;
    int FPenStyle = PS_SOLID;
    int FPenWidth = 2;
    TOvcBorderStyle FBorderStyle = bpsSolid;
};

class TOvcBorders : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;

    TOvcBorder* LeftBorder() { return &FLeft; }
    TOvcBorder* RightBorder() { return &FRight; }
    TOvcBorder* TopBorder() { return &FTop; }
    TOvcBorder* BottomBorder() { return &FBottom; }
    bool AnyEnabled() const;

private:
    TOvcBorder FLeft, FRight, FTop, FBottom;
};

// Colours of the hot-track frame.
class TOvcHTColors : public forms::TPersistent {
public:
    const forms::TClassInfo* ClassInfo() const override;
    void Assign(const forms::TPersistent& source) override;

    forms::TColor Highlight() const { return FHighlight; }
    void SetHighlight(forms::TColor value) { FHighlight = value; }
    forms::TColor Shadow() const { return FShadow; }
    void SetShadow(forms::TColor value) { FShadow = value; }

private:
    forms::TColor FHighlight = forms::clBtnHighlight;
    forms::TColor FShadow = forms::clBtnShadow;
};

enum TOvcComboStyle { ocsDropDown, ocsDropDownList };
// Where a control's caption sits.
enum TOvcLabelPosition { lpTopLeft, lpBottomLeft };

using TMouseWheelEvent = forms::TEvent<void(forms::TObject* Sender, forms::TShiftState Shift, uint16_t Delta,
                                            uint16_t XPos, uint16_t YPos)>;

// Messages a box posts to itself.
constexpr UINT OM_AFTERENTER = 0x7F08;
constexpr UINT OM_AFTEREXIT = 0x7F09;

// The key code of the delayed search, passed through the key-down handling.
constexpr WORD kAutoSearchKey = 9999;

// Theme states of the drop-down-list face.
enum TOvcThemeState : uint32_t { tsNone = 0, tsNormal = 1, tsHot = 2, tsPressed = 3, tsDisabled = 4 };

// How a box beeps when Enter finds nothing; tests replace it.
using TBeepProc = void (*)();
extern TBeepProc ComboBoxBeep;

// True while the platform's visual styles paint this program's windows.
bool ThemesActive();

class TOvcBaseComboBox : public forms::TCustomComboBox {
public:
    explicit TOvcBaseComboBox(forms::TComponent* owner);
    ~TOvcBaseComboBox() override;
    const forms::TClassInfo* ClassInfo() const override;

    // ---- The MRU section ----
    // Appends Item unless a row holds it; its list-section index, or -1.
    int AddItem(const std::wstring& item, forms::TObject* object);
    // Inserts at a list-section index 0 <= index < the list-section rows; others are ignored.
    void InsertItem(int index, const std::wstring& item, forms::TObject* object);
    void RemoveItem(const std::wstring& item);
    void AssignItems(const forms::TStrings& source);
    void ClearMRUList();
    // The MRU list, then every row and the text.
    void ClearItems();
    // Moves the first count rows, when a later row has the same text, into the MRU list.
    void ForceItemsToMRUList(int count);
    // Puts row into the MRU list; a new entry also gets its row at the top.
    void AddToMRUList(int row);
    // Replaces the shownRows MRU rows at the top by the MRU list's entries.
    void RebuildMRUList(int shownRows);
    // Rows without the MRU section, copied anew on every read.
    const forms::TStrings& List();
    int ListIndex();
    void SetListIndex(int value);
    TOvcMRUList& MRUList() { return *FMRUList; }
    forms::TColor MRUListColor() const { return FMRUListColor; }
    void SetMRUListColor(forms::TColor value);

    // Selecting a row also repaints the box.
    void SetItemIndex(int index);
    // A different height re-creates the window.
    void SetItemHeight(int height);
    // The font's character height on the screen.
    void AdjustItemHeight();
    // Text empty, every row removed, nothing selected; the MRU list keeps its entries and their rows.
    void Clear() override;

    bool AutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(bool value) { FAutoComplete = value; }
    bool AutoSearch() const { return FAutoSearch; }
    void SetAutoSearch(bool value) { FAutoSearch = value; }
    int KeyDelay() const { return FKeyDelay; }
    // A negative delay is ignored.
    void SetKeyDelay(int value);
    bool StandardHomeEnd() const { return FStandardHomeEnd; }
    void SetStandardHomeEnd(bool value) { FStandardHomeEnd = value; }
    int DroppedWidth() const { return FDroppedWidth; }
    void SetDroppedWidth(int value);
    TOvcComboStyle Style() const { return FComboStyle; }
    void SetStyle(TOvcComboStyle value);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);

    bool HotTrack() const { return FHotTrack; }
    // Stays off while visual styles are active.
    void SetHotTrack(bool value);
    bool HotTrackBorder() const { return FHTBorder; }
    // On disables the border lines.
    void SetHotTrackBorder(bool value);
    TOvcHTColors* HotTrackColors() const { return FHTColors.get(); }
    void SetHotTrackColors(const TOvcHTColors& value) { FHTColors->Assign(value); }
    TOvcBorders* Borders() const { return FBorders.get(); }

    TOvcLabelInfo* LabelInfo() const { return FLabelInfo.get(); }
    // Fails with "Label not attached" while LabelInfo is not Visible.
    TOvcAttachedLabel* AttachedLabel() const;
    TOvcLabelPosition DefaultLabelPosition = lpTopLeft;
    // Puts the attached caption at the offsets from the box; it keeps its size.
    void PositionLabel();

    // True while the row being drawn is the edit part.
    bool DrawingEdit() const { return FDrawingEdit; }
    // The mouse is over the box / the focus is in it (the hot-track frame shows).
    bool IsHot() const { return FIsHot; }
    bool IsFocused() const { return FIsFocused; }
    // States of the themed drop-down-list face: painted, and to be painted next.
    uint32_t CurrentThemeState() const { return FCurrentState; }
    uint32_t NewThemeState() const { return FNewState; }
    bool BufferedPaintInitialized() const { return FBufferedPaintInitialized; }
    std::wstring About() const { return L"v4.08"; }

    void SetEnabled(bool enabled) override;
    // The attached caption is shown and hidden with the box.
    void SetVisible(bool visible) override;

    forms::TNotifyEvent AfterEnter;
    forms::TNotifyEvent AfterExit;
    forms::TNotifyEvent OnSelectionChange;
    TMouseWheelEvent OnMouseWheel;

protected:
    void CreateParams(TCreateParams& params) override;
    void InitializeWnd() override;
    void DestroyWnd() override;
    void WndProc(forms::TMessage& message) override;
    void EditWndProc(forms::TMessage& message) override;
    bool DoKeyDown(WORD& key, forms::TShiftState shift) override;
    bool DoKeyPress(wchar_t& key) override;
    void DoExit() override;
    void DrawItem(int index, const RECT& rect, forms::TOwnerDrawState state) override;
    void Loaded() override;
    void FontChanged() override;
    void BoundsChanged() override;
    // The caption's offsets scale with the box; the row height follows the scaled font.
    void ChangeScale(int M, int D) override;
    void Notification(forms::TComponent* component, forms::TOperation operation) override;

    // The box's own key handling, before OnKeyDown.
    virtual void KeyDown(WORD& key, forms::TShiftState shift);
    // MRU section rebuilt, then OnSelectionChange.
    virtual void SelectionChanged();
    // LabelInfo's OnChange: the caption moves to the new offsets.
    void LabelChange(forms::TObject* sender);
    // LabelInfo's OnAttach: a caption named after the box is made, or the caption is freed.
    void LabelAttach(forms::TObject* sender, bool value);

    // Rows of the MRU section now.
    int MRUCount() const { return FMRUList->Count(); }
    // First row from start + 1 on (wrapping) whose text begins with text / equals it, ignoring case.
    int FindPrefix(const std::wstring& text, int start);
    int FindExact(const std::wstring& text, int start);

    uint32_t FCurrentState = tsNone;
    uint32_t FNewState = tsNone;
    bool FBufferedPaintInitialized = false;
    bool FAutoSearch = true;
    std::unique_ptr<TOvcBorders> FBorders;
    bool FDrawingEdit = false;
    int FDroppedWidth = -1;
    bool FHotTrack = false;
    bool FHTBorder = true;
    std::unique_ptr<TOvcHTColors> FHTColors;
    int FKeyDelay = 500;
    std::unique_ptr<TOvcLabelInfo> FLabelInfo;
    forms::TColor FMRUListColor = forms::clWindow;
    int FMRUListCount = 3;
    TOvcComboStyle FComboStyle = ocsDropDown;
    bool FIsFocused = false;
    bool FIsHot = false;
    bool FLastKeyWasBackSpace = false;
    std::unique_ptr<TOvcMRUList> FMRUList;
    std::unique_ptr<forms::TStringList> FList;
    int FSaveItemIndex = -1;
    bool FStandardHomeEnd = true;
    int32_t FTimer = -1;
    int FCurItemIndex = 0;
    bool FAutoComplete = false;
    bool FCtl3D = true;

private:
    // The caption can be placed: attached, on a parent, the box not loading.
    bool CanPositionLabel() const;
    // Offsets of the caption as it stands now.
    void LabelOffsets(int& x, int& y) const;
    // The offsets taken from where the caption stands.
    void RecordLabelPosition();
    void AssignLabel(TOvcAttachedLabel* label);
    void FreeLabel();
    // Enter (fromEnter: beep, OnClick) and the delayed search: the first list row that begins with the text.
    void EnterSearch(bool fromEnter);
    void AutoSearchTimer(forms::TObject* sender, int32_t handle, uint32_t interval, int32_t elapsed);
    void CancelAutoSearch();
    // Completion of a typed character; true when the character was used up.
    bool CompleteTyping(wchar_t key);
    bool CompleteBackspace();
    void BorderChanged(forms::TObject* sender);
    // Focus crossing the box's edge: window is the one that had or gets the focus.
    bool IsPartOfBox(HWND window) const;
    void FocusEntered(HWND previous);
    void FocusLeft(HWND next);
    void MouseMoved(HWND window);
    void MouseLeft();
    void SetThemeState(uint32_t state);
    bool PaintsThemedFace() const;
    void PaintThemedFace();
    void PaintFace(HDC dc, const RECT& rect, uint32_t state);
    void PaintHotTrackFrame();
    void PaintBorderLines();
};

}  // namespace controls
