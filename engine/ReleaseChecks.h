#pragma once
// The checks before a release and their texts, once for the window and the
// command line: the window shows them in its dialogs, the command line prints them.

#include <string>
#include <vector>

namespace engine {

// The longest label the label box takes; a longer one is refused, never cut.
constexpr int kMaxLabelLength = 50;

// Lines are broken with "\r\n", as the window's dialogs show them.
extern const wchar_t kInvalidInputDirectory[];
extern const wchar_t kInvalidOutputDirectory[];
extern const wchar_t kLabelMissing[];
// The first line of the question (the window) or the refusal (the command line)
// when the input and the output directory are one.
extern const wchar_t kSameDirectories[];
extern const wchar_t kInvalidBackupDirectory[];

// The window's checks, in its order: the input directory, the output directory,
// the label. The text of the first that fails, or empty when all pass.
std::wstring StartRefusal(const std::wstring& Input, const std::wstring& Output, const std::wstring& Label);

// The characters of Label that no file name can hold, each once, in the order
// they come; empty when there are none. Label is taken as the label box's rule
// leaves it ("\", "*" and "?" became "_").
std::wstring UnnameableCharacters(const std::wstring& Label);
// The refusal of a label with such characters, naming them.
std::wstring UnnameableLabelRefusal(const std::wstring& Characters);

// Whether two paths name one directory: the same file on the same volume, or,
// where the system cannot tell, the same full path without regard to case.
bool SameDirectory(const std::wstring& Path1, const std::wstring& Path2);

// The checks of a backup directory (Backup non-empty): it exists, and it is
// neither the input nor the output directory nor inside either, as the file
// system tells folders apart (not by their text). Empty when it passes.
std::wstring BackupRefusal(const std::wstring& Backup, const std::wstring& Input, const std::wstring& Output);

// Whether the output's and the backup's volumes have room for what a run with a
// backup copies: every file to the backup, and to the output the files that do
// not stay on their own volume. Empty when they have, or when the free space
// cannot be told (each copy still finds out for itself).
std::wstring BackupSpaceRefusal(const std::vector<std::wstring>& Files, const std::wstring& Output,
                                const std::wstring& Backup);

}  // namespace engine
