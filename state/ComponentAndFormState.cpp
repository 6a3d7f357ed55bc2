#include "state/ComponentAndFormState.h"

#include <windows.h>

#include <vector>

#include "forms/PublishedTypes.h"
#include "runtime/SysUtils.h"
#include "runtime/TypInfo.h"

namespace state {

using forms::TComponent;
using forms::TCustomForm;
using forms::TObject;

namespace {

// The length GetWindowPlacement and SetWindowPlacement expect of the record.
constexpr UINT kPlacementLength = 44;
static_assert(sizeof(WINDOWPLACEMENT) == kPlacementLength);

TComponent* RequireForm(TComponent* owner) {
    if (!dynamic_cast<TCustomForm*>(owner)) throw EOvcException(L"This component can only be used on forms");
    return owner;
}

// Runs body between Open and Close of the store; Close also when body fails.
template <typename Body>
void InStoreBracket(TOvcAbstractStore& store, Body&& body) {
    store.Open();
    try {
        body();
    } catch (...) {
        store.Close();
        throw;
    }
    store.Close();
}

// Where a component's hook sits in a chain, the handler it kept takes its place.
template <typename Event>
bool Unlink(Event& slot, const Event& hook, const Event& kept) {
    if (!(slot == hook)) return false;
    slot = kept;
    return true;
}

}  // namespace

// ---- TOvcAbstractState ----

TOvcAbstractState::TOvcAbstractState(TComponent* owner) : controls::TOvcComponent(RequireForm(owner)) {}

TOvcAbstractState::~TOvcAbstractState() { UnhookForm(); }

TCustomForm* TOvcAbstractState::OwnerForm() const { return dynamic_cast<TCustomForm*>(Owner()); }

std::wstring TOvcAbstractState::Section() const {
    if (!FSection.empty()) return FSection;
    TCustomForm* form = OwnerForm();
    return form ? form->ClassName() : std::wstring();
}

void TOvcAbstractState::SetStorage(TOvcAbstractStore* value) {
    if (value == FStorage) return;
    if (FStorage) RemoveFreeNotification(FStorage);
    FStorage = value;
    if (FStorage) FreeNotification(FStorage);
}

void TOvcAbstractState::RestoreState() {
    isSaved = false;
    InternalRestore();
    isRestored = true;
    DoOnRestoreState();
}

void TOvcAbstractState::SaveState() {
    // Saving before the restore would overwrite the stored state with the designed one.
    if (FActive && !isRestored) return;
    InternalSave();
    DoOnSaveState();
    isSaved = true;
}

std::wstring TOvcAbstractState::GetSpecialValue(const std::wstring& item) {
    std::wstring value;
    if (FStorage) InStoreBracket(*FStorage, [&] { value = FStorage->ReadString(FSection, item, L""); });
    return value;
}

void TOvcAbstractState::SetSpecialValue(const std::wstring& item, const std::wstring& value) {
    if (FStorage) InStoreBracket(*FStorage, [&] { FStorage->WriteString(FSection, item, value); });
}

void TOvcAbstractState::DoOnRestoreState() {
    if (FOnRestoreState) FOnRestoreState(this);
}

void TOvcAbstractState::DoOnSaveState() {
    if (FOnSaveState) FOnSaveState(this);
}

void TOvcAbstractState::Loaded() {
    controls::TOvcComponent::Loaded();
    HookForm();
}

void TOvcAbstractState::HookForm() {
    TCustomForm* form = OwnerForm();
    // Hooking twice would make this component its own kept handler.
    if (!form || FHooked) return;
    isSaveFormCreate = form->OnCreate;
    form->OnCreate = forms::Bind<&TOvcAbstractState::FormCreateHook>(this);
    isSaveFormCloseQuery = form->OnCloseQuery;
    form->OnCloseQuery = forms::Bind<&TOvcAbstractState::FormCloseQueryHook>(this);
    isSaveFormDestroy = form->OnDestroy;
    form->OnDestroy = forms::Bind<&TOvcAbstractState::FormDestroyHook>(this);
    FHooked = true;
}

void TOvcAbstractState::UnhookForm() {
    if (!FHooked) return;
    FHooked = false;
    TCustomForm* form = OwnerForm();
    if (!form) return;
    // The kept handler goes back where this component's hook is now: into the form's event, or
    // into the state component that hooked the form after this one. A handler that code set
    // later in place of the hook stays.
    auto unlinkEverywhere = [&](auto member, auto formEvent, auto hook) {
        if (Unlink(form->*formEvent, hook, this->*member)) return;
        for (int i = 0; i < form->ComponentCount(); ++i) {
            auto* other = dynamic_cast<TOvcAbstractState*>(form->Components(i));
            if (other && other != this && Unlink(other->*member, hook, this->*member)) return;
        }
    };
    unlinkEverywhere(&TOvcAbstractState::isSaveFormCreate, &TCustomForm::OnCreate,
                     forms::Bind<&TOvcAbstractState::FormCreateHook>(this));
    unlinkEverywhere(&TOvcAbstractState::isSaveFormCloseQuery, &TCustomForm::OnCloseQuery,
                     forms::Bind<&TOvcAbstractState::FormCloseQueryHook>(this));
    unlinkEverywhere(&TOvcAbstractState::isSaveFormDestroy, &TCustomForm::OnDestroy,
                     forms::Bind<&TOvcAbstractState::FormDestroyHook>(this));
}

void TOvcAbstractState::FormCreateHook(TObject* Sender) {
    if (isSaveFormCreate) isSaveFormCreate(Sender);
    // A failed restore or save is shown, and the form event that ran it goes on.
    if (FActive) forms::Guarded([this] { RestoreState(); });
}

void TOvcAbstractState::FormCloseQueryHook(TObject* Sender, bool& CanClose) {
    if (isSaveFormCloseQuery) isSaveFormCloseQuery(Sender, CanClose);
    TCustomForm* form = OwnerForm();
    if (CanClose && FActive && form && form->HandleAllocated()) forms::Guarded([this] { SaveState(); });
}

void TOvcAbstractState::FormDestroyHook(TObject* Sender) {
    // Only what the close did not save: a failed save is tried once more here.
    if (FActive && !isSaved) {
        isDestroying = true;
        forms::Guarded([this] { SaveState(); });
        isDestroying = false;
    }
    if (isSaveFormDestroy) isSaveFormDestroy(Sender);
}

void TOvcAbstractState::Notification(TComponent* component, forms::TOperation operation) {
    controls::TOvcComponent::Notification(component, operation);
    // A store destroyed first leaves nothing to save to, for good.
    if (operation == forms::TOperation::opRemove && component && component == FStorage) {
        FActive = false;
        FStorage = nullptr;
    }
}

// ---- TOvcFormState ----

TOvcFormState::TOvcFormState(TComponent* owner) : TOvcAbstractState(owner) {}

namespace {

bool IsSizeable(forms::TFormBorderStyle style) { return style == forms::bsSizeable || style == forms::bsSizeToolWin; }

// The runs of characters between blanks and commas.
std::vector<std::wstring> PositionWords(const std::wstring& text) {
    std::vector<std::wstring> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == L' ' || text[i] == L',')) ++i;
        size_t start = i;
        while (i < text.size() && text[i] != L' ' && text[i] != L',') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

// Word index (from 0) read as an integer, or fallback when it is missing or not one.
int IntegerWord(const std::vector<std::wstring>& words, size_t index, int fallback) {
    int32_t value;
    return index < words.size() && TryReadInteger(words[index], value) ? value : fallback;
}

// Visible and enabled up to the form; the form itself may still be hidden, as it is while it is created.
bool CanTakeFocus(forms::TWinControl* control, TCustomForm* form) {
    for (forms::TControl* c = control; c && c != form; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return forms::GetParentForm(control) == form;
}

}  // namespace

void TOvcFormState::InternalRestore() {
    TCustomForm* form = OwnerForm();
    if (!FStorage || !form) return;
    InStoreBracket(*FStorage, [&] {
        RestoreFormPlacement(*form, FSection);
        if (HasOption(fsActiveControl)) {
            std::wstring name = FStorage->ReadString(FSection, L"ActiveControl", L"");
            auto* control = dynamic_cast<forms::TWinControl*>(form->FindComponent(name));
            if (control && CanTakeFocus(control, form)) form->SetActiveControl(control);
        }
        AdjustMaxPosition();
    });
}

void TOvcFormState::RestoreFormPlacement(TCustomForm& form, const std::wstring& section) {
    if (!HasOption(fsState) && !HasOption(fsPosition)) return;
    // Positions and sizes saved at another pixels-per-inch setting would not fit this one.
    if (FStorage->ReadInteger(section, L"PixelsPerInch", form.PixelsPerInch()) != form.PixelsPerInch()) return;

    HWND window = form.Handle();
    WINDOWPLACEMENT placement{};
    placement.length = kPlacementLength;
    GetWindowPlacement(window, &placement);
    if (!form.Visible())
        placement.showCmd = SW_HIDE;
    else
        switch (form.WindowState()) {
            case forms::wsNormal: placement.showCmd = SW_SHOWNORMAL; break;
            case forms::wsMinimized: placement.showCmd = SW_SHOWMINIMIZED; break;
            case forms::wsMaximized: placement.showCmd = SW_SHOWMAXIMIZED; break;
        }

    if (HasOption(fsPosition)) {
        int32_t flags = FStorage->ReadInteger(section, L"Flags", static_cast<int32_t>(placement.flags));
        placement.flags = static_cast<UINT>(flags);
        std::wstring position = FStorage->ReadString(section, L"NormalPos", L"");
        if (position.empty()) return;
        // The stored place wins over the form's own placement rule (centred on the screen).
        if (auto* plainForm = dynamic_cast<forms::TForm*>(&form)) plainForm->SetPosition(forms::poDesigned);
        std::vector<std::wstring> words = PositionWords(position);
        if (HasOption(fsNoSize)) {
            int left = IntegerWord(words, 0, form.Left());
            int top = IntegerWord(words, 1, form.Top());
            form.SetTop(top);
            form.SetLeft(left);
        } else {
            RECT& rect = placement.rcNormalPosition;
            rect.left = IntegerWord(words, 0, form.Left());
            rect.top = IntegerWord(words, 1, form.Top());
            rect.right = IntegerWord(words, 2, form.Left() + form.Width());
            rect.bottom = IntegerWord(words, 3, form.Top() + form.Height());
            // A form of fixed size keeps its size.
            if (!IsSizeable(form.BorderStyle())) {
                rect.right = rect.left + form.Width();
                rect.bottom = rect.top + form.Height();
            }
            if (rect.right > rect.left) SetWindowPlacement(window, &placement);
        }
    }

    if (HasOption(fsState)) {
        int showCmd = FStorage->ReadInteger(section, L"ShowCmd", 0);
        forms::TWindowState windowState = showCmd == SW_SHOWMINIMIZED || showCmd == SW_MINIMIZE ? forms::wsMinimized
                                    : showCmd == SW_SHOWMAXIMIZED                         ? forms::wsMaximized
                                                                                          : forms::wsNormal;
        if (windowState == forms::wsMinimized && forms::Application && forms::Application->MainForm() == &form) {
            // The program as a whole goes to the taskbar.
            PostMessageW(forms::Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            return;
        }
        form.SetWindowState(windowState);
    }

    if (HasOption(fsDefaultMonitor)) {
        std::wstring text = FStorage->ReadString(section, L"DefaultMonitor", L"");
        int32_t ordinal;
        // A number that names no monitor choice is ignored like a word.
        if (!text.empty() && TryReadInteger(text, ordinal) && ordinal >= forms::dmDesktop &&
            ordinal <= forms::dmActiveForm)
            form.SetDefaultMonitor(static_cast<forms::TDefaultMonitor>(ordinal));
    }

    if (HasOption(fsColor)) form.SetColor(FStorage->ReadInteger(section, L"Color", form.Color()));

    UpdateWindow(window);
}

void TOvcFormState::AdjustMaxPosition() {
    TCustomForm* form = OwnerForm();
    if (!form || !form->HandleAllocated() || IsLoading()) return;
    HWND window = form->Handle();
    WINDOWPLACEMENT placement{};
    placement.length = kPlacementLength;
    GetWindowPlacement(window, &placement);
    int metric = -1;
    switch (form->BorderStyle()) {
        case forms::bsNone: break;
        case forms::bsSingle:
        case forms::bsToolWindow: metric = SM_CXBORDER; break;
        case forms::bsSizeable:
        case forms::bsSizeToolWin: metric = SM_CXFRAME; break;
        case forms::bsDialog: metric = SM_CXFIXEDFRAME; break;
    }
    placement.ptMaxPosition = metric < 0 ? POINT{0, 0}
                                         : POINT{-GetSystemMetrics(metric), -GetSystemMetrics(metric + 1)};
    if (IsWindowVisible(window)) SetWindowPlacement(window, &placement);
}

void TOvcFormState::InternalSave() {
    TCustomForm* form = OwnerForm();
    if (!FStorage || !form) return;
    InStoreBracket(*FStorage, [&] {
        SaveFormPlacement(*form, FSection);
        if (HasOption(fsActiveControl) && form->ActiveControl())
            FStorage->WriteString(FSection, L"ActiveControl", form->ActiveControl()->Name());
    });
}

void TOvcFormState::SaveFormPlacement(TCustomForm& form, const std::wstring& section) {
    WINDOWPLACEMENT placement{};
    placement.length = kPlacementLength;
    GetWindowPlacement(form.Handle(), &placement);
    if (forms::Application && forms::Application->MainForm() == &form && IsIconic(forms::Application->Handle()))
        placement.showCmd = SW_SHOWMINIMIZED;
    // This form layer has no MDI children, so no minimized child position to mark.
    const RECT& rect = placement.rcNormalPosition;
    FStorage->WriteString(section, L"Flags", std::to_wstring(placement.flags));
    FStorage->WriteString(section, L"ShowCmd", std::to_wstring(placement.showCmd));
    FStorage->WriteString(section, L"NormalPos",
                          forms::Format(L"%d,%d,%d,%d", static_cast<int>(rect.left), static_cast<int>(rect.top),
                                        static_cast<int>(rect.right), static_cast<int>(rect.bottom)));
    FStorage->WriteInteger(section, L"PixelsPerInch", form.PixelsPerInch());
    if (HasOption(fsDefaultMonitor))
        FStorage->WriteString(section, L"DefaultMonitor", std::to_wstring(static_cast<int>(form.DefaultMonitor())));
    FStorage->WriteInteger(section, L"Color", form.Color());
}

// ---- TOvcComponentState ----

TOvcComponentState::TOvcComponentState(TComponent* owner) : TOvcAbstractState(owner) {}

void TOvcComponentState::SetStoredProperties(const forms::TStrings& value) {
    FStoredProperties.Assign(value);
    SetNotification();
}

void TOvcComponentState::UpdateStoredProperties() { ResolveStoredProperties(Owner(), &FStoredProperties, true); }

void TOvcComponentState::SetNotification() {
    for (int i = 0; i < FStoredProperties.Count(); ++i)
        if (auto* component = dynamic_cast<TComponent*>(FStoredProperties.Objects(i))) FreeNotification(component);
}

void TOvcComponentState::Loaded() {
    TOvcAbstractState::Loaded();
    ResolveStoredProperties(Owner(), &FStoredProperties, true);
}

void TOvcComponentState::Notification(TComponent* component, forms::TOperation operation) {
    TOvcAbstractState::Notification(component, operation);
    if (operation != forms::TOperation::opRemove || !component || TComponent::IsDestroying()) return;
    // A line must never carry a freed component.
    for (int i = FStoredProperties.Count() - 1; i >= 0; --i)
        if (FStoredProperties.Objects(i) == component) FStoredProperties.Delete(i);
}

void TOvcComponentState::InternalRestore() {
    if (!FStorage) return;
    isRestored = true;
    TOvcDataFiler filer;
    filer.SetSection(FSection);
    filer.SetStorage(FStorage);
    InStoreBracket(*FStorage, [&] {
        try {
            filer.LoadObjectsProps(Owner(), &FStoredProperties);
        } catch (...) {
            // A value that cannot be read back leaves the designed one.
        }
    });
}

void TOvcComponentState::InternalSave() {
    if (!FStorage) return;
    TOvcDataFiler filer;
    filer.SetSection(FSection);
    filer.SetStorage(FStorage);
    InStoreBracket(*FStorage, [&] { filer.StoreObjectsProps(Owner(), &FStoredProperties); });
}

// ---- Published properties ----

namespace {

const std::wstring_view kFormStateOptionNames[] = {L"fsState",   L"fsPosition",      L"fsNoSize",
                                                   L"fsColor",   L"fsActiveControl", L"fsDefaultMonitor"};
const forms::TTypeInfo kFormStateOptionType{forms::tkEnumeration, L"TOvcFormStateOption", kFormStateOptionNames};
const forms::TTypeInfo kFormStateOptionsType{forms::tkSet, L"TOvcFormStateOptions", {}, &kFormStateOptionType};
const forms::TTypeInfo kStoreType{forms::tkClass, L"TOvcAbstractStore"};
const forms::TTypeInfo kNotifyEventType{forms::tkMethod, L"TNotifyEvent"};

template <typename C>
forms::TPropInfo ActiveProperty() {
    return forms::OrdinalProperty<C, &C::Active, &C::SetActive>(L"Active", forms::TypeBoolean);
}
template <typename C>
forms::TPropInfo SectionProperty() {
    return forms::StringProperty<C, &C::Section, &C::SetSection>(L"Section");
}
template <typename C>
forms::TPropInfo StorageProperty() {
    return forms::ObjectProperty<C, &C::Storage>(L"Storage", kStoreType);
}
// Events are listed by name only: the filer passes them by.
forms::TPropInfo EventProperty(std::wstring_view name) { return forms::TPropInfo{name, &kNotifyEventType}; }

const forms::TPropInfo kFormStateProperties[] = {
    ActiveProperty<TOvcFormState>(),
    EventProperty(L"OnRestoreState"),
    EventProperty(L"OnSaveState"),
    forms::OrdinalProperty<TOvcFormState, &TOvcFormState::Options, &TOvcFormState::SetOptions>(L"Options",
                                                                                             kFormStateOptionsType),
    SectionProperty<TOvcFormState>(),
    StorageProperty<TOvcFormState>(),
};

const forms::TPropInfo kComponentStateProperties[] = {
    ActiveProperty<TOvcComponentState>(),
    EventProperty(L"OnRestoreState"),
    EventProperty(L"OnSaveState"),
    SectionProperty<TOvcComponentState>(),
    StorageProperty<TOvcComponentState>(),
    forms::ObjectProperty<TOvcComponentState, &TOvcComponentState::StoredProperties>(L"StoredProperties",
                                                                                    forms::published::StringsType),
};

}  // namespace

const forms::TClassInfo* TOvcFormState::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcFormState", controls::TOvcComponent::ClassInfo(), kFormStateProperties};
    return &info;
}

const forms::TClassInfo* TOvcComponentState::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcComponentState", controls::TOvcComponent::ClassInfo(),
                                        kComponentStateProperties};
    return &info;
}

}  // namespace state
