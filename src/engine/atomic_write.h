// Crash-safe replacement of a whole file: the new contents go to a temporary
// file in the same folder ("<name>.tmp-XXXXXX"), are synced to disk and then
// renamed over the old file, so the file is always either the old version or
// the complete new one. A save killed before the rename leaves its temporary
// file behind; the next successful save of the same file removes it.
#pragma once

#include <string>
#include <string_view>

namespace engine {

// Writes `bytes` as the whole contents of the file at `path`, creating it or
// replacing it at once (a symbolic link keeps pointing where it did; an
// existing file keeps its permissions, a new one gets 0666 less the umask).
// 1 on success; 0 when the folder cannot take a temporary file or the write,
// sync or rename fails: then the old file, if any, is left as it was and no
// temporary file remains. After a successful write, temporary files of the
// same file that a killed save left behind are removed: only regular files
// of this user (on Windows: plain files, not links), named exactly like ours and older than ten
// minutes (a save under way in another copy of the game is never that old).
int WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace engine
