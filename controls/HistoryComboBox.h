#pragma once
// A combo box whose list holds the texts entered before, newest first.

#include "controls/BaseComboBox.h"

namespace controls {

class TOvcHistoryComboBox : public TOvcBaseComboBox {
public:
    explicit TOvcHistoryComboBox(forms::TComponent* owner);
    const forms::TClassInfo* ClassInfo() const override;

    int MaxHistory() const { return FMaxHistory; }
    void SetMaxHistory(int value) { FMaxHistory = value; }

    // Puts the text at the top of the list unless it is empty or a row holds it
    // (ignoring case), leaving at most MaxHistory rows.
    void UpdateHistory();

protected:
    // Leaving the box for another control of the window enters the text into the history.
    void DoExit() override;

private:
    int FMaxHistory = 5;
};

}  // namespace controls
