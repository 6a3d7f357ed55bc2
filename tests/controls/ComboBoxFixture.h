#pragma once
// A shown form with a push button beside the box under test; keys and
// characters go to the box's edit field as window messages, and the message
// loop runs for a while so posted messages and timers arrive.

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "TestForm.h"
#include "controls/BaseComboBox.h"
#include "forms/Buttons.h"
#include "forms/Forms.h"
#include "forms/StdCtrls.h"

// Collects what event handlers report, in order.
struct ComboEventLog {
    std::vector<std::wstring> Entries;
    void Click(forms::TObject*) { Entries.push_back(L"click"); }
    void Change(forms::TObject*) { Entries.push_back(L"change"); }
    void Exit(forms::TObject*) { Entries.push_back(L"exit"); }
    void AfterEnter(forms::TObject*) { Entries.push_back(L"after enter"); }
    void AfterExit(forms::TObject*) { Entries.push_back(L"after exit"); }
    void SelectionChange(forms::TObject*) { Entries.push_back(L"selection change"); }
    void KeyDown(forms::TObject*, WORD& key, forms::TShiftState) { Entries.push_back(std::to_wstring(key)); }
};

class ComboBoxFixture : public testing::Test {
protected:
    void SetUp() override {
        FPreviousBeep = controls::ComboBoxBeep;
        Beeps = 0;
        controls::ComboBoxBeep = [] { ++Beeps; };
        form = new TestForm(nullptr);
        form->SetClientSize(400, 200);
        form->FinishLayout();
        other = new forms::TButton(form);
        other->SetParent(form);
        other->SetBounds(10, 150, 75, 25);
        other->SetCaption(L"Other");
    }

    void TearDown() override {
        forms::Free(form);
        controls::ComboBoxBeep = FPreviousBeep;
    }

    template <typename Box>
    Box* AddBox(std::initializer_list<const wchar_t*> rows) {
        auto* box = new Box(form);
        box->SetParent(form);
        box->SetBounds(10, 10, 200, 19);
        for (const wchar_t* row : rows) box->Items().Add(row);
        return box;
    }

    void ShowAndFocus(forms::TWinControl* control) {
        form->Show();
        control->SetFocus();
        Pump(30);
    }

    // Runs the message loop for about ms milliseconds.
    static void Pump(DWORD ms) {
        const DWORD start = GetTickCount();
        do {
            forms::Application->ProcessMessages();
            Sleep(5);
        } while (GetTickCount() - start < ms);
        forms::Application->ProcessMessages();
    }

    static void KeyDown(forms::TCustomComboBox* box, WORD key) { SendMessageW(box->EditHandle(), WM_KEYDOWN, key, 1); }
    static void Char(forms::TCustomComboBox* box, wchar_t c) { SendMessageW(box->EditHandle(), WM_CHAR, c, 1); }
    // A key as the keyboard gives it: the key-down, then its character.
    static void Type(forms::TCustomComboBox* box, WORD key, wchar_t c) {
        KeyDown(box, key);
        Char(box, c);
    }

    static std::vector<std::wstring> Rows(forms::TCustomComboBox* box) { return box->Items().ToVector(); }

    inline static int Beeps = 0;
    TestForm* form = nullptr;
    forms::TButton* other = nullptr;

private:
    controls::TBeepProc FPreviousBeep = nullptr;
};
