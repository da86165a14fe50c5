#include "woff.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace woff {
namespace {

constexpr uint32_t kWoffSignature = 0x774F4646;  // "wOFF"
constexpr size_t kWoffHeaderSize = 44;
constexpr size_t kWoffEntrySize = 20;
constexpr size_t kSfntHeaderSize = 12;
constexpr size_t kSfntRecordSize = 16;
// Fonts are small; this bounds what a corrupt header can make us allocate.
constexpr uint32_t kMaxTableSize = 64u << 20;

uint32_t Read32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t Read16(const uint8_t* p) {
    return uint16_t((p[0] << 8) | p[1]);
}
void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v >> 24);
    out[at + 1] = uint8_t(v >> 16);
    out[at + 2] = uint8_t(v >> 8);
    out[at + 3] = uint8_t(v);
}
void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = uint8_t(v >> 8);
    out[at + 1] = uint8_t(v);
}
std::string TagText(uint32_t tag) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = char(tag >> (24 - 8 * i));
        s[i] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}
uint32_t Pad4(uint32_t n) {
    return (n + 3u) & ~3u;
}

struct Entry {
    uint32_t tag, offset, comp_length, orig_length, orig_checksum;
};

bool Fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

}  // namespace

uint32_t TableChecksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 4 <= length; i += 4)
        sum += Read32(data + i);
    if (i < length) {
        uint8_t last[4] = {0, 0, 0, 0};
        std::memcpy(last, data + i, length - i);
        sum += Read32(last);
    }
    return sum;
}

bool WoffToSfnt(const std::vector<uint8_t>& woff, std::vector<uint8_t>& sfnt, std::string& error) {
    sfnt.clear();
    if (woff.size() < kWoffHeaderSize) return Fail(error, "file too short for a WOFF header");
    const uint8_t* w = woff.data();
    if (Read32(w) != kWoffSignature) return Fail(error, "not a WOFF 1.0 file (signature)");
    const uint32_t flavor = Read32(w + 4);
    const uint32_t length = Read32(w + 8);
    const uint16_t num_tables = Read16(w + 12);
    const uint16_t reserved = Read16(w + 14);
    const uint32_t total_sfnt_size = Read32(w + 16);
    if (length != woff.size()) return Fail(error, "header length differs from the file size");
    if (reserved != 0) return Fail(error, "reserved header field is not zero");
    if (num_tables == 0) return Fail(error, "font has no tables");
    if (kWoffHeaderSize + size_t(num_tables) * kWoffEntrySize > woff.size())
        return Fail(error, "table directory runs past the end of the file");

    std::vector<Entry> entries(num_tables);
    for (size_t i = 0; i < num_tables; ++i) {
        const uint8_t* e = w + kWoffHeaderSize + i * kWoffEntrySize;
        entries[i] = {Read32(e), Read32(e + 4), Read32(e + 8), Read32(e + 12), Read32(e + 16)};
        const Entry& t = entries[i];
        const std::string name = TagText(t.tag);
        if (i > 0 && t.tag <= entries[i - 1].tag)
            return Fail(error, "table directory not in ascending tag order at '" + name + "'");
        if (t.orig_length > kMaxTableSize) return Fail(error, "table '" + name + "' is too large");
        if (t.comp_length > t.orig_length)
            return Fail(error, "table '" + name + "' compressed length exceeds its length");
        if (t.offset > woff.size() || t.comp_length > woff.size() - t.offset)
            return Fail(error, "table '" + name + "' runs past the end of the file");
    }

    // Table data keeps the order it had in the WOFF file, which is the order of
    // the original font; the directory records are sorted by tag.
    std::vector<size_t> physical(num_tables);
    for (size_t i = 0; i < num_tables; ++i)
        physical[i] = i;
    std::stable_sort(physical.begin(), physical.end(),
                     [&](size_t a, size_t b) { return entries[a].offset < entries[b].offset; });

    uint64_t size = kSfntHeaderSize + uint64_t(num_tables) * kSfntRecordSize;
    for (const Entry& t : entries)
        size += Pad4(t.orig_length);
    if (size != total_sfnt_size)
        return Fail(error, "rebuilt size " + std::to_string(size) +
                               " differs from the recorded sfnt size " +
                               std::to_string(total_sfnt_size));
    std::vector<uint8_t> out(size, 0);

    uint16_t entry_selector = 0;
    while ((2u << entry_selector) <= num_tables)
        ++entry_selector;
    const uint16_t search_range = uint16_t(16u << entry_selector);
    Put32(out, 0, flavor);
    Put16(out, 4, num_tables);
    Put16(out, 6, search_range);
    Put16(out, 8, entry_selector);
    Put16(out, 10, uint16_t(num_tables * 16 - search_range));

    std::vector<uint32_t> placed_at(num_tables);
    uint32_t at = uint32_t(kSfntHeaderSize + num_tables * kSfntRecordSize);
    for (size_t index : physical) {
        const Entry& t = entries[index];
        const std::string name = TagText(t.tag);
        uint8_t* dest = out.data() + at;
        if (t.comp_length == t.orig_length) {
            std::memcpy(dest, w + t.offset, t.orig_length);
        } else {
            uLongf produced = t.orig_length;
            int rc = uncompress(dest, &produced, w + t.offset, t.comp_length);
            if (rc != Z_OK || produced != t.orig_length)
                return Fail(error, "table '" + name + "' does not inflate to its recorded length");
        }
        // The head table's checksum is taken with checkSumAdjustment as zero.
        uint32_t checksum = TableChecksum(dest, t.orig_length);
        if (t.tag == 0x68656164 /* head */ && t.orig_length >= 12) checksum -= Read32(dest + 8);
        if (checksum != t.orig_checksum)
            return Fail(error, "table '" + name + "' checksum does not match the original");
        placed_at[index] = at;
        at += Pad4(t.orig_length);
    }
    for (size_t i = 0; i < num_tables; ++i) {
        size_t record = kSfntHeaderSize + i * kSfntRecordSize;
        Put32(out, record, entries[i].tag);
        Put32(out, record + 4, entries[i].orig_checksum);
        Put32(out, record + 8, placed_at[i]);
        Put32(out, record + 12, entries[i].orig_length);
    }
    sfnt = std::move(out);
    return true;
}

