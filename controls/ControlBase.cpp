#include "controls/ControlBase.h"

#include <memory>
#include <utility>

#include "forms/Forms.h"
#include "runtime/TypInfo.h"

namespace controls {

// ---- TOvcController ----

TOvcController::TOvcController(forms::TComponent* owner) : TOvcComponent(owner) {
    FTimerPool = new TOvcTimerPool(this);
    FTimerPool->SetOnAllTriggers(forms::Bind<&TOvcController::DoOnTimerTrigger>(this));
}

TOvcController::~TOvcController() { delete std::exchange(FTimerPool, nullptr); }

void TOvcController::DoOnTimerTrigger(forms::TObject*, int32_t Handle, uint32_t Interval, int32_t ElapsedTime) {
    if (FOnTimerTrigger) FOnTimerTrigger(this, Handle, Interval, ElapsedTime);
}

TOvcController* SharedController() {
    // Freed at program end with the other statics; the pool's window goes with it.
    static std::unique_ptr<TOvcController> controller;
    if (!controller) controller = std::make_unique<TOvcController>(nullptr);
    return controller.get();
}

// ---- TOvcLabelInfo ----

void TOvcLabelInfo::DoOnChange() {
    if (FOnChange) FOnChange(this);
}

void TOvcLabelInfo::DoOnAttach() {
    if (FOnAttach) FOnAttach(this, FVisible);
}

void TOvcLabelInfo::SetOffsetX(int value) {
    if (value == FOffsetX) return;
    FOffsetX = value;
    DoOnChange();
}

void TOvcLabelInfo::SetOffsetY(int value) {
    if (value == FOffsetY) return;
    FOffsetY = value;
    DoOnChange();
}

void TOvcLabelInfo::SetOffsets(int x, int y) {
    if (x == FOffsetX && y == FOffsetY) return;
    FOffsetX = x;
    FOffsetY = y;
    DoOnChange();
}

void TOvcLabelInfo::SetVisible(bool value) {
    if (value == FVisible) return;
    FVisible = value;
    DoOnAttach();
}

namespace {
const forms::TPropInfo kLabelInfoProperties[] = {
    forms::OrdinalProperty<TOvcLabelInfo, &TOvcLabelInfo::OffsetX, &TOvcLabelInfo::SetOffsetX>(L"OffsetX",
                                                                                               forms::TypeInteger),
    forms::OrdinalProperty<TOvcLabelInfo, &TOvcLabelInfo::OffsetY, &TOvcLabelInfo::SetOffsetY>(L"OffsetY",
                                                                                               forms::TypeInteger),
    forms::OrdinalProperty<TOvcLabelInfo, &TOvcLabelInfo::Visible, &TOvcLabelInfo::SetVisible>(L"Visible",
                                                                                               forms::TypeBoolean),
};
}  // namespace

const forms::TClassInfo* TOvcLabelInfo::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcLabelInfo", nullptr, kLabelInfoProperties};
    return &info;
}

// ---- TOvcAttachedLabel ----

TOvcAttachedLabel::TOvcAttachedLabel(forms::TComponent* owner) : TLabel(owner) {}

TOvcAttachedLabel::TOvcAttachedLabel(forms::TComponent* owner, forms::TWinControl* control)
    : TOvcAttachedLabel(owner) {
    SetControl(control);
    SetFocusControl(control);
}

void TOvcAttachedLabel::SetControl(forms::TWinControl* value) {
    if (value == FControl) return;
    // The focus control may be the same component and still need its notice.
    if (FControl && FControl != FocusControl()) RemoveFreeNotification(FControl);
    FControl = value;
    if (value) FreeNotification(value);
}

void TOvcAttachedLabel::SetBounds(int left, int top, int width, int height) {
    TLabel::SetBounds(left, top, width, height);
    NotifyControl();
}

void TOvcAttachedLabel::Loaded() {
    TLabel::Loaded();
    NotifyControl();
}

void TOvcAttachedLabel::Notification(forms::TComponent* component, forms::TOperation operation) {
    TLabel::Notification(component, operation);
    if (operation == forms::TOperation::opRemove && component == FControl) FControl = nullptr;
}

void TOvcAttachedLabel::NotifyControl() {
    if (IsLoading() || IsDestroying() || !FControl) return;
    forms::TCustomForm* form = nullptr;
    for (forms::TWinControl* parent = Parent(); parent && !form; parent = parent->Parent())
        form = dynamic_cast<forms::TCustomForm*>(parent);
    // Only a control that is one of that form's components.
    if (!form || FControl->Owner() != form) return;
    // The control learns of its caption at once and takes the offsets once the caption stands still.
    HWND window = FControl->Handle();
    SendMessageW(window, OM_ASSIGNLABEL, 0, reinterpret_cast<LPARAM>(this));
    PostMessageW(window, OM_RECORDLABELPOSITION, 0, 0);
}

const forms::TClassInfo* TOvcAttachedLabel::ClassInfo() const {
    static const forms::TClassInfo info{L"TOvcAttachedLabel", TLabel::ClassInfo(), {}};
    return &info;
}

}  // namespace controls
