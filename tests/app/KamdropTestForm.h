#pragma once
// The main window for in-process tests. Its state never goes to the settings
// file beside the test program, so no test reads what another one left there.

#include <string>

#include "app/MainWindow.h"

class TTestKamdropForm : public TKamdropForm {
public:
    // Without a settings file the state components have no store: nothing is
    // restored and nothing saved, not even by an explicit save. With one, the
    // store uses that file before the layout read ends, so the restore reads it.
    explicit TTestKamdropForm(forms::TComponent* owner, const std::wstring& settingsFile = L"")
        : TKamdropForm(owner, LayoutOnly{}) {
        if (settingsFile.empty()) {
            OvcComponentState->SetStorage(nullptr);
            OvcFormState->SetStorage(nullptr);
        } else {
            OvcIniFileStore->SetUseExeDir(false);
            OvcIniFileStore->SetIniFileName(settingsFile);
        }
        EndLayout();
    }
};
