#include <gtest/gtest.h>

#include "FormTestSupport.h"
#include "forms/Buttons.h"
#include "forms/ComCtrls.h"
#include "forms/ExtCtrls.h"
#include "forms/Menus.h"
#include "forms/StdCtrls.h"

using namespace forms;

namespace {

// The main window's arrangement: a bordered form, two bars along the bottom
// (created in the opposite order of their places), a panel along the top with
// controls anchored to its right edge, and a list filling the rest.
class LayoutTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TestForm(nullptr);
        form->SetBorderWidth(5);
        form->SetClientSize(484, 272);
        progress = new TProgressBar(form);
        progress->SetParent(form);
        progress->SetBounds(0, 227, 474, 16);
        progress->SetAlign(alBottom);
        status = new TStatusBar(form);
        status->SetParent(form);
        status->SetBounds(0, 243, 474, 19);
        status->SetAlign(alBottom);
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 474, 96);
        panel->SetAlign(alTop);
        button = new TSpeedButton(form);
        button->SetParent(panel);
        button->SetBounds(378, 54, 90, 24);
        button->SetAnchors(akTop | akRight);
        box = new TComboBox(form);
        box->SetParent(panel);
        box->SetBounds(300, 15, 168, 19);
        box->SetAnchors(akLeft | akTop | akRight);
        list = new TListBox(form);
        list->SetParent(form);
        list->SetBounds(0, 96, 474, 131);
        list->SetAlign(alClient);
        form->FinishLayout();
    }
    void TearDown() override { forms::Free(form); }

    TestForm* form = nullptr;
    TProgressBar* progress = nullptr;
    TStatusBar* status = nullptr;
    TPanel* panel = nullptr;
    TSpeedButton* button = nullptr;
    TComboBox* box = nullptr;
    TListBox* list = nullptr;
};

TEST_F(LayoutTest, AlignedControlsShareTheAreaInsideTheBorder) {
    EXPECT_EQ(form->ClientWidth(), 474);
    EXPECT_EQ(form->ClientHeight(), 262);
    EXPECT_EQ(BoxOf(*status), (Box{0, 243, 474, 19}));
    EXPECT_EQ(BoxOf(*progress), (Box{0, 227, 474, 16}));
    EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 474, 96}));
    EXPECT_EQ(BoxOf(*list), (Box{0, 96, 474, 131}));
    // The windows sit inside the 5-pixel band: the client origin is there.
    POINT origin{0, 0};
    ClientToScreen(form->Handle(), &origin);
    RECT listRect;
    GetWindowRect(list->Handle(), &listRect);
    RECT formRect;
    GetWindowRect(form->Handle(), &formRect);
    RECT client;
    GetClientRect(form->Handle(), &client);
    int frame = (formRect.right - formRect.left - client.right) / 2;
    EXPECT_EQ(listRect.left - formRect.left, frame);
    EXPECT_EQ(listRect.left - origin.x, 0);
}

TEST_F(LayoutTest, ResizingKeepsBarsAtTheBottomAndAnchorsAtTheRight) {
    form->SetClientSize(584, 372);
    EXPECT_EQ(BoxOf(*status), (Box{0, 343, 574, 19}));
    EXPECT_EQ(BoxOf(*progress), (Box{0, 327, 574, 16}));
    EXPECT_EQ(BoxOf(*panel), (Box{0, 0, 574, 96}));
    EXPECT_EQ(BoxOf(*list), (Box{0, 96, 574, 231}));
    EXPECT_EQ(BoxOf(*button), (Box{478, 54, 90, 24}));
    EXPECT_EQ(box->Left(), 300);
    EXPECT_EQ(box->Width(), 268);
    EXPECT_EQ(OffsetInParentWindow(button->Handle()).x, 478) << "the window follows the control's position";
}