std::vector<uint8_t> FindTable(const std::vector<uint8_t>& sfnt, const char* tag) {
    if (sfnt.size() < kSfntHeaderSize || std::strlen(tag) != 4) return {};
    const uint32_t want = Read32(reinterpret_cast<const uint8_t*>(tag));
    const uint16_t count = Read16(sfnt.data() + 4);
    if (kSfntHeaderSize + size_t(count) * kSfntRecordSize > sfnt.size()) return {};
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* r = sfnt.data() + kSfntHeaderSize + i * kSfntRecordSize;
        if (Read32(r) != want) continue;
        uint32_t offset = Read32(r + 8), length = Read32(r + 12);
        if (offset > sfnt.size() || length > sfnt.size() - offset) return {};
        return std::vector<uint8_t>(sfnt.begin() + offset, sfnt.begin() + offset + length);
    }
    return {};
}

namespace {

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string NameRecord(const std::vector<uint8_t>& sfnt, int name_id) {
    const std::vector<uint8_t> name = FindTable(sfnt, "name");
    if (name.size() < 6) return {};
    const uint16_t count = Read16(name.data() + 2);
    const uint16_t strings = Read16(name.data() + 4);
    if (6 + size_t(count) * 12 > name.size()) return {};
    // Windows / Unicode BMP / US English first, then Mac Roman / English.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* r = name.data() + 6 + i * 12;
            uint16_t platform = Read16(r), encoding = Read16(r + 2), language = Read16(r + 4);
            uint16_t id = Read16(r + 6), length = Read16(r + 8), offset = Read16(r + 10);
            if (id != name_id) continue;
            size_t start = size_t(strings) + offset;
            if (start > name.size() || length > name.size() - start) continue;
            const uint8_t* s = name.data() + start;
            std::string text;
            if (pass == 0 && platform == 3 && encoding == 1 && language == 0x409) {
                for (size_t k = 0; k + 1 < length; k += 2) {
                    uint32_t c = Read16(s + k);
                    if (c >= 0xD800 && c < 0xDC00 && k + 3 < length) {
                        uint32_t low = Read16(s + k + 2);
                        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                        k += 2;
                    }
                    AppendUtf8(text, c);
                }
                return text;
            }
            if (pass == 1 && platform == 1 && encoding == 0) {
                for (size_t k = 0; k < length; ++k)
                    AppendUtf8(text, s[k] < 0x80 ? s[k] : '?');
                return text;
            }
        }
    }
    return {};
}

}  // namespace woff
