// The test programs' main: one application object, initialised once, for
// every test of the program; each test starts with a fresh message loop state.

#include <gtest/gtest.h>

#include "forms/Forms.h"

namespace {

class ApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override {
        FApplication = new forms::TApplication(nullptr);
        FApplication->Initialize();
    }
    void TearDown() override {
        delete FApplication;
        FApplication = nullptr;
    }

private:
    forms::TApplication* FApplication = nullptr;
};

class FreshLoopListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        if (forms::Application) forms::Application->ResetTerminated();
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshLoopListener);
    return RUN_ALL_TESTS();
}