TEST_F(LayoutTest, HidingAnAlignedBarGivesItsPlaceToTheList) {
    progress->SetVisible(false);
    EXPECT_EQ(BoxOf(*list), (Box{0, 96, 474, 147}));
    progress->SetVisible(true);
    EXPECT_EQ(BoxOf(*list), (Box{0, 96, 474, 131}));
}

// ---- The frame ----

TEST(FormFrameTest, BorderIconsSizeLimitsAndFirstPlacementShapeTheWindow) {
    TestForm form(nullptr);
    form.SetCaption(L"Frame");
    form.SetBorderWidth(5);
    form.SetClientSize(484, 272);
    form.Constraints() = TSizeConstraints{500, 270, 500, 0};
    form.SetBorderIcons(biSystemMenu | biMinimize);
    form.SetPosition(poScreenCenter);
    form.FinishLayout();
    LONG style = GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_EQ(GetWindow(form.Handle(), GW_OWNER), Application->Handle());

    RECT rect;
    GetWindowRect(form.Handle(), &rect);
    EXPECT_EQ(rect.right - rect.left, 500) << "the width limit holds from the start";
    form.Show();
    GetWindowRect(form.Handle(), &rect);
    EXPECT_NEAR(rect.left + rect.right, GetSystemMetrics(SM_CXSCREEN), 1);
    EXPECT_NEAR(rect.top + rect.bottom, GetSystemMetrics(SM_CYSCREEN), 1);

    // Resized as a user would: taller is fine, wider and too low are not.
    SetWindowPos(form.Handle(), nullptr, 0, 0, 640, 200, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(form.Handle(), &rect);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 270);
    SetWindowPos(form.Handle(), nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(form.Height(), 400);
    MINMAXINFO limits{};
    SendMessageW(form.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 500);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 500);
    EXPECT_EQ(limits.ptMinTrackSize.y, 270);
}

TEST(FormFrameTest, TheApplicationTitleIsTheHiddenWindowsText) {
    Application->SetTitle(L"Kamdrop");
    wchar_t text[32] = {};
    GetWindowTextW(Application->Handle(), text, 32);
    EXPECT_STREQ(text, L"Kamdrop");
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
}

// ---- Layout reading ----

struct OrderProbe : TComponent {
    std::vector<std::wstring>* log;
    OrderProbe(TComponent* owner, std::vector<std::wstring>* l, const wchar_t* name) : TComponent(owner), log(l) {
        SetName(name);
    }
    ~OrderProbe() override { log->push_back(L"free " + Name()); }
    void Loaded() override {
        TComponent::Loaded();
        log->push_back(L"loaded " + Name());
    }
};

class ProbeForm : public TestForm {
public:
    std::vector<std::wstring>* log;
    ProbeForm(std::vector<std::wstring>* l) : TestForm(nullptr), log(l) {
        SetName(L"Form");
        OnCreate = Bind<&ProbeForm::HandleCreate>(this);
        OnDestroy = Bind<&ProbeForm::HandleDestroy>(this);
        first = new OrderProbe(this, log, L"First");
        new OrderProbe(this, log, L"Second");
        loadingDuringLayout = first->IsLoading();
        FinishLayout();
    }
    void Loaded() override {
        TestForm::Loaded();
        log->push_back(L"loaded Form");
    }
    void HandleCreate(TObject*) { log->push_back(HandleAllocated() ? L"create with window" : L"create"); }
    void HandleDestroy(TObject*) { log->push_back(L"destroy"); }
    OrderProbe* first = nullptr;
    bool loadingDuringLayout = false;
};

TEST(FormLayoutTest, LoadedRunsPerComponentThenFormThenCreateAndDestroyComesBeforeFreeing) {
    std::vector<std::wstring> log;
    auto* form = new ProbeForm(&log);
    EXPECT_TRUE(form->loadingDuringLayout);
    EXPECT_FALSE(form->first->IsLoading());
    EXPECT_EQ(log, (std::vector<std::wstring>{L"loaded First", L"loaded Second", L"loaded Form",
                                              L"create with window"}));
    log.clear();
    forms::Free(form);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"destroy", L"free Second", L"free First"}));
}

