#pragma once
// The files a release takes from its input directory.

#include <string>
#include <vector>

namespace engine {

// The full paths of every file directly in Directory (hidden and system files
// included, subdirectories and their files not, nor this program's unfinished
// copies, IsTemporaryCopyName), in the order the system lists them: the order the
// window's directory reader reports, which decides the sort's ties. Fails with
// forms::EListingError when the directory cannot be listed to its end (gone,
// no access, a damaged or pulled card): a listing cut short would file part of
// a card and call it done.
std::vector<std::wstring> ListFiles(const std::wstring& Directory);

}  // namespace engine
