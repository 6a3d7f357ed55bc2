// Kamdrop at 100, 125, 150 and 200 % from a second process: the screen's scale is the prefix's
// LogPixels, which a program reads when it starts. The test prefix is shared by every test of a
// run, so a test sets it only for the start of its own program and puts it back at once (and
// scripts/test.sh sets 96 at the start of each run, should a test have died in between).

#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "KamdropProcessTest.h"

namespace {

// The screen's pixels per inch for programs started while it lasts.
class ScopedLogPixels {
public:
    explicit ScopedLogPixels(int ppi) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, &FKey, nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open the display settings");
        DWORD size = sizeof(FOld);
        FHadOld = RegQueryValueExW(FKey, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&FOld), &size) ==
                  ERROR_SUCCESS;
        Set(static_cast<DWORD>(ppi));
    }
    ~ScopedLogPixels() {
        Restore();
        RegCloseKey(FKey);
    }
    // Back to what it was, for every program started from now on.
    void Restore() {
        if (FRestored) return;
        FRestored = true;
        if (FHadOld)
            Set(FOld);
        else
            RegDeleteValueW(FKey, L"LogPixels");
    }
    ScopedLogPixels(const ScopedLogPixels&) = delete;
    ScopedLogPixels& operator=(const ScopedLogPixels&) = delete;