TEST(FormLayoutTest, AFormShownWithoutEndingItsLayoutEndsItThen) {
    TForm form(nullptr);
    EventLog log;
    form.OnCreate = Bind<&EventLog::Notify>(&log);
    auto* list = new TListBox(&form);
    list->SetParent(&form);
    list->SetAlign(alClient);
    form.Show();
    EXPECT_FALSE(form.IsLoading());
    EXPECT_FALSE(list->IsLoading());
    EXPECT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(list->Width(), form.ClientWidth());
}

// ---- Closing the main form ----

class MainForm : public TestForm {
public:
    using TestForm::TestForm;
    std::vector<std::wstring> log;
    TSpeedButton* start = nullptr;

    void Build() {
        start = new TSpeedButton(this);
        start->SetParent(this);
        start->SetCaption(L"&Start");
        start->OnClick = Bind<&MainForm::HandleStart>(this);
        OnCloseQuery = Bind<&MainForm::HandleCloseQuery>(this);
        OnClose = Bind<&MainForm::HandleClose>(this);
        FinishLayout();
    }
    // A long run that lets messages through, as the release run does.
    void HandleStart(TObject*) {
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
        for (int step = 0; step < 3; ++step) {
            Application->ProcessMessages();
            log.push_back(Application->Terminated() ? L"step, terminated" : L"step");
        }
        log.push_back(IsWindowVisible(Handle()) ? L"run over, window shown" : L"run over, window hidden");
    }
    void HandleCloseQuery(TObject*, bool&) { log.push_back(L"close query"); }
    void HandleClose(TObject*, TCloseAction&) { log.push_back(L"close"); }
};

TEST(MainFormTest, CloseDuringARunEndsTheLoopOnlyWhenTheRunIsOver) {
    MainForm* form = nullptr;
    Application->CreateForm(form);
    ASSERT_EQ(Application->MainForm(), form);
    form->Build();
    PostMessageW(form->start->Handle(), BM_CLICK, 0, 0);
    Application->Run();
    EXPECT_EQ(form->log, (std::vector<std::wstring>{L"close query", L"close", L"step, terminated",
                                                    L"step, terminated", L"step, terminated",
                                                    L"run over, window shown"}));
    EXPECT_TRUE(IsWindow(form->Handle()));
    forms::Free(form);
    EXPECT_EQ(Application->MainForm(), nullptr);
}

TEST(MainFormTest, CloseQueryCanRefuseAndTitleBarCloseRunsTheSameWay) {
    MainForm* form = nullptr;
    Application->CreateForm(form);
    form->Build();
    form->Show();
    struct Refuser {
        bool allow = false;
        void Query(TObject*, bool& canClose) { canClose = allow; }
    } refuser;
    form->OnCloseQuery = Bind<&Refuser::Query>(&refuser);
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(Application->Terminated());
    refuser.allow = true;
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(IsWindowVisible(form->Handle()));
    forms::Free(form);
}

// ---- Errors in handlers ----

TEST(HandlerErrorTest, AnErrorInAClickHandlerReachesTheErrorBoxText) {
    struct Thrower {
        std::wstring message;
        void Click(TObject*) { throw Exception(message); }
        void Show(const std::wstring& text) { shown.push_back(text); }
        std::vector<std::wstring> shown;
    } thrower;
    TestForm form(nullptr);
    auto* button = new TSpeedButton(&form);
    button->SetParent(&form);
    button->OnClick = Bind<&Thrower::Click>(&thrower);
    form.FinishLayout();
    Application->OnShowException = Bind<&Thrower::Show>(&thrower);
    for (const wchar_t* message : {L"Cannot move file", L"Index out of range (reader.cpp, line 12)"}) {
        thrower.message = message;
        SendMessageW(button->Handle(), BM_CLICK, 0, 0);
    }
    Application->OnShowException = {};
    EXPECT_EQ(thrower.shown, (std::vector<std::wstring>{L"Cannot move file.",
                                                         L"Index out of range (reader.cpp, line 12)"}));
}

