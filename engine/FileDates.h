#pragma once
// A file's date as the release sees it, and the order of the files by it.

#include <string>
#include <vector>

#include "runtime/Classes.h"
#include "runtime/SysUtils.h"

namespace engine {

// The file date: the last-write time in local time at the 2-second step of a
// DOS date-time. Fails with "Invalid argument to date encode" when it cannot be read.
forms::TDateTime GetFileDate(const std::wstring& FileName);

// Comparator for a file queue: ascending file date, read from disk at every call.
int CompareFileDates(forms::TStrings& List, int Index1, int Index2);

// Sorts Files by date, with entry i's date given in Dates[i] (the dates move
// with their entries): the very order a file queue's sort with CompareFileDates
// leaves, ties included, with each date read once instead of at every comparison.
void SortByFileDates(std::vector<std::wstring>& Files, std::vector<forms::TDateTime>& Dates);

}  // namespace engine
