#include "state/ComponentAndFormState.h"

#include <gtest/gtest.h>

#include "StateTestSupport.h"
#include "forms/StdCtrls.h"
#include "state/IniFileStore.h"

using forms::Application;
using forms::TComboBox;
using forms::TObject;
using state::TOvcComponentState;
using state::TOvcFormState;

namespace {

using Lines = std::vector<std::wstring>;

class TStateForm : public forms::TForm {
public:
    using forms::TForm::TForm;
    const forms::TClassInfo* ClassInfo() const override {
        static const forms::TClassInfo info{L"TStateForm", forms::TForm::ClassInfo(), {}};
        return &info;
    }
    void FinishLayout() { EndLayout(); }
};

// What the form's own handlers and the state components' events saw, in order.
struct Recorder {
    Lines entries;
    TComboBox* box = nullptr;
    void FormCreate(TObject*) { entries.push_back(L"form create, Box1 '" + box->Text() + L"'"); }
    void FormCloseQuery(TObject*, bool&) { entries.push_back(L"form close query"); }
    void FormDestroy(TObject*) { entries.push_back(L"form destroy"); }
    void Restored(TObject* sender) { entries.push_back(L"restored " + NameOf(sender)); }
    void Saved(TObject* sender) { entries.push_back(L"saved " + NameOf(sender)); }
    static std::wstring NameOf(TObject* sender) { return static_cast<forms::TComponent*>(sender)->Name(); }
};

struct Parts {
    TStateForm* Form = nullptr;
    TComboBox* Box1 = nullptr;
    TComboBox* Box2 = nullptr;
    TOvcComponentState* Components = nullptr;
    state::TOvcIniFileStore* Store = nullptr;
    TOvcFormState* Placement = nullptr;
};

RECT WindowRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

std::wstring Text(const RECT& rect) {
    return forms::Format(L"%d,%d,%d,%d", static_cast<int>(rect.left), static_cast<int>(rect.top),
                         static_cast<int>(rect.right), static_cast<int>(rect.bottom));
}

// A form laid out as the main window keeps its state: two boxes, the component
// state with its lines, the store over a file of a temporary folder and the
// form state, in that order; the error box's texts are collected.
class StateTest : public testing::Test {
protected:
    void SetUp() override { Application->OnShowException = forms::Bind<&StateTest::Report>(this); }
    void TearDown() override { Application->OnShowException = {}; }
    void Report(const std::wstring& text) { reports.push_back(text); }

    template <typename Adjust>
    Parts MakeForm(Adjust adjust) {
        Parts p;
        p.Form = new TStateForm(Application);
        p.Form->SetBounds(100, 100, 300, 200);
        recorder.box = p.Box1 = MakeBox(p.Form, L"Box1", 10);
        p.Box2 = MakeBox(p.Form, L"Box2", 40);
        p.Form->OnCreate = forms::Bind<&Recorder::FormCreate>(&recorder);
        p.Form->OnCloseQuery = forms::Bind<&Recorder::FormCloseQuery>(&recorder);
        p.Form->OnDestroy = forms::Bind<&Recorder::FormDestroy>(&recorder);

        p.Components = new TOvcComponentState(p.Form);
        p.Components->SetName(L"ComponentState");
        p.Components->SetSection(L"Kamdrop");
        p.Components->SetStoredProperties(forms::TStringList{L"Box1.Items", L"Box1.Text", L"Box2.Text"});
        p.Store = new state::TOvcIniFileStore(p.Form);
        p.Store->SetIniFileName(file);
        p.Placement = new TOvcFormState(p.Form);
        p.Placement->SetName(L"FormState");
        p.Placement->SetOptions(state::FormStateOptions({state::fsPosition}));
        p.Placement->SetSection(L"GUI");
        for (state::TOvcAbstractState* component : {static_cast<state::TOvcAbstractState*>(p.Components),
                                                    static_cast<state::TOvcAbstractState*>(p.Placement)}) {
            component->SetStorage(p.Store);
            component->SetOnRestoreState(forms::Bind<&Recorder::Restored>(&recorder));
            component->SetOnSaveState(forms::Bind<&Recorder::Saved>(&recorder));
        }
        adjust(p);
        p.Form->FinishLayout();
        return p;
    }
    Parts MakeForm() {
        return MakeForm([](Parts&) {});
    }