// ---- Keyboard: Tab order and Alt+letter ----

class KeyboardTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TestForm(nullptr);
        form->SetClientSize(400, 200);
        panel = new TPanel(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 400, 100);
        panel->SetTabOrder(0);
        // Created in another order than their tab order, as a layout does.
        target = MakeBox(L"Target", 40, 2);
        source = MakeBox(L"Source", 10, 0);
        auto* dots = new TButton(form);
        dots->SetParent(panel);
        dots->SetBounds(300, 10, 20, 19);
        dots->SetTabStop(false);
        dots->SetTabOrder(1);
        name = MakeBox(L"Name", 70, 3);
        list = new TListBox(form);
        list->SetParent(form);
        list->SetBounds(0, 100, 400, 100);
        list->SetTabOrder(1);
        start = new TSpeedButton(form);
        start->SetParent(panel);
        start->SetCaption(L"&Start");
        start->SetBounds(330, 40, 60, 24);
        start->OnClick = Bind<&EventLog::Notify>(&clicks);
        label = new TLabel(form);
        label->SetParent(panel);
        label->SetCaption(L"&Output");
        label->SetFocusControl(target);
        form->FinishLayout();
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override { forms::Free(form); }

    TComboBox* MakeBox(const wchar_t* boxName, int top, int tabOrder) {
        auto* box = new TComboBox(form);
        box->SetName(boxName);
        box->SetParent(panel);
        box->SetBounds(10, top, 200, 19);
        box->SetTabOrder(tabOrder);
        return box;
    }
    std::wstring FocusedName() {
        TWinControl* control = FindOwningControl(GetFocus());
        return control ? control->Name() : L"(none)";
    }
    void PressTab(bool shift) {
        BYTE keys[256];
        GetKeyboardState(keys);
        BYTE saved = keys[VK_SHIFT];
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        Application->ProcessMessages();
        keys[VK_SHIFT] = saved;
        SetKeyboardState(keys);
    }
    void PressAlt(wchar_t letter) {
        PostMessageW(GetFocus(), WM_SYSCHAR, letter, 1 << 29);
        Application->ProcessMessages();
    }

    TestForm* form = nullptr;
    TPanel* panel = nullptr;
    TComboBox *source = nullptr, *target = nullptr, *name = nullptr;
    TListBox* list = nullptr;
    TSpeedButton* start = nullptr;
    TLabel* label = nullptr;
    EventLog clicks;
};

TEST_F(KeyboardTest, TabMovesThroughTabStopsInTabOrderAcrossThePanel) {
    list->SetName(L"List");
    EXPECT_EQ(source->TabOrder(), 0);
    EXPECT_EQ(target->TabOrder(), 2);
    EXPECT_EQ(FocusedName(), L"Source") << "the first control in tab order has the focus once shown";
    std::vector<std::wstring> forward;
    for (int i = 0; i < 4; ++i) {
        PressTab(false);
        forward.push_back(FocusedName());
    }
    EXPECT_EQ(forward, (std::vector<std::wstring>{L"Target", L"Name", L"List", L"Source"}));
    PressTab(true);
    EXPECT_EQ(FocusedName(), L"List");
}

TEST_F(KeyboardTest, AltLetterClicksTheSpeedButtonOnlyWhileEnabledAndKeepsTheFocus) {
    PressAlt(L's');
    EXPECT_EQ(clicks.entries.size(), 1u);
    EXPECT_EQ(FocusedName(), source->Name());
    start->SetEnabled(false);
    PressAlt(L's');
    EXPECT_EQ(clicks.entries.size(), 1u);
}

