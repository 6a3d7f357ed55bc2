#pragma once
// The two result marks of the results list, drawn in code: a green check
// mark and a red cross, each Size x Size pixels of top-down ARGB.

#include <cstdint>
#include <vector>

namespace result_marks {

constexpr int Size = 13;
std::vector<uint32_t> CheckMark();
std::vector<uint32_t> Cross();

}  // namespace result_marks
