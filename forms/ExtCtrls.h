#pragma once
#include "forms/Controls.h"

namespace forms {

enum TPanelBevel { bvNone, bvLowered, bvRaised };

// A plain container window.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner);
    const TClassInfo* ClassInfo() const override;
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TPanelBevel bevel);

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    TPanelBevel FBevelOuter = bvRaised;
};

}  // namespace forms