TEST_F(KeyboardTest, ErrorOfAHandlerReachedByTheKeyboardGoesToTheErrorBoxAndTheLoopGoesOn) {
    struct Failing {
        void Click(TObject*) { throw Exception(L"Invalid argument to date encode"); }
    } failing;
    std::vector<std::wstring> shown;
    struct Sink {
        std::vector<std::wstring>* shown;
        void Show(const std::wstring& text) { shown->push_back(text); }
    } sink{&shown};
    Application->OnShowException = Bind<&Sink::Show>(&sink);
    start->OnClick = Bind<&Failing::Click>(&failing);
    // Alt+S is handled by the loop itself, not by a window procedure.
    PressAlt(L's');
    PressTab(false);
    Application->OnShowException = {};
    EXPECT_EQ(shown, std::vector<std::wstring>{L"Invalid argument to date encode."});
    EXPECT_FALSE(Application->Terminated());
    EXPECT_EQ(FocusedName(), L"Target") << "the loop went on with the next key";
}

TEST_F(KeyboardTest, AltLetterOfALabelFocusesItsControl) {
    PressAlt(L'o');
    EXPECT_EQ(FocusedName(), L"Target");
}

TEST_F(KeyboardTest, SpeedButtonClickRunsOnlyWhenEnabledAndNeverTakesTheFocus) {
    SendMessageW(start->Handle(), BM_CLICK, 0, 0);
    PostMessageW(start->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(start->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    // Pressed inside, released outside: no click.
    PostMessageW(start->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(start->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    Application->ProcessMessages();
    EXPECT_EQ(clicks.entries.size(), 2u);
    EXPECT_EQ(FocusedName(), L"Source");
    start->SetEnabled(false);
    SendMessageW(start->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(clicks.entries.size(), 2u);
}

// ---- Menus ----

TEST(MenuTest, CommandsOfTheMenuBarAndItsSubmenusRunTheirItems) {
    TestForm form(nullptr);
    EventLog log;
    auto* menu = new TMainMenu(&form);
    auto* exitItem = new TMenuItem(&form);
    exitItem->SetCaption(L"E&xit");
    exitItem->OnClick = Bind<&EventLog::Notify>(&log);
    auto* info = new TMenuItem(&form);
    info->SetCaption(L"&Info");
    auto* about = new TMenuItem(&form);
    about->SetCaption(L"&About");
    struct AboutProbe {
        EventLog* log;
        void Click(TObject*) { log->Add(L"about"); }
    } aboutProbe{&log};
    about->OnClick = Bind<&AboutProbe::Click>(&aboutProbe);
    menu->Items().Add(exitItem);
    menu->Items().Add(info);
    info->Add(about);
    form.SetMenu(menu);
    form.FinishLayout();
    EXPECT_NE(exitItem->Command(), about->Command());
    ASSERT_EQ(GetMenu(form.Handle()), menu->Handle());
    EXPECT_EQ(GetMenuItemCount(menu->Handle()), 2);

    SendMessageW(form.Handle(), WM_COMMAND, about->Command(), 0);
    SendMessageW(form.Handle(), WM_COMMAND, exitItem->Command(), 0);
    about->SetEnabled(false);
    SendMessageW(form.Handle(), WM_COMMAND, about->Command(), 0);
    EXPECT_EQ(log.entries, (std::vector<std::wstring>{L"about", L"notify"}));
    EXPECT_EQ(GetMenuState(GetSubMenu(menu->Handle(), 1), 0, MF_BYPOSITION) & MF_GRAYED, UINT(MF_GRAYED));
    // A checked item carries its check mark into the menu the system shows, and loses it again.
    about->SetChecked(true);
    EXPECT_EQ(GetMenuState(GetSubMenu(menu->Handle(), 1), 0, MF_BYPOSITION) & MF_CHECKED, UINT(MF_CHECKED));
    about->SetChecked(false);
    EXPECT_EQ(GetMenuState(GetSubMenu(menu->Handle(), 1), 0, MF_BYPOSITION) & MF_CHECKED, 0u);
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST(MenuTest, ContextMenuOnAControlOpensItsPopupWithTheControlAsPopupComponent) {
    TestForm form(nullptr);
    auto* popup = new TPopupMenu(&form);
    auto* clear = new TMenuItem(&form);
    clear->SetCaption(L"&Clear history");
    popup->Items().Add(clear);
    auto* box = new TComboBox(&form);
    box->SetParent(&form);
    box->SetPopupMenu(popup);
    form.FinishLayout();
    form.Show();
    SetTimer(nullptr, 0, 50, CloseMenu);
    SendMessageW(box->EditHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box->EditHandle()),
                 MAKELPARAM(100, 100));
    EXPECT_EQ(popup->PopupComponent(), box);
    delete box;
    EXPECT_EQ(popup->PopupComponent(), nullptr);
}

// A form's destroy event needs the derived form whole: its handlers read
// the form's own members. Owners and Free raise it before any destructor runs.
class MemberForm : public TForm {
public:
    MemberForm(TComponent* owner, std::wstring* seen) : TForm(owner), FSeen(seen) {
        OnDestroy = Bind<&MemberForm::HandleDestroy>(this);
        EndLayout();
    }
    ~MemberForm() override { FState = L"destroyed"; }

private:
    void HandleDestroy(TObject*) { *FSeen = FState; }
    std::wstring* FSeen;
    std::wstring FState = L"whole";
};

TEST(FormDestroyTest, DestroyEventRunsWhileTheDerivedFormIsWhole) {
    std::wstring seenByFree, seenByOwner;
    Free(new MemberForm(nullptr, &seenByFree));
    {
        TComponent owner(nullptr);
        new MemberForm(&owner, &seenByOwner);
    }
    EXPECT_EQ(seenByFree, L"whole");
    EXPECT_EQ(seenByOwner, L"whole");
}

// ---- Dialog behaviour: Enter, key preview, modal result, opacity, deactivation ----

struct KeyPreviewer {
    // Letters reach the focused control in upper case; "1" never does.
    void Preview(TObject*, wchar_t& key) {
        if (key >= L'a' && key <= L'z') key = static_cast<wchar_t>(key - L'a' + L'A');
        if (key == L'1') key = 0;
    }
};

class DialogFormTest : public testing::Test {
protected:
    void SetUp() override {
        form = new TestForm(nullptr);
        form->SetClientSize(300, 200);
        form->SetKeyPreview(true);
        form->OnKeyPress = Bind<&KeyPreviewer::Preview>(&previewer);
        memo = new TMemo(form);
        memo->SetParent(form);
        memo->SetBounds(0, 0, 300, 80);
        memo->SetReadOnly(true);
        box = new TComboBox(form);
        box->SetParent(form);
        box->SetBounds(0, 90, 200, 19);
        ok = MakeButton(L"&Ok", 10, 1);
        ok->SetDefault(true);
        other = MakeButton(L"Other", 100, 0);
        other->OnClick = Bind<&EventLog::Notify>(&clicks);
        form->FinishLayout();
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override { forms::Free(form); }

    TButton* MakeButton(const wchar_t* caption, int left, int modalResult) {
        auto* button = new TButton(form);
        button->SetParent(form);
        button->SetBounds(left, 150, 75, 25);
        button->SetCaption(caption);
        button->SetModalResult(modalResult);
        return button;
    }
    void PressEnterOn(HWND window) {
        ::SetFocus(window);
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 1);
        Application->ProcessMessages();
    }

    KeyPreviewer previewer;
    TestForm* form = nullptr;
    TMemo* memo = nullptr;
    TComboBox* box = nullptr;
    TButton *ok = nullptr, *other = nullptr;
    EventLog clicks;
};

TEST_F(DialogFormTest, EnterPressesTheFocusedButtonElseTheDefaultOneButNotInsideAMultiLineEdit) {
    PressEnterOn(memo->Handle());
    EXPECT_EQ(form->ModalResult(), 0);
    PressEnterOn(other->Handle());
    EXPECT_EQ(clicks.entries.size(), 1u);
    EXPECT_EQ(form->ModalResult(), 0) << "a button without a modal result leaves the form's alone";
    PressEnterOn(box->EditHandle());
    EXPECT_EQ(form->ModalResult(), 1);
    form->SetModalResult(0);
    ok->SetEnabled(false);
    PressEnterOn(box->EditHandle());
    EXPECT_EQ(form->ModalResult(), 0) << "a disabled default button is not pressed";
}

TEST_F(DialogFormTest, KeyPreviewLetsTheFormChangeOrSwallowACharacterBeforeTheFocusedControl) {
    ::SetFocus(box->EditHandle());
    for (wchar_t key : {L'k', L'1', L'a'}) PostMessageW(box->EditHandle(), WM_CHAR, key, 1);
    Application->ProcessMessages();
    EXPECT_EQ(box->Text(), L"KA");
}

TEST_F(DialogFormTest, MemoShowsItsLinesReadOnlyWithoutFrameOrWrapping) {
    memo->SetWordWrap(false);
    memo->SetBorder(false);
    memo->Lines().Add(L"");
    memo->Lines().Add(L"Information:");
    memo->Lines().Add(L"https://example.test/a/very/long/address/that/does/not/wrap.htm");
    EXPECT_EQ(memo->Text(), L"\r\nInformation:\r\nhttps://example.test/a/very/long/address/that/does/not/wrap.htm");
    EXPECT_EQ(SendMessageW(memo->Handle(), EM_GETLINECOUNT, 0, 0), 3);
    LONG style = GetWindowLongW(memo->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);
    EXPECT_FALSE(GetWindowLongW(memo->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    memo->Lines().Clear();
    EXPECT_EQ(memo->Text(), L"");
}

BYTE AlphaOf(HWND window) {
    BYTE alpha = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) ? alpha : 0;
}

TEST(FormOpacityTest, AlphaBlendMakesALayeredWindowWhoseAlphaFollowsTheValueAndSurvivesFrameChanges) {
    auto* form = new TestForm(nullptr);
    form->SetAlphaBlend(true);
    form->SetFormStyle(fsStayOnTop);
    form->FinishLayout();
    HWND window = form->Handle();
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(AlphaOf(window), 255);
    form->SetAlphaBlendValue(40);
    EXPECT_EQ(AlphaOf(window), 40);
    form->SetBorderStyle(bsDialog);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(AlphaOf(window), 40);
    form->SetAlphaBlend(false);
    EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    forms::Free(form);
}

TEST(FormDeactivateTest, OnlyAnotherFormOfTheApplicationBecomingActiveDeactivatesAForm) {
    auto* first = new TestForm(nullptr);
    auto* second = new TestForm(nullptr);
    EventLog deactivations;
    first->OnDeactivate = Bind<&EventLog::Notify>(&deactivations);
    first->FinishLayout();
    second->FinishLayout();
    first->Show();
    Application->ProcessMessages();
    // A window that is not a form (a message box, say) takes the activation: no event.
    HWND plain = CreateWindowExW(0, L"STATIC", L"plain", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(plain);
    Application->ProcessMessages();
    EXPECT_TRUE(deactivations.entries.empty());
    first->Show();
    second->Show();
    Application->ProcessMessages();
    EXPECT_EQ(GetActiveWindow(), second->Handle());
    EXPECT_EQ(deactivations.entries.size(), 1u);
    DestroyWindow(plain);
    forms::Free(second);
    forms::Free(first);
}

}  // namespace
