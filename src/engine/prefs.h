// Preference files: the line-oriented text of groups ("[name]"), keys
// ("key = value") and comments ("; text") that the settings file and every
// language file use. One preference file is open at a time; opening or
// creating another closes the current one first (writing it when modified).
//
// Reading accepts UTF-8 with a byte-order mark, else ISO-8859-1, and any run
// of CR and LF as a line end. Writing produces UTF-8: the byte-order mark, an
// empty first line, then one node per line, each ended by CR LF. The new text
// goes to a temporary file that replaces the old one only when complete, so a
// failed write leaves the previous file intact.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// OpenPrefFile option: a symbolic link in place of the file is refused (for
// files taken from a folder whose links must not lead out of it).
inline constexpr int kPrefNoLinks = 1;

// Opens and parses a file. 1 on success; 0 when it cannot be read. A missing
// file still keeps its name, so a later write and close create it.
int OpenPrefFile(std::string_view path, int flags = 0);
// Starts an empty model that will be written to path on close. 1 when the
// file can be created; 0 (and writes do nothing) otherwise.
int CreatePrefFile(std::string_view path);
// Writes the file when modified, then forgets it. 1 when nothing needed
// writing or the write succeeded; 0 when the write failed.
int ClosePrefFile();

// Selects the first group of that name (ASCII letters in any case): 1. An empty
// name selects the keys before the first group: 1. An unknown name returns 0
// and becomes pending: reads give their defaults and the first write appends
// the group at the end of the file.
int SelectPrefGroup(std::string_view name);
// The first matching key's value in the selected group, blanks trimmed at
// both ends; the default when there is no such key.
std::string ReadPrefString(std::string_view key, std::string_view default_value);
// The value as a decimal integer (blanks, sign, digits up to the first other
// character; 0 without digits); the default when the key is missing.
int ReadPrefInt(std::string_view key, int default_value);
// Replaces the first matching key's value (the key takes the given letter
// case) or adds the key after the group's last key. 1 when written, 0 when no
// file is open.
int WritePrefString(std::string_view key, std::string_view value);
int WritePrefInt(std::string_view key, int value);
// Inserts a comment after the node last written or listed (at the start when
// there is none). 1 when written, 0 when no file is open.
int WritePrefComment(std::string_view text);

// Listing. ListPrefGroups goes back to before the first group (the keys
// ahead of any group header) and returns 1; NextPrefGroup selects the next
// group in file order, 0 after the last. ListPrefKeys goes before the first
// key of the selected group (0 while a group is pending); NextPrefKey steps to
// the next key, 0 at the group's end.
int ListPrefGroups();
int NextPrefGroup();
// The selected group's name; "" for none.
std::string PrefGroupName();
int ListPrefKeys();
int NextPrefKey();
// The current key's name, and its value trimmed of blanks; "" for none.
std::string PrefKeyName();
std::string PrefKeyValue();

}  // namespace engine
