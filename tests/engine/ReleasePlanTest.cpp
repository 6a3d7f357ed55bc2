// A release and its plan: the plan changes nothing and tells what the moves then do.

#include <gtest/gtest.h>

#include "engine/FileListing.h"
#include "engine/ReleaseRun.h"
#include "TempTree.h"

using namespace engine;

namespace {

class Recorder : public ReleaseObserver {
public:
    Recorder(std::wstring output, std::wstring label) : FOutput(std::move(output)), FLabel(std::move(label)) {}
    std::wstring OutputDirectory() override { return FOutput; }
    std::wstring Label() override { return FLabel; }
    bool FileDone(int, const FileResult& Result) override {
        Lines.push_back(Result.Source + L" > " + Result.Target + L" " + std::to_wstring(Result.Error));
        return Lines.size() != StopAfter;
    }
    std::vector<std::wstring> Lines;
    size_t StopAfter = 0;

private:
    std::wstring FOutput, FLabel;
};

std::vector<std::wstring> Release(const std::wstring& input, const std::wstring& output, const std::wstring& label,
                                  ReleaseMode mode) {
    std::vector<std::wstring> files = ListFiles(input);
    Recorder recorder(output, label);
    ReleaseFiles(files, recorder, mode);
    return recorder.Lines;
}

std::vector<std::wstring> Listing(const TempTree& tree) {
    std::vector<std::wstring> all = ListFiles(tree.Path(L"in"));
    for (const std::wstring& file : ListFiles(tree.Path(L"out"))) all.push_back(file);
    return all;
}

// Each card holds names the moves run into: a name taken in the output (in
// another letter case too), a file whose new name is that of a file moved
// later, and labels no file name can hold.
TEST(ReleasePlanTest, PlanChangesNothingAndForetellsEveryMoveAndFailure) {
    const struct {
        const wchar_t* label;
        bool sameFolder;
    } cases[] = {{L"Holiday", false}, {L"Holiday", true}, {L"a<b", false}, {L"a/b", false}, {L"x|y", true}};
    for (const auto& c : cases) {
        TempTree tree;
        tree.MakeDirectory(L"in");
        tree.MakeDirectory(L"out");
        const std::wstring output = c.sameFolder ? tree.Path(L"in") : tree.Path(L"out");
        const std::wstring folder = c.sameFolder ? L"in\\" : L"out\\";
        tree.MakeFile(L"in\\IMG_1.JPG", 2023, 1, 11, 9);
        tree.MakeFile(L"in\\IMG_2.JPG", 2023, 1, 11, 10);
        tree.MakeFile(L"in\\IMG_3.JPG", 2023, 1, 12, 10);
        tree.MakeFile(L"in\\2023-01-12_Holiday_02.jpg", 2023, 1, 12, 8);
        tree.MakeFile(folder + L"2023-01-11_HOLIDAY_02.JPG", 2023, 1, 1);
        // A copy an earlier run left unfinished is never a photo.
        tree.MakeFile(L"in\\~kd-00c0de.part", 2023, 1, 10);

        const std::vector<std::wstring> before = Listing(tree);
        const std::vector<std::wstring> plan = Release(tree.Path(L"in"), output, c.label, ReleaseMode::Plan);
        EXPECT_EQ(Listing(tree), before) << c.label;
        const std::vector<std::wstring> moves = Release(tree.Path(L"in"), output, c.label, ReleaseMode::Move);
        EXPECT_EQ(plan, moves) << c.label;
        EXPECT_EQ(moves.size(), c.sameFolder ? 5u : 4u) << c.label;
        EXPECT_EQ(tree.Content(L"in\\~kd-00c0de.part"), "in\\~kd-00c0de.part") << c.label;
    }
}

TEST(ReleasePlanTest, StoppedRunEndsAfterTheFileInHand) {
    TempTree tree;
    tree.MakeDirectory(L"in");
    tree.MakeDirectory(L"out");
    for (int i = 0; i < 5; ++i) tree.MakeFile(L"in\\" + std::to_wstring(i) + L".jpg", 2023, 1, 11, 9 + i);
    std::vector<std::wstring> files = ListFiles(tree.Path(L"in"));
    Recorder recorder(tree.Path(L"out"), L"Holiday");
    recorder.StopAfter = 2;
    ReleaseFiles(files, recorder);
    EXPECT_EQ(recorder.Lines.size(), 2u);
    EXPECT_EQ(ListFiles(tree.Path(L"out")).size(), 2u);
    EXPECT_EQ(ListFiles(tree.Path(L"in")).size(), 3u);
}

}  // namespace
