// WOFF 1.0 to sfnt (TrueType/OpenType) conversion.
//
// A WOFF 1.0 file is an sfnt font whose tables were each zlib-compressed (or
// stored as they are when compression would not help), plus optional metadata
// and private blocks that are not part of the font. Undoing it needs no font
// knowledge: every table is inflated back to its original bytes and the sfnt
// header and table directory are rebuilt around them. The result holds exactly
// the tables of the original font, byte for byte; each one's checksum is
// checked against the checksum the WOFF recorded from the original.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace woff {

// The sfnt table checksum: the sum of the big-endian 32-bit words of the
// table, the last one padded with zero bytes.
uint32_t TableChecksum(const uint8_t* data, size_t length);

// Converts WOFF 1.0 bytes into the sfnt they were made from. Returns true and
// fills `sfnt`; on a malformed file, a table that does not inflate to its
// recorded length or a checksum that does not match, returns false with a
// one-line reason in `error` and leaves `sfnt` empty.
bool WoffToSfnt(const std::vector<uint8_t>& woff, std::vector<uint8_t>& sfnt, std::string& error);

// Reads the sfnt table `tag` (four characters, such as "name"). Returns the
// table's bytes, or an empty vector when the font has no such table or its
// directory is malformed.
std::vector<uint8_t> FindTable(const std::vector<uint8_t>& sfnt, const char* tag);

// Reads record `name_id` of the name table (1 family, 0 copyright, 13 licence
// description, ...), preferring the Windows Unicode record for English and
// converting it to UTF-8. Returns the empty string when there is none.
std::string NameRecord(const std::vector<uint8_t>& sfnt, int name_id);

}  // namespace woff
