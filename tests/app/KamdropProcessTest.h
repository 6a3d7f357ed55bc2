#pragma once
// Input, output and program folders in a temporary tree, and Kamdrop.exe
// started in the program folder as a process of its own, driven from the test.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "KamdropDriver.h"
#include "TempTree.h"

class KamdropProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        tree.MakeDirectory(L"program");
    }
    // Starts Kamdrop.exe; false when its window did not appear within timeoutMs.
    bool StartKamdrop(DWORD timeoutMs = 20000) {
        kamdrop = std::make_unique<KamdropDriver>(HostPathToWindows(KAMDROP_EXE), tree.Path(L"program"));
        return kamdrop->WaitForMainWindow(timeoutMs);
    }
    // Starts it and fills in the input and output folders and label.
    bool StartKamdrop(const std::wstring& label) {
        if (!StartKamdrop()) return false;
        kamdrop->SetInput(tree.Path(L"in"));
        kamdrop->SetOutput(tree.Path(L"out"));
        kamdrop->SetLabel(label);
        return true;
    }

    TempTree tree;
    // Declared after the tree: a program still up is ended before its folders go.
    std::unique_ptr<KamdropDriver> kamdrop;
};