private:
    void Set(DWORD value) {
        RegSetValueExW(FKey, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    HKEY FKey = nullptr;
    DWORD FOld = 96;
    bool FHadOld = false;
    bool FRestored = false;
};

struct Child {
    std::wstring Class, Text;
    RECT Rect;  // in the main window's client coordinates
};

std::vector<Child> Children(HWND window) {
    std::vector<Child> children;
    struct Walk {
        HWND Root;
        std::vector<Child>* Found;
        static BOOL CALLBACK Each(HWND child, LPARAM param) {
            auto* walk = reinterpret_cast<Walk*>(param);
            if (!IsWindowVisible(child)) return TRUE;
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            RECT rect;
            GetWindowRect(child, &rect);
            MapWindowPoints(nullptr, walk->Root, reinterpret_cast<POINT*>(&rect), 2);
            walk->Found->push_back(Child{name, KamdropDriver::WindowText(child), rect});
            return TRUE;
        }
    } walk{window, &children};
    EnumChildWindows(window, Walk::Each, reinterpret_cast<LPARAM>(&walk));
    return children;
}

bool IsClass(const Child& child, const wchar_t* name) { return _wcsicmp(child.Class.c_str(), name) == 0; }

// The main window's controls as a user sees them, by a name: the three boxes (by place), the two
// "..." buttons (by place), the captions, Start, the list, the progress bar and the status bar.
std::map<std::wstring, RECT> Controls(HWND window) {
    std::map<std::wstring, RECT> controls;
    std::vector<RECT> boxes, buttons;
    for (const Child& child : Children(window)) {
        if (IsClass(child, L"ComboBox")) boxes.push_back(child.Rect);
        else if (IsClass(child, L"Button") && child.Text == L"...") buttons.push_back(child.Rect);
        else if (IsClass(child, L"Static") && !child.Text.empty()) controls[L"caption " + child.Text] = child.Rect;
        else if (child.Text == L"&Start") controls[L"Start"] = child.Rect;
        else if (IsClass(child, L"ListBox")) controls[L"list"] = child.Rect;
        else if (IsClass(child, L"msctls_progress32")) controls[L"progress"] = child.Rect;
        else if (IsClass(child, L"msctls_statusbar32")) controls[L"status"] = child.Rect;
    }
    auto byPlace = [](std::vector<RECT>& rects) {
        std::sort(rects.begin(), rects.end(),
                  [](const RECT& a, const RECT& b) { return a.top != b.top ? a.top < b.top : a.left < b.left; });
    };
    byPlace(boxes);
    byPlace(buttons);
    const wchar_t* boxNames[] = {L"input box", L"label box", L"output box"};
    for (size_t i = 0; i < boxes.size() && i < 3; ++i) controls[boxNames[i]] = boxes[i];
    const wchar_t* buttonNames[] = {L"input button", L"output button"};
    for (size_t i = 0; i < buttons.size() && i < 2; ++i) controls[buttonNames[i]] = buttons[i];
    return controls;
}

bool Near(LONG expected, LONG actual) { return std::abs(expected - actual) <= 1; }

class DisplayScaleTest : public KamdropProcessTest {
protected:
    // Starts Kamdrop with the screen at ppi; the scale goes back at once for every other program.
    bool StartAt(int ppi) {
        ScopedLogPixels scale(ppi);
        const bool started = StartKamdrop();
        scale.Restore();
        // The boxes make their windows anew for the scaled font when the window is made; the
        // "..." buttons follow a turn of the message loop later.
        return started && WaitUntil([&] { return ButtonsMatchBoxes(); }, 5000);
    }
    bool ButtonsMatchBoxes() {
        auto controls = Controls(kamdrop->MainWindow());
        if (!controls.count(L"input button") || !controls.count(L"output button")) return false;
        for (const wchar_t* field : {L"input", L"output"}) {
            const RECT box = controls[std::wstring(field) + L" box"], button = controls[std::wstring(field) + L" button"];
            if (button.top != box.top || button.bottom != box.bottom) return false;
        }
        return true;
    }
};

TEST_F(DisplayScaleTest, AtEveryScaleEachControlIsWhereItIsAt96TimesTheScaleAndTheButtonsAndRowsFit) {
    std::map<std::wstring, RECT> at96;
    for (int ppi : {96, 120, 144, 192}) {
        SCOPED_TRACE(testing::Message() << ppi << " pixels per inch");
        ASSERT_TRUE(StartAt(ppi));
        auto controls = Controls(kamdrop->MainWindow());
        std::wstring names;
        for (const auto& [name, rect] : controls) names += name + L"; ";
        ASSERT_EQ(controls.size(), 12u) << "3 boxes, 2 buttons, 3 captions, Start, list, progress, status: "
                                        << testing::PrintToString(names);
        if (ppi == 96) at96 = controls;
        for (const auto& [name, r96] : at96) {
            SCOPED_TRACE(testing::PrintToString(name));
            const RECT& r = controls[name];
            EXPECT_TRUE(Near(MulDiv(r96.left, ppi, 96), r.left)) << r.left;
            EXPECT_TRUE(Near(MulDiv(r96.top, ppi, 96), r.top)) << r.top;
            EXPECT_TRUE(Near(MulDiv(r96.right - r96.left, ppi, 96), r.right - r.left)) << r.right - r.left;
            // The system makes a box's field as high as its font needs; its button takes that height.
            if (name.ends_with(L"box") || name.ends_with(L"button")) continue;
            EXPECT_TRUE(Near(MulDiv(r96.bottom - r96.top, ppi, 96), r.bottom - r.top)) << r.bottom - r.top;
        }
        for (const wchar_t* field : {L"input", L"output"}) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(field)));
            const RECT box = controls[std::wstring(field) + L" box"], button = controls[std::wstring(field) + L" button"];
            EXPECT_EQ(button.top, box.top);
            EXPECT_EQ(button.bottom, box.bottom);
            EXPECT_EQ(button.left, box.right + MulDiv(3, ppi, 96));
        }
        // Each caption ends a pixel (a scaled one) above its box, or at the label box's top.
        EXPECT_EQ(controls[L"caption Input (camera)"].bottom, controls[L"input box"].top + MulDiv(-1, ppi, 96));
        EXPECT_EQ(controls[L"caption Output (harddisk)"].bottom, controls[L"output box"].top + MulDiv(-1, ppi, 96));
        EXPECT_EQ(controls[L"caption Label"].bottom, controls[L"label box"].top);
        // A row holds a mark drawn at the scale.
        HWND list = FindWindowExW(kamdrop->MainWindow(), nullptr, L"ListBox", nullptr);
        EXPECT_GE(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), MulDiv(13, ppi, 96));
        ASSERT_TRUE(kamdrop->Close());
    }
}

