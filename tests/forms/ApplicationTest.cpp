#include <gtest/gtest.h>

#include "forms/Forms.h"

using namespace forms;

namespace {

TEST(ErrorBoxTextTest, AppendsAFullStopOnlyAfterCharactersAboveTheDot) {
    const struct {
        const wchar_t* message;
        const wchar_t* expected;
    } cases[] = {
        {L"abc", L"abc."},      {L"x)", L"x)"},       {L"y.", L"y."},   {L"", L""},
        {L"file 7", L"file 7."}, {L"a-", L"a-"},       {L"path\\", L"path\\."},
        {L"line 3)", L"line 3)"}, {L"done/", L"done/."}, {L"\x00e9", L"\x00e9."},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorBoxText(c.message), c.expected) << c.message;
}

TEST(ApplicationTest, QuitMetInProcessMessagesIsKeptAsTerminated) {
    ASSERT_NE(Application, nullptr);
    Application->ResetTerminated();
    PostQuitMessage(0);
    Application->ProcessMessages();
    EXPECT_TRUE(Application->Terminated());
    Application->ResetTerminated();
    EXPECT_FALSE(Application->Terminated());
}

TEST(ApplicationTest, RunEndedByTerminateLeavesNoQuitMessageForTheShutdown) {
    Application->ResetTerminated();
    // As the Exit command does from inside the loop: the flag and a quit message.
    PostMessageW(Application->Handle(), WM_CLOSE, 0, 0);
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
    // A message box of the shutdown (a failed last save) would end at once on a queued quit.
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    Application->ResetTerminated();
}

TEST(ApplicationTest, HandleExceptionTakesTheMessageOfTheCurrentError) {
    std::vector<std::wstring> shown;
    struct Sink {
        std::vector<std::wstring>* shown;
        void Show(const std::wstring& text) { shown->push_back(text); }
    } sink{&shown};
    Application->OnShowException = Bind<&Sink::Show>(&sink);
    try {
        throw Exception(L"Cannot move file");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw std::runtime_error("narrow (1)");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        Application->HandleException(nullptr);
    }
    Application->OnShowException = {};
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], L"Cannot move file.");
    EXPECT_EQ(shown[1], L"narrow (1)");
    EXPECT_FALSE(shown[2].empty());
}

}  // namespace
