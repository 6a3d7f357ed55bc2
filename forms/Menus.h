#pragma once
#include "runtime/Classes.h"
#include "forms/Handles.h"

#include <memory>
#include <vector>

namespace forms {

class TWinControl;
class TComponent;
class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    const TClassInfo* ClassInfo() const override;

    const std::wstring& Caption() const { return FCaption; }
    void SetCaption(const std::wstring& caption);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    // A check mark beside the item: an option that is on.
    bool Checked() const { return FChecked; }
    void SetChecked(bool checked);
    // Sub-items: the item becomes a submenu when it has any.
    void Add(TMenuItem* item);
    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(index); }
    TMenuItem* Parent() const { return FParent; }
    // The WM_COMMAND identifier of this item.
    UINT Command() const { return FCommand; }
    virtual void Click();

    TNotifyEvent OnClick;

private:
    friend class TMenu;
    void AppendTo(HMENU menu);
    void Remove(TMenuItem* item);
    // The menu's window handle is out of date: it is made again.
    void MenuChanged();

    TMenu* FMenu = nullptr;  // set on the root item of a menu
    std::wstring FCaption;
    bool FEnabled = true;
    bool FChecked = false;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    UINT FCommand = 0;
    HMENU FSubmenu = nullptr;
    HMENU FContainer = nullptr;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;
    // The top-level items.
    TMenuItem& Items() { return *FItems; }
    HMENU Handle();
    // Runs the click of the item with this command id; true when one was found.
    bool DispatchCommand(UINT command);
    TMenuItem* FindItem(UINT command);
    // The window showing this menu as its menu bar (set by the form), nullptr when none.
    void SetWindow(HWND window) { FWindow = window; }

protected:
    virtual HMENU MakeMenu() = 0;
    friend class TMenuItem;
    void Rebuild();

    std::unique_ptr<TMenuItem> FItems;
    MenuHandle FHandle;
    HWND FWindow = nullptr;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
    const TClassInfo* ClassInfo() const override;

protected:
    HMENU MakeMenu() override;
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
    const TClassInfo* ClassInfo() const override;
    // Shows the menu at a screen point; the component it was opened on is PopupComponent.
    void Popup(int x, int y);
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* component);

protected:
    HMENU MakeMenu() override;
    void Notification(TComponent* component, TOperation operation) override;
    TComponent* FPopupComponent = nullptr;
};

}  // namespace forms
