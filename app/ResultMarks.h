#pragma once
// The two result marks of the results list, drawn in code: a green check
// mark and a red cross, each size x size pixels of top-down ARGB (Size at
// 96 pixels per inch; drawn anew, not stretched, for other scales).

#include <cstdint>
#include <vector>

namespace result_marks {

constexpr int Size = 13;
std::vector<uint32_t> CheckMark(int size = Size);
std::vector<uint32_t> Cross(int size = Size);

}  // namespace result_marks
