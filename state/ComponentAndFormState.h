#pragma once
// Components that bring back what the user left behind: the published
// properties of a form's components, and the form's own placement. Each one
// chains itself into its form's create, close-query and destroy events,
// restores while the form is created and saves when it closes.

#include <cstdint>
#include <initializer_list>
#include <string>

#include "controls/ControlBase.h"
#include "forms/Forms.h"
#include "state/PropertyFiler.h"

namespace state {

using controls::EOvcException;

class TOvcAbstractState : public controls::TOvcComponent {
public:
    // Fails with EOvcException unless owner is a form.
    explicit TOvcAbstractState(forms::TComponent* owner);
    ~TOvcAbstractState() override;

    // The automatic restore at creation and save at close and destruction.
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    // The store section; an empty one reads back as the owning form's class name.
    std::wstring Section() const;
    void SetSection(const std::wstring& value) { FSection = value; }
    TOvcAbstractStore* Storage() const { return FStorage; }
    // Also registers for the store's destruction notice.
    void SetStorage(TOvcAbstractStore* value);

    forms::TNotifyEvent OnSaveState() const { return FOnSaveState; }
    void SetOnSaveState(forms::TNotifyEvent value) { FOnSaveState = value; }
    forms::TNotifyEvent OnRestoreState() const { return FOnRestoreState; }
    void SetOnRestoreState(forms::TNotifyEvent value) { FOnRestoreState = value; }

    void RestoreState();
    // Does nothing while the component is active and has not been restored yet.
    void SaveState();

    // One item of the section, read or written now; empty or nothing without a store.
    std::wstring GetSpecialValue(const std::wstring& item);
    void SetSpecialValue(const std::wstring& item, const std::wstring& value);

    // True while the save of the destroy event runs.
    bool IsSavingOnDestroy() const { return isDestroying; }
    // A restore has taken place.
    bool IsRestored() const { return isRestored; }
    // A save has completed since the last restore.
    bool IsSaved() const { return isSaved; }

protected:
    virtual void InternalRestore() = 0;
    virtual void InternalSave() = 0;
    virtual void DoOnRestoreState();
    virtual void DoOnSaveState();
    // Keeps the form's create, close-query and destroy handlers and puts this component's hooks in their place.
    virtual void HookForm();

    void Loaded() override;
    void Notification(forms::TComponent* component, forms::TOperation operation) override;

    forms::TCustomForm* OwnerForm() const;

    std::wstring FSection;
    TOvcAbstractStore* FStorage = nullptr;
    bool isDestroying = false;
    bool isRestored = false;
    bool isSaved = false;

private:
    void FormCreateHook(forms::TObject* Sender);
    void FormCloseQueryHook(forms::TObject* Sender, bool& CanClose);
    void FormDestroyHook(forms::TObject* Sender);
    void UnhookForm();

    bool FActive = true;
    forms::TNotifyEvent FOnSaveState;
    forms::TNotifyEvent FOnRestoreState;
    bool FHooked = false;
    forms::TNotifyEvent isSaveFormCreate;
    forms::TNotifyEvent isSaveFormDestroy;
    forms::TCloseQueryEvent isSaveFormCloseQuery;
};

enum TOvcFormStateOption { fsState, fsPosition, fsNoSize, fsColor, fsActiveControl, fsDefaultMonitor };
// A set of options, bit n for option n.
using TOvcFormStateOptions = uint32_t;
constexpr TOvcFormStateOptions FormStateOptions(std::initializer_list<TOvcFormStateOption> options) {
    TOvcFormStateOptions result = 0;
    for (TOvcFormStateOption option : options) result |= 1u << option;
    return result;
}

// The form's placement in the section: "Flags", "ShowCmd", "NormalPos",
// "PixelsPerInch" and "Color", and by option "ActiveControl" and "DefaultMonitor".
class TOvcFormState : public TOvcAbstractState {
public:
    explicit TOvcFormState(forms::TComponent* owner);
    const forms::TClassInfo* ClassInfo() const override;

    TOvcFormStateOptions Options() const { return FOptions; }
    void SetOptions(TOvcFormStateOptions value) { FOptions = value; }
    bool HasOption(TOvcFormStateOption option) const { return (FOptions & (1u << option)) != 0; }

    // Where a maximized form goes: just beyond the screen by its frame, so the frame is hidden.
    void AdjustMaxPosition();

protected:
    void InternalRestore() override;
    void InternalSave() override;

private:
    void RestoreFormPlacement(forms::TCustomForm& form, const std::wstring& section);
    void SaveFormPlacement(forms::TCustomForm& form, const std::wstring& section);

    TOvcFormStateOptions FOptions = FormStateOptions({fsState, fsPosition});
};

// Published properties of the form's components, named by lines such as
// "Box1.Text", kept through the property filer.
class TOvcComponentState : public TOvcAbstractState {
public:
    explicit TOvcComponentState(forms::TComponent* owner);
    const forms::TClassInfo* ClassInfo() const override;

    // Each line carries the component it names as its object while in use.
    forms::TStringList* StoredProperties() { return &FStoredProperties; }
    // Copies the lines with their objects, then SetNotification.
    void SetStoredProperties(const forms::TStrings& value);

    // Binds the lines anew to the form's components; lines naming none are deleted.
    void UpdateStoredProperties();
    // Registers for the destruction notice of every component a line carries.
    void SetNotification();

protected:
    void Loaded() override;
    void Notification(forms::TComponent* component, forms::TOperation operation) override;
    void InternalRestore() override;
    void InternalSave() override;

private:
    forms::TStringList FStoredProperties;
};

}  // namespace state
