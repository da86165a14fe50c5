// Archives: the game's data pack and ZIP archives, as numbered objects.
//
// Format 4 is the engine's own pack ("Mnemora.data"): a 4-byte magic, "1zlp"
// (version 1, 24-byte entry headers) or "2zlp" (version 2, 18-byte headers),
// then entries back to back, each a header (unpacked size u64, stored size
// u64, name length i16, version 1 adds 6 reserved bytes), the UTF-8 name and
// the stored bytes. Stored size == unpacked size means the bytes are the entry
// itself; otherwise they are a "1zlb" stream (engine/brieflz.h).
//
// Format 1 is a ZIP archive read through libarchive's seekable ZIP reader
// (central directory) and nothing else: no other formats, no filters.
//
// The pack is untrusted input. The directory ends at the first entry that
// cannot be read whole: a header, name or data running past the end of the
// file, or a name length of 0 or less (a pack whose directory ends early still
// opens; the entries before that point stay readable). No size field leads to
// an allocation before it has been checked against the file's real size or the
// caller's buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

inline constexpr int kArchiveZip = 1;
inline constexpr int kArchivePack = 4;

// Opens `file_name` as an archive of `format` (kArchiveZip or kArchivePack)
// under `archive` (a number or AutoId). Returns the handle (AutoId) or 1, or 0
// when the file cannot be opened, the format is unknown or the file is not of
// that format; then no object remains under the number.
int OpenArchive(int archive, const std::string& file_name, int format);

// Starts a listing before the first entry (a ZIP listing under way is closed
// and reopened). Returns 1, or 0 when there is no such archive or the ZIP
// cannot be reopened.
int ListArchive(int archive);

// Moves the listing to the next entry (a freshly opened archive is listed
// from its first entry). Returns 1, or 0 after the last entry.
int NextArchiveEntry(int archive);

// The current entry's path (UTF-8), or "" when there is no current entry.
std::string ArchiveEntryName(int archive);

// 0 = regular file, 1 = folder (ZIP only), 2 = anything else a ZIP entry can
// claim to be (a symbolic link, a device, a FIFO), -1 when there is no current
// entry. Only regular files can be read or extracted.
int ArchiveEntryKind(int archive);

// The current entry's unpacked and stored sizes (ZIP: stored is -1, and
// unpacked is -1 when the archive does not say). Returns 1, or 0 when there is
// no current entry. Used by the pack tool's listing.
int ArchiveEntrySizes(int archive, int64_t* unpacked, int64_t* stored);

// Reads the entry named `entry_name` ("" = the current entry of the listing)
// into `buffer`. Returns the number of bytes written, or -1 on any failure.
// Pack: -1 when the entry is larger than `buffer_size` (nothing is written),
// missing, short or corrupt; names compare byte for byte (case-sensitive).
// ZIP: the bytes delivered, which can be fewer than the entry when the buffer
// is smaller; -1 for folders, links and other non-regular entries, encrypted
// entries, unknown methods, bad data.
int64_t ReadArchiveEntry(int archive, uint8_t* buffer, int64_t buffer_size,
                         const std::string& entry_name);

// Writes the entry to `destination_file` (replacing any existing file) through
// a temporary file in the same folder and a rename. `max_bytes` (>= 0) caps the
// entry's unpacked size: a larger entry, whatever its header claims, fails as
// soon as the cap is passed; -1 sets no cap. Returns the entry's size, or -1,
// in which case nothing is left behind and an existing destination is
// untouched.
int64_t ExtractArchiveEntry(int archive, const std::string& destination_file,
                            const std::string& entry_name, int64_t max_bytes = -1);

// Closes one archive, or all of them with -1.
void CloseArchive(int archive);

namespace detail {
// Reads a named entry of a pack (format 4) whole into `out`, when it is at
// most `max_bytes`. False for a ZIP, a missing, larger or unreadable entry.
bool ReadWholePackEntry(int archive, const std::string& name, uint64_t max_bytes,
                        std::vector<uint8_t>* out);
}  // namespace detail

}  // namespace engine
