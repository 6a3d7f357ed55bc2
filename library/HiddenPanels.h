#pragma once
// The holder form of the About dialog's hidden panels. It is never shown: the
// dialog borrows a panel by making it a child of its own host panel. A
// panel's word is its name without the ending "Panel": ZembroPanel holds the
// maker's photograph, QxvPanel the product's web addresses, YarnokPanel the
// download link.

#include <string>

#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

namespace library {

class TEasterEggsForm : public forms::TForm {
public:
    explicit TEasterEggsForm(forms::TComponent* owner);
    const forms::TClassInfo* ClassInfo() const override;

    forms::TPageControl* PageControl1 = nullptr;
    forms::TTabSheet* TabSheet1 = nullptr;
    forms::TPanel* ZembroPanel = nullptr;
    forms::TImage* Image1 = nullptr;
    forms::TLabel* Label2 = nullptr;
    forms::TLabel* Label1 = nullptr;
    forms::TTabSheet* TabSheet2 = nullptr;
    forms::TPanel* QxvPanel = nullptr;
    forms::TMemo* InfoMemo = nullptr;
    forms::TTabSheet* TabSheet3 = nullptr;
    forms::TPanel* YarnokPanel = nullptr;
    forms::TLabel* DownloadNowLabel = nullptr;

    // The texts of the panels: the addresses of the product page, its
    // screenshot and its download archive, built from the site URL (ending in
    // "/"), the software page URL (without one) and the URL application name.
    void FillInfo(const std::wstring& UrlSite, const std::wstring& UrlSoftware, const std::wstring& UrlAppName);
    void DownloadNowLabelClick(forms::TObject* Sender);

    // The download archive's URL, set by FillInfo.
    std::wstring DownloadUrl;

private:
    void CreateLayout();
    forms::TPanel* MakePanel(forms::TTabSheet*& page, const wchar_t* pageName, const wchar_t* caption,
                             const wchar_t* panelName);
};

}  // namespace library
