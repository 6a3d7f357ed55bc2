// New names: the label's characters, the day counter and the name's pieces.

#include <gtest/gtest.h>

#include "engine/TargetNames.h"

using namespace engine;

namespace {

TEST(TargetNamesTest, LabelFilterTurnsTheFiveCharactersIntoUnderscores) {
    EXPECT_EQ(FilterLabel(L"a b*c.d?e\\f/g:h"), L"a_b_c_d_e_f/g:h");
    EXPECT_EQ(FilterLabel(L"Ωμέγα 日本 😀"), L"Ωμέγα_日本_😀");
}

TEST(TargetNamesTest, CounterRestartsWithEveryNewDay) {
    DayCounter counter;
    std::vector<int> numbers;
    for (const wchar_t* day : {L"2023-01-11", L"2023-01-11", L"2023-01-12", L"2023-01-12", L"2023-01-12", L"2023-01-11"})
        numbers.push_back(counter.Next(day));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 1, 2, 3, 1}));
}

TEST(TargetNamesTest, NameIsDirectoryDateLabelCounterAndLowerCasedExtension) {
    const struct {
        const wchar_t *directory, *label;
        int counter;
        const wchar_t *source, *target;
    } cases[] = {
        {L"D:\\Photos", L"Holiday", 1, L"C:\\cam\\IMG_0001.JPG", L"D:\\Photos\\2023-01-11_Holiday_01.jpg"},
        {L"D:\\Photos\\", L"Holiday", 9, L"C:\\cam\\a.tar.GZ", L"D:\\Photos\\2023-01-11_Holiday_09.gz"},
        {L"D:\\Photos", L"Holiday", 10, L"C:\\cam.d\\noext", L"D:\\Photos\\2023-01-11_Holiday_10"},
        {L"D:\\Photos", L"Holiday", 100, L"C:\\cam\\x.ÉJPG", L"D:\\Photos\\2023-01-11_Holiday_100.Éjpg"},
        // A label that would leave the output directory or name a stream makes no name.
        {L"D:\\Photos", L"a/b", 1, L"x.jpg", L""},
        {L"D:\\Photos", L"a\\b", 1, L"x.jpg", L""},
        {L"D:\\Photos", L"a:b", 1, L"x.jpg", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildTargetName(c.directory, L"2023-01-11", c.label, c.counter, c.source), c.target) << c.source;
}

}  // namespace