TEST_F(DisplayScaleTest, At150PercentARunAboutWithAHiddenPanelAndTheSettingsWork) {
    tree.MakeFile(L"in\\IMG_0001.JPG", 2023, 1, 11);
    tree.MakeFile(L"in\\IMG_0002.JPG", 2023, 1, 12);
    ASSERT_TRUE(StartAt(144));
    kamdrop->SetInput(tree.Path(L"in"));
    kamdrop->SetOutput(tree.Path(L"out"));
    kamdrop->SetLabel(L"Holiday");
    kamdrop->ClickStartAndWait();
    const auto rows = kamdrop->Rows();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& row : rows) EXPECT_EQ(row.Mark, 0) << testing::PrintToString(row.Text);
    EXPECT_NE(GetFileAttributesW(tree.Path(L"out\\2023-01-12_Holiday_01.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
    // The run put the folders into the boxes' histories, for which a box may make its window anew:
    // the buttons still stand as high as their boxes.
    EXPECT_TRUE(WaitUntil([&] { return ButtonsMatchBoxes(); }, 5000));

    // About, at the scale, with the photograph's panel typed up.
    ASSERT_TRUE(kamdrop->OpenAbout());
    HWND about = kamdrop->WaitForWindow(L"About");
    ASSERT_NE(about, nullptr);
    RECT client;
    GetClientRect(about, &client);
    EXPECT_TRUE(Near(MulDiv(342 + 2 * 5, 3, 2) - 2 * (MulDiv(5, 3, 2) - 5) - 2 * 5, client.right)) << client.right;
    HWND ok = KamdropDriver::FindChildByText(about, L"&Ok");
    ASSERT_NE(ok, nullptr);
    for (wchar_t letter : std::wstring(L"zembro")) PostMessageW(ok, WM_CHAR, letter, 1);
    ASSERT_TRUE(WaitUntil([&] { return KamdropDriver::FindChildByText(about, L"Mira Vexlund") != nullptr; }));
    RECT maker;
    GetWindowRect(KamdropDriver::FindChildByText(about, L"Mira Vexlund"), &maker);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&maker), 2);
    EXPECT_LE(maker.right, client.right) << "the maker's name lies inside the dialog";
    PostMessageW(about, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, 10000));

    // The place is kept at this scale, in its pixels, and brought back at it.
    RECT placed;
    GetWindowRect(kamdrop->MainWindow(), &placed);
    const RECT moved{placed.left + 30, placed.top + 20, placed.right + 30, placed.bottom + 20};
    SetWindowPos(kamdrop->MainWindow(), nullptr, moved.left, moved.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(kamdrop->Close());
    const std::wstring ini = tree.Path(L"program\\Kamdrop.ini");
    EXPECT_EQ(GetPrivateProfileIntW(L"GUI", L"PixelsPerInch", 0, ini.c_str()), 144u);
    ASSERT_TRUE(StartAt(144));
    RECT again;
    GetWindowRect(kamdrop->MainWindow(), &again);
    EXPECT_EQ(again.left, moved.left);
    EXPECT_EQ(again.top, moved.top);
    EXPECT_EQ(again.right - again.left, moved.right - moved.left);
    EXPECT_EQ(again.bottom - again.top, moved.bottom - moved.top);
    ASSERT_TRUE(kamdrop->Close());

    // Opened at another scale, the place saved at 150 % is not taken: the window opens centred.
    ASSERT_TRUE(StartAt(96));
    GetWindowRect(kamdrop->MainWindow(), &again);
    EXPECT_TRUE(Near((GetSystemMetrics(SM_CXSCREEN) - (again.right - again.left)) / 2, again.left)) << again.left;
    ASSERT_TRUE(kamdrop->Close());
}

}  // namespace
