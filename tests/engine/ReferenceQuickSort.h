#pragma once
// The file queue's sort as it was before each date was read once: the string
// list's quicksort driven by a comparator at every step. Kept as the reference
// that the order of a release must match, ties included.

#include "runtime/Classes.h"

inline void ReferenceQuickSort(forms::TStrings& list, int left, int right, forms::TStringListSortCompare compare) {
    while (left < right) {
        if (right - left == 1) {
            if (compare(list, left, right) > 0) list.Exchange(left, right);
            break;
        }
        int i = left, j = right, pivot = (left + right) / 2;
        do {
            while (i != pivot && compare(list, i, pivot) < 0) ++i;
            while (j != pivot && compare(list, j, pivot) > 0) --j;
            if (i <= j) {
                if (i != j) list.Exchange(i, j);
                if (pivot == i)
                    pivot = j;
                else if (pivot == j)
                    pivot = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - left > right - i) {
            if (i < right) ReferenceQuickSort(list, i, right, compare);
            right = j;
        } else {
            if (left < j) ReferenceQuickSort(list, left, j, compare);
            left = i;
        }
    }
}
