#include "forms/Menus.h"

#include <algorithm>
#include <set>

#include "forms/Forms.h"
#include "runtime/TypInfo.h"

namespace forms {

namespace {

// Command ids are unique in the process, so any menu can tell its own commands.
std::set<UINT>& CommandsInUse() {
    static std::set<UINT> inUse;
    return inUse;
}
UINT gNextCommand = 0x100;

UINT AllocateCommand() {
    auto& inUse = CommandsInUse();
    do {
        gNextCommand = gNextCommand >= 0xEFFF ? 0x100 : gNextCommand + 1;
    } while (inUse.count(gNextCommand));
    inUse.insert(gNextCommand);
    return gNextCommand;
}

}  // namespace

// ---- TMenuItem ----

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), FCommand(AllocateCommand()) {}

TMenuItem::~TMenuItem() {
    // An item frees its sub-items; each leaves this list in its own destructor.
    while (!FItems.empty()) delete FItems.back();
    if (FParent) FParent->Remove(this);
    CommandsInUse().erase(FCommand);
}

void TMenuItem::SetCaption(const std::wstring& caption) {
    if (caption == FCaption) return;
    FCaption = caption;
    MenuChanged();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled == FEnabled) return;
    FEnabled = enabled;
    MenuChanged();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked == FChecked) return;
    FChecked = checked;
    MenuChanged();
}

void TMenuItem::Add(TMenuItem* item) {
    if (!item || item == this) return;
    if (item->FParent) item->FParent->Remove(item);
    item->FParent = this;
    FItems.push_back(item);
    MenuChanged();
}

void TMenuItem::Remove(TMenuItem* item) {
    FItems.erase(std::remove(FItems.begin(), FItems.end(), item), FItems.end());
    item->FParent = nullptr;
    MenuChanged();
}

void TMenuItem::MenuChanged() {
    TMenuItem* root = this;
    while (root->FParent) root = root->FParent;
    if (root->FMenu && !root->FMenu->IsDestroying()) root->FMenu->Rebuild();
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

void TMenuItem::AppendTo(HMENU menu) {
    FContainer = menu;
    FSubmenu = nullptr;
    if (FCaption == L"-") {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    UINT flags = MF_STRING | (FEnabled ? MF_ENABLED : MF_GRAYED) | (FChecked ? MF_CHECKED : MF_UNCHECKED);
    if (FItems.empty()) {
        AppendMenuW(menu, flags, FCommand, FCaption.c_str());
        return;
    }
    FSubmenu = CreatePopupMenu();
    for (TMenuItem* item : FItems) item->AppendTo(FSubmenu);
    AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(FSubmenu), FCaption.c_str());
}

namespace {
const TPropInfo kMenuItemProperties[] = {
    StringProperty<TMenuItem, &TMenuItem::Caption, &TMenuItem::SetCaption>(L"Caption"),
    OrdinalProperty<TMenuItem, &TMenuItem::Enabled, &TMenuItem::SetEnabled>(L"Enabled", TypeBoolean),
    OrdinalProperty<TMenuItem, &TMenuItem::Checked, &TMenuItem::SetChecked>(L"Checked", TypeBoolean),
};
}  // namespace

const TClassInfo* TMenuItem::ClassInfo() const {
    static const TClassInfo info{L"TMenuItem", TComponent::ClassInfo(), kMenuItemProperties};
    return &info;
}

// ---- TMenu ----

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(new TMenuItem(nullptr)) { FItems->FMenu = this; }

TMenu::~TMenu() {
    Destroying();
    if (FWindow && FHandle && GetMenu(FWindow) == FHandle.Get()) ::SetMenu(FWindow, nullptr);
    FItems.reset();
}

HMENU TMenu::Handle() {
    if (!FHandle) {
        FHandle.Reset(MakeMenu());
        for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->AppendTo(FHandle.Get());
    }
    return FHandle.Get();
}

void TMenu::Rebuild() {
    if (!FHandle) return;
    MenuHandle old(std::move(FHandle));
    Handle();
    if (FWindow && GetMenu(FWindow) == old.Get()) {
        ::SetMenu(FWindow, FHandle.Get());
        DrawMenuBar(FWindow);
    }
}

namespace {
TMenuItem* FindIn(TMenuItem& parent, UINT command) {
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (item->Count() == 0 && item->Command() == command) return item;
        if (TMenuItem* found = FindIn(*item, command)) return found;
    }
    return nullptr;
}
}  // namespace

TMenuItem* TMenu::FindItem(UINT command) { return FindIn(*FItems, command); }

bool TMenu::DispatchCommand(UINT command) {
    TMenuItem* item = FindItem(command);
    if (!item) return false;
    if (item->Enabled()) item->Click();
    return true;
}

HMENU TMainMenu::MakeMenu() { return CreateMenu(); }

const TClassInfo* TMainMenu::ClassInfo() const {
    static const TClassInfo info{L"TMainMenu", TComponent::ClassInfo(), {}};
    return &info;
}

// ---- TPopupMenu ----

HMENU TPopupMenu::MakeMenu() { return CreatePopupMenu(); }

void TPopupMenu::SetPopupComponent(TComponent* component) {
    if (component == FPopupComponent) return;
    if (FPopupComponent) RemoveFreeNotification(FPopupComponent);
    FPopupComponent = component;
    if (component) FreeNotification(component);
}

void TPopupMenu::Popup(int x, int y) {
    HWND owner = nullptr;
    if (auto* control = dynamic_cast<TControl*>(FPopupComponent))
        if (TCustomForm* form = GetParentForm(control))
            if (form->HandleAllocated()) owner = form->Handle();
    if (!owner && Application) owner = Application->Handle();
    // The command comes back here and is run by this menu, whoever owns the window.
    UINT command = TrackPopupMenu(Handle(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, owner, nullptr);
    if (command) DispatchCommand(command);
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    TMenu::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FPopupComponent) FPopupComponent = nullptr;
}

const TClassInfo* TPopupMenu::ClassInfo() const {
    static const TClassInfo info{L"TPopupMenu", TComponent::ClassInfo(), {}};
    return &info;
}

}  // namespace forms
