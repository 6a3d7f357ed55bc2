#pragma once
// Where a program's settings file lives: beside the program while its folder can be written (a copy
// on a stick keeps its settings with it), otherwise in the user's application data folder, which
// Windows lets every program write, as under Program Files.

#include <functional>
#include <string>

namespace state {

// True when a file can be made in folder (ending in "\"): one is made under a name of its own,
// and it goes again as it is closed, so nothing is left behind.
bool FolderAcceptsFiles(const std::wstring& folder);

// The full name of the settings file fileName for a program in programFolder (ending in "\"):
// programFolder + fileName while that folder can be written; otherwise
// userFolder()\<fileName without extension>\fileName, the folder made when missing, and started as a
// copy of the file beside the program when that exists and the user's does not yet. userFolder is
// asked only then; when it answers nothing, the file stays beside the program.
std::wstring SettingsFilePlace(const std::wstring& programFolder, const std::wstring& fileName,
                               bool programFolderWritable, const std::function<std::wstring()>& userFolder);

// The user's (roaming) application data folder, without a trailing "\"; empty when there is none.
std::wstring UserApplicationDataFolder();

}  // namespace state