    static TComboBox* MakeBox(TStateForm* form, const wchar_t* name, int top) {
        auto* box = new TComboBox(form);
        box->SetName(name);
        box->SetParent(form);
        box->SetBounds(10, top, 200, 21);
        return box;
    }

    std::wstring Raw(const std::wstring& section, const std::wstring& key) { return RawValue(file, section, key); }
    // The screen's pixels per inch, which a new form takes.
    static int Ppi() {
        HDC screen = GetDC(nullptr);
        int ppi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return ppi;
    }

    TempFolder folder;
    std::wstring file = folder / L"Settings.ini";
    Recorder recorder;
    Lines reports;
};

TEST_F(StateTest, RestartBringsBackTextsHistoryAndPlacementThroughTheEventChains) {
    Parts first = MakeForm([](Parts& p) { p.Form->SetPosition(forms::poScreenCenter); });
    // The form's own create handler runs first, then the component state, then the form state.
    EXPECT_EQ(recorder.entries, (Lines{L"form create, Box1 ''", L"restored ComponentState", L"restored FormState"}));
    EXPECT_FALSE(FileExists(file));

    first.Form->Show();
    first.Box1->Items().Assign(forms::TStringList{L"C:\\Photos\\", L"D:\\Camera\\"});
    first.Box1->SetText(L"  C:\\Photos\\ ");
    first.Box2->SetText(L"Holiday");
    SetWindowPos(first.Form->Handle(), nullptr, 210, 160, 320, 230, SWP_NOZORDER);
    const RECT placed = WindowRect(first.Form->Handle());
    recorder.entries.clear();
    first.Form->Close();
    EXPECT_FALSE(first.Form->Visible());
    EXPECT_EQ(recorder.entries, (Lines{L"form close query", L"saved ComponentState", L"saved FormState"}));
    recorder.entries.clear();
    delete first.Form;
    // Saved at the close already: the destroy chain only runs the form's own handler.
    EXPECT_EQ(recorder.entries, Lines{L"form destroy"});

    EXPECT_EQ(Raw(L"Kamdrop", L"Box1.Text"), L"C:\\Photos\\");
    EXPECT_EQ(Raw(L"Kamdrop", L"Box2.Text"), L"Holiday");
    EXPECT_EQ(SectionLines(file, L"Kamdrop.Box1.Items"),
              (Lines{L"Count=2", L"Item0=C:\\Photos\\", L"Item1=D:\\Camera\\"}));
    EXPECT_EQ(Raw(L"GUI", L"NormalPos"), Text(placed));
    EXPECT_EQ(Raw(L"GUI", L"ShowCmd"), L"1");
    EXPECT_EQ(Raw(L"GUI", L"Flags"), L"0");
    EXPECT_EQ(Raw(L"GUI", L"PixelsPerInch"), std::to_wstring(Ppi()));
    EXPECT_EQ(Raw(L"GUI", L"Color"), std::to_wstring(forms::clBtnFace));
    EXPECT_EQ(Raw(L"GUI", L"ActiveControl"), L"<none>");
    EXPECT_EQ(Raw(L"GUI", L"DefaultMonitor"), L"<none>");

    recorder.entries.clear();
    Parts second = MakeForm([](Parts& p) { p.Form->SetPosition(forms::poScreenCenter); });
    EXPECT_EQ(recorder.entries, (Lines{L"form create, Box1 ''", L"restored ComponentState", L"restored FormState"}));
    // Everything is back before the window is first shown.
    EXPECT_FALSE(IsWindowVisible(second.Form->Handle()));
    EXPECT_EQ(second.Box1->Items().ToVector(), (Lines{L"C:\\Photos\\", L"D:\\Camera\\"}));
    EXPECT_EQ(second.Box1->Text(), L"C:\\Photos\\");
    EXPECT_EQ(second.Box2->Text(), L"Holiday");
    EXPECT_EQ(second.Form->Position(), forms::poDesigned);
    second.Form->Show();
    EXPECT_EQ(Text(WindowRect(second.Form->Handle())), Text(placed));

    recorder.entries.clear();
    delete second.Form;
    // Not closed: the destroy chain saves, the form state first.
    EXPECT_EQ(recorder.entries, (Lines{L"saved FormState", L"saved ComponentState", L"form destroy"}));
    EXPECT_TRUE(reports.empty());
}

TEST_F(StateTest, FileOfAnotherPixelsPerInchRestoresTheBoxesButNotThePlacement) {
    WriteRaw(file, L"GUI", L"PixelsPerInch", std::to_wstring(Ppi() + 24));
    WriteRaw(file, L"GUI", L"NormalPos", L"10,20,330,260");
    WriteRaw(file, L"Kamdrop", L"Box2.Text", L"Kept");
    Parts p = MakeForm([](Parts& parts) { parts.Form->SetPosition(forms::poScreenCenter); });
    EXPECT_EQ(p.Box2->Text(), L"Kept");
    EXPECT_EQ(p.Form->Position(), forms::poScreenCenter);
    EXPECT_NE(WindowRect(p.Form->Handle()).left, 10);
    delete p.Form;
}

TEST_F(StateTest, StoredPlaceWithRightNotBeyondLeftOpensAtTheDesignedPlaceNotCentred) {
    WriteRaw(file, L"GUI", L"PixelsPerInch", std::to_wstring(Ppi()));
    WriteRaw(file, L"GUI", L"NormalPos", L"400,300,100,500");
    Parts p = MakeForm([](Parts& parts) { parts.Form->SetPosition(forms::poScreenCenter); });
    EXPECT_EQ(p.Form->Position(), forms::poDesigned);
    p.Form->Show();
    const RECT shown = WindowRect(p.Form->Handle());
    EXPECT_EQ(shown.left, 100);
    EXPECT_EQ(shown.top, 100);
    delete p.Form;
}

TEST_F(StateTest, MinimizedWindowSavesItsNormalRectangleAndStartsNormal) {
    Parts first = MakeForm();
    first.Form->Show();
    SetWindowPos(first.Form->Handle(), nullptr, 120, 80, 300, 200, SWP_NOZORDER);
    const RECT normal = WindowRect(first.Form->Handle());
    ShowWindow(first.Form->Handle(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(first.Form->Handle()));
    first.Form->Close();
    delete first.Form;
    EXPECT_EQ(Raw(L"GUI", L"ShowCmd"), L"2");
    EXPECT_EQ(Raw(L"GUI", L"NormalPos"), Text(normal));

    Parts second = MakeForm();
    second.Form->Show();
    EXPECT_FALSE(IsIconic(second.Form->Handle()));
    EXPECT_EQ(Text(WindowRect(second.Form->Handle())), Text(normal));
    delete second.Form;
}

TEST_F(StateTest, InactiveStatesNeitherRestoreNorSaveButAnExplicitSaveWrites) {
    WriteRaw(file, L"Kamdrop", L"Box2.Text", L"Stored");
    WriteRaw(file, L"GUI", L"NormalPos", L"10,20,330,260");
    Parts p = MakeForm([](Parts& parts) {
        parts.Components->SetActive(false);
        parts.Placement->SetActive(false);
    });
    EXPECT_EQ(recorder.entries, Lines{L"form create, Box1 ''"});
    EXPECT_EQ(p.Box2->Text(), L"");
    EXPECT_EQ(WindowRect(p.Form->Handle()).left, 100);

    p.Form->Show();
    p.Box1->SetText(L"typed");
    p.Form->Close();
    EXPECT_EQ(Raw(L"Kamdrop", L"Box1.Text"), L"<none>");
    p.Components->SaveState();
    EXPECT_EQ(Raw(L"Kamdrop", L"Box1.Text"), L"typed");

    p.Box1->SetText(L"changed");
    delete p.Form;
    EXPECT_EQ(Raw(L"Kamdrop", L"Box1.Text"), L"typed");
    EXPECT_EQ(Raw(L"GUI", L"PixelsPerInch"), L"<none>");
}

TEST_F(StateTest, ExplicitSaveBeforeAnyRestoreDoesNothingWhileActive) {
    Parts p = MakeForm();
    // Made after the layout read: it has not hooked the form and has restored nothing.
    auto* late = new TOvcComponentState(p.Form);
    late->SetSection(L"Late");
    late->SetStorage(p.Store);
    late->SetStoredProperties(forms::TStringList{L"Box2.Text"});
    late->UpdateStoredProperties();
    p.Box2->SetText(L"designed");
    late->SaveState();
    EXPECT_FALSE(late->IsSaved());
    EXPECT_EQ(Raw(L"Late", L"Box2.Text"), L"<none>");

    late->RestoreState();
    EXPECT_EQ(p.Box2->Text(), L"designed");
    late->SaveState();
    EXPECT_TRUE(late->IsSaved());
    EXPECT_EQ(Raw(L"Late", L"Box2.Text"), L"designed");
    delete p.Form;
}

TEST_F(StateTest, UnwritableFileIsReportedFourTimesAndTheWindowStillCloses) {
    file = folder / L"missing\\Settings.ini";
    Parts p = MakeForm();
    p.Form->Show();
    p.Box1->SetText(L"typed");
    p.Form->Close();
    EXPECT_FALSE(p.Form->Visible());
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_FALSE(p.Components->IsSaved());
    delete p.Form;
    const std::wstring report = L"Unable to write to " + file + L".";
    EXPECT_EQ(reports, (Lines{report, report, report, report}));
    EXPECT_EQ(recorder.entries.back(), L"form destroy");
}

struct OptionCase {
    const char* name;
    state::TOvcFormStateOptions options;
    forms::TFormBorderStyle border;
    const wchar_t* normalPos;
    const wchar_t* rect;  // the window rectangle after the restore
    forms::TWindowState windowState;
    forms::TColor color;
    const wchar_t* activeControl;
    forms::TDefaultMonitor monitor;
};

TEST_F(StateTest, EachOptionRestoresItsPartOfThePlacement) {
    using namespace state;
    using forms::wsNormal;
    const forms::TColor red = 255, face = forms::clBtnFace;
    const forms::TDefaultMonitor active = forms::dmActiveForm;
    // The form is laid out at 100,100 with a size of 300 by 200.
    const OptionCase cases[] = {
        {"position", FormStateOptions({fsPosition}), forms::bsSizeable, L"150,90,470,340", L"150,90,470,340",
         wsNormal, face, L"", active},
        {"no size", FormStateOptions({fsPosition, fsNoSize}), forms::bsSizeable, L"150,90,470,340",
         L"150,90,450,290", wsNormal, face, L"", active},
        {"fixed size", FormStateOptions({fsPosition}), forms::bsSingle, L"150,90,470,340", L"150,90,450,290",
         wsNormal, face, L"", active},
        {"missing words", FormStateOptions({fsPosition}), forms::bsSizeable, L"150,90", L"150,90,400,300", wsNormal,
         face, L"", active},
        {"malformed words", FormStateOptions({fsPosition}), forms::bsSizeable, L" x,90,  470 ,,340",
         L"100,90,470,340", wsNormal, face, L"", active},
        {"right before left", FormStateOptions({fsPosition}), forms::bsSizeable, L"500,90,470,340",
         L"100,100,400,300", wsNormal, face, L"", active},
        {"state", FormStateOptions({fsState}), forms::bsSizeable, L"150,90,470,340", L"100,100,400,300",
         forms::wsMaximized, face, L"", active},
        {"colour", FormStateOptions({fsPosition, fsColor}), forms::bsSizeable, L"150,90,470,340", L"150,90,470,340",
         wsNormal, red, L"", active},
        {"colour alone", FormStateOptions({fsColor}), forms::bsSizeable, L"150,90,470,340", L"100,100,400,300",
         wsNormal, face, L"", active},
        {"active control", FormStateOptions({fsPosition, fsActiveControl}), forms::bsSizeable, L"150,90,470,340",
         L"150,90,470,340", wsNormal, face, L"Box2", active},
        {"default monitor", FormStateOptions({fsPosition, fsDefaultMonitor}), forms::bsSizeable, L"150,90,470,340",
         L"150,90,470,340", wsNormal, face, L"", forms::dmPrimary},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(c.name);
        WritePrivateProfileStringW(L"GUI", nullptr, nullptr, file.c_str());
        WriteRaw(file, L"GUI", L"Flags", L"0");
        WriteRaw(file, L"GUI", L"ShowCmd", L"3");
        WriteRaw(file, L"GUI", L"NormalPos", c.normalPos);
        WriteRaw(file, L"GUI", L"PixelsPerInch", std::to_wstring(Ppi()));
        WriteRaw(file, L"GUI", L"Color", std::to_wstring(red));
        WriteRaw(file, L"GUI", L"ActiveControl", L"box2");
        WriteRaw(file, L"GUI", L"DefaultMonitor", L"1");
        Parts p = MakeForm([&c](Parts& parts) {
            parts.Placement->SetOptions(c.options);
            parts.Form->SetBorderStyle(c.border);
        });
        EXPECT_EQ(Text(WindowRect(p.Form->Handle())), c.rect);
        EXPECT_EQ(p.Form->WindowState(), c.windowState);
        EXPECT_EQ(p.Form->Color(), c.color);
        EXPECT_EQ(p.Form->ActiveControl() ? p.Form->ActiveControl()->Name() : L"", c.activeControl);
        EXPECT_EQ(p.Form->DefaultMonitor(), c.monitor);
        delete p.Form;
    }
}

TEST_F(StateTest, ActiveControlAndDefaultMonitorAreSavedOnlyWithTheirOptions) {
    Parts p = MakeForm([](Parts& parts) {
        parts.Placement->SetOptions(
            state::FormStateOptions({state::fsPosition, state::fsActiveControl, state::fsDefaultMonitor}));
        parts.Form->SetDefaultMonitor(forms::dmMainForm);
    });
    p.Form->Show();
    p.Box2->SetFocus();
    p.Form->Close();
    EXPECT_EQ(Raw(L"GUI", L"ActiveControl"), L"Box2");
    EXPECT_EQ(Raw(L"GUI", L"DefaultMonitor"), L"2");
    EXPECT_EQ(Raw(L"GUI", L"NormalPos"), Text(WindowRect(p.Form->Handle())));
    delete p.Form;
}

TEST_F(StateTest, MinimizedStateOfTheMainFormGoesThroughTheApplication) {
    class TMinimizedForm : public forms::TForm {
    public:
        explicit TMinimizedForm(forms::TComponent* owner) : forms::TForm(owner) {
            auto* store = new state::TOvcIniFileStore(this);
            store->SetIniFileName(File());
            Placement = new TOvcFormState(this);
            Placement->SetOptions(state::FormStateOptions({state::fsState}));
            Placement->SetSection(L"GUI");
            Placement->SetStorage(store);
            EndLayout();
        }
        static std::wstring& File() {
            static std::wstring file;
            return file;
        }
        TOvcFormState* Placement = nullptr;
    };
    TMinimizedForm::File() = file;
    WriteRaw(file, L"GUI", L"ShowCmd", L"2");
    ASSERT_EQ(Application->MainForm(), nullptr);
    TMinimizedForm* form = nullptr;
    Application->CreateForm(form);
    // While it is being created a form is not yet the application's main form: it takes the state itself.
    EXPECT_EQ(form->WindowState(), forms::wsMinimized);

    form->SetWindowState(forms::wsNormal);
    form->Show();
    form->Placement->RestoreState();
    EXPECT_FALSE(IsIconic(form->Handle()));
    Application->ProcessMessages();
    EXPECT_TRUE(IsIconic(form->Handle()));
    forms::Free(form);
}

// Every read fails; writes are counted where the test can see them after the store is gone.
class FailingStore : public state::TOvcAbstractStore {
public:
    FailingStore(forms::TComponent* owner, int& writeCount) : state::TOvcAbstractStore(owner), writes(writeCount) {}
    int& writes;
    std::wstring ReadString(const std::wstring&, const std::wstring&, const std::wstring&) override {
        throw state::EIniFileException(L"Unable to read");
    }
    void WriteString(const std::wstring&, const std::wstring&, const std::wstring&) override { ++writes; }

protected:
    void OpenStorage() override {}
    void CloseStorage() override {}
};

TEST_F(StateTest, FailedRestoreIsReportedAndLaterAutomaticSavesAreSkipped) {
    FailingStore* failing = nullptr;
    int writes = 0;
    Parts p = MakeForm([&](Parts& parts) {
        failing = new FailingStore(parts.Form, writes);
        parts.Placement->SetStorage(failing);
        parts.Components->SetStorage(nullptr);
    });
    EXPECT_EQ(reports, Lines{L"Unable to read."});
    EXPECT_FALSE(p.Placement->IsRestored());
    EXPECT_EQ(failing->RefCount(), 0);

    p.Form->Show();
    recorder.entries.clear();
    p.Form->Close();
    // Without a store the component state saves nothing, yet counts as saved.
    EXPECT_EQ(recorder.entries, (Lines{L"form close query", L"saved ComponentState"}));
    EXPECT_TRUE(p.Components->IsSaved());
    delete p.Form;
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(StateTest, StoreAndBoxesFreedFirstAreLetGo) {
    Parts p = MakeForm();
    EXPECT_EQ(p.Components->StoredProperties()->ToVector(), (Lines{L"Box1.Items", L"Box1.Text", L"Box2.Text"}));
    EXPECT_EQ(p.Components->StoredProperties()->Objects(2), p.Box2);
    delete p.Box2;
    EXPECT_EQ(p.Components->StoredProperties()->ToVector(), (Lines{L"Box1.Items", L"Box1.Text"}));

    p.Placement->SetSpecialValue(L"Extra", L"value");
    EXPECT_EQ(p.Placement->GetSpecialValue(L"Extra"), L"value");
    EXPECT_EQ(Raw(L"GUI", L"Extra"), L"value");

    delete p.Store;
    EXPECT_FALSE(p.Components->Active());
    EXPECT_EQ(p.Placement->Storage(), nullptr);
    EXPECT_EQ(p.Placement->GetSpecialValue(L"Extra"), L"");
    p.Form->Show();
    p.Form->Close();
    delete p.Form;
    EXPECT_EQ(Raw(L"GUI", L"NormalPos"), L"<none>");
    EXPECT_TRUE(reports.empty());
}

TEST_F(StateTest, FreedStateComponentLeavesTheChainWhole) {
    for (bool componentsFirst : {true, false}) {
        SCOPED_TRACE(componentsFirst ? "component state freed" : "form state freed");
        Parts p = MakeForm();
        state::TOvcAbstractState* gone = componentsFirst ? static_cast<state::TOvcAbstractState*>(p.Components)
                                                         : static_cast<state::TOvcAbstractState*>(p.Placement);
        const std::wstring kept = componentsFirst ? L"FormState" : L"ComponentState";
        delete gone;
        p.Form->Show();
        recorder.entries.clear();
        p.Form->Close();
        EXPECT_EQ(recorder.entries, (Lines{L"form close query", L"saved " + kept}));
        recorder.entries.clear();
        delete p.Form;
        EXPECT_EQ(recorder.entries, Lines{L"form destroy"});
    }
}

TEST_F(StateTest, OnlyFormsOwnStateComponentsAndAnEmptySectionReadsAsTheFormsClass) {
    forms::TComponent plain(nullptr);
    try {
        TOvcFormState placement(&plain);
        FAIL() << "created on a component that is not a form";
    } catch (const state::EOvcException& error) {
        EXPECT_EQ(error.Message(), L"This component can only be used on forms");
    }
    EXPECT_EQ(plain.ComponentCount(), 0);

    Parts p = MakeForm([](Parts& parts) { parts.Placement->SetSection(L""); });
    EXPECT_EQ(p.Placement->Section(), L"TStateForm");
    delete p.Form;
    // Saved under the section as set, the empty one.
    EXPECT_EQ(Raw(L"TStateForm", L"NormalPos"), L"<none>");
    EXPECT_NE(Raw(L"", L"NormalPos"), L"<none>");
}

}  // namespace
