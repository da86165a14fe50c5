// Archive reader: the data pack (format 4) and ZIP archives (format 1).
//
// Pack: the file stays open; the directory is read once, on first use, into a
// list of entries (sizes, data offset, name). Reads go straight to the data
// with pread, so listing and reading never disturb each other.
//
// ZIP: one libarchive reader walks the entries for the listing. A read by name
// uses a second, short-lived reader that scans from the start until the name
// matches, so it leaves the listing where it was. Only the seekable ZIP format
// reader is enabled: no other format and no filter can ever parse the file.
#include "engine/archive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/brieflz.h"
#include "engine/object_table.h"
#include "engine/platform/platform.h"

namespace engine {

namespace {

constexpr size_t kZipReadBlock = 10240;
constexpr size_t kZipExtractChunk = 2097152;
constexpr size_t kCopyChunk = 1 << 20;
constexpr size_t kDirectoryStep = 64;

struct PackEntry {
    uint64_t unpacked = 0;
    uint64_t stored = 0;
    uint64_t data_offset = 0;
    std::string name;
};

struct ZipReader {
    archive* reader = nullptr;
    ~ZipReader() {
        if (reader) archive_read_free(reader);
    }
};

struct Archive {
    int format = 0;
    std::string path;

    // Pack.
    int fd = -1;
    uint64_t file_size = 0;
    int version = 0;
    bool directory_loaded = false;
    std::vector<PackEntry> entries;
    size_t index = 0;  // current entry + 1; 0 = before the first

    // ZIP.
    std::unique_ptr<ZipReader> zip;
    archive_entry* zip_entry = nullptr;  // current entry, owned by the reader
    bool zip_data_used = false;          // the current entry's data was read

    ~Archive() {
        if (fd >= 0) os::Close(fd);
    }
};

ObjectTable<Archive> archives;

uint64_t LoadU64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// Reads exactly `size` bytes at `offset`; false on error or end of file.
bool ReadAt(int fd, uint64_t offset, uint8_t* out, size_t size) {
    return os::ReadAt(fd, offset, out, size);
}

// Byte buffers that report a failed allocation as nullptr instead of throwing.
std::unique_ptr<uint8_t[]> TryAllocate(uint64_t size) {
    if (size > SIZE_MAX) return nullptr;
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size ? size : 1]);
}

// ---- Temporary output file: written beside the destination, renamed over it.

class TempOutput {
  public:
    explicit TempOutput(const std::string& destination) : destination_(destination) {
        fd_ = os::MakeTempFile(destination + ".", &temp_);
        if (fd_ < 0) temp_.clear();
    }
    ~TempOutput() {
        if (fd_ >= 0) os::Close(fd_);
        if (!temp_.empty()) os::RemoveFile(temp_, false);
    }
    bool ok() const { return fd_ >= 0; }
    bool Write(const uint8_t* data, size_t size) { return os::WriteAll(fd_, data, size); }
    bool Commit() {
        int fd = fd_;
        fd_ = -1;
        if (!os::Close(fd)) return false;
        if (!os::ReplaceFile(temp_, destination_)) return false;
        temp_.clear();
        return true;
    }

  private:
    std::string destination_;
    std::string temp_;
    int fd_ = -1;
};

// ---- Pack ----

void LoadDirectory(Archive& a) {
    if (a.directory_loaded) return;
    a.directory_loaded = true;
    const uint64_t header_size = a.version == 1 ? 24 : 18;
    uint64_t pos = 4;
    uint8_t header[24];
    while (a.file_size - pos >= header_size) {
        if (!ReadAt(a.fd, pos, header, header_size)) break;
        const uint64_t unpacked = LoadU64(header);
        const uint64_t stored = LoadU64(header + 8);
        const int16_t name_length = static_cast<int16_t>(header[16] | header[17] << 8);
        const uint64_t name_at = pos + header_size;
        if (name_length <= 0 || a.file_size - name_at < static_cast<uint64_t>(name_length)) break;
        const uint64_t data_at = name_at + static_cast<uint64_t>(name_length);
        if (stored > a.file_size - data_at) break;

        PackEntry entry;
        entry.unpacked = unpacked;
        entry.stored = stored;
        entry.data_offset = data_at;
        entry.name.resize(static_cast<size_t>(name_length));
        if (!ReadAt(a.fd, name_at, reinterpret_cast<uint8_t*>(entry.name.data()),
                    entry.name.size())) {
            break;
        }
        if (a.entries.size() == a.entries.capacity()) {
            a.entries.reserve(a.entries.size() + kDirectoryStep);
        }
        a.entries.push_back(std::move(entry));
        pos = data_at + stored;
    }
}

const PackEntry* FindPackEntry(Archive& a, const std::string& name) {
    LoadDirectory(a);
    if (name.empty()) {
        if (a.index == 0 || a.index > a.entries.size()) return nullptr;
        return &a.entries[a.index - 1];
    }
    for (const PackEntry& e : a.entries) {
        if (e.name == name) return &e;
    }
    return nullptr;
}

// Reads a compressed entry's stored bytes and checks its stream header
// against the entry. Returns nullptr when either is bad.
std::unique_ptr<uint8_t[]> ReadPackStream(const Archive& a, const PackEntry& e,
                                          blz::StreamHeader* header) {
    uint8_t head[blz::kStreamHeaderSize];
    if (e.stored < sizeof head || !ReadAt(a.fd, e.data_offset, head, sizeof head)) return nullptr;
    if (!blz::ReadStreamHeader(head, sizeof head, header)) return nullptr;
    if (header->unpacked_size != e.unpacked) return nullptr;
    auto stream = TryAllocate(e.stored);  // stored fits in the file: checked by the directory
    if (!stream || !ReadAt(a.fd, e.data_offset, stream.get(), e.stored)) return nullptr;
    return stream;
}

int64_t ReadPackEntry(Archive& a, uint8_t* buffer, int64_t buffer_size, const std::string& name) {
    const PackEntry* e = FindPackEntry(a, name);
    if (!e || e->unpacked > static_cast<uint64_t>(buffer_size)) return -1;
    if (e->unpacked > INT64_MAX) return -1;
    if (e->unpacked == 0 && e->stored == 0) return 0;
    if (!buffer && e->unpacked > 0) return -1;
    if (e->stored == e->unpacked) {
        return ReadAt(a.fd, e->data_offset, buffer, e->stored) ? static_cast<int64_t>(e->stored)
                                                               : -1;
    }
    blz::StreamHeader header;
    auto stream = ReadPackStream(a, *e, &header);
    if (!stream) return -1;
    int64_t n = blz::DecodeStream(stream.get(), e->stored, buffer, e->unpacked);
    return n == static_cast<int64_t>(e->unpacked) ? n : -1;
}

// Decodes one block at a time into a block-sized buffer and writes it out, so
// the memory used is bounded by the block size, not by the claimed entry size.
int64_t ExtractPackEntry(Archive& a, TempOutput& out, const std::string& name, uint64_t max_bytes) {
    const PackEntry* e = FindPackEntry(a, name);
    if (!e || e->unpacked > INT64_MAX || e->unpacked > max_bytes) return -1;
    if (e->stored == e->unpacked) {
        auto chunk = TryAllocate(std::min<uint64_t>(e->stored, kCopyChunk));
        if (!chunk) return -1;
        for (uint64_t done = 0; done < e->stored;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(e->stored - done, kCopyChunk));
            if (!ReadAt(a.fd, e->data_offset + done, chunk.get(), n) ||
                !out.Write(chunk.get(), n)) {
                return -1;
            }
            done += n;
        }
        return static_cast<int64_t>(e->stored);
    }
    blz::StreamHeader header;
    auto stream = ReadPackStream(a, *e, &header);
    if (!stream) return -1;
    auto block = TryAllocate(std::min(header.block_size, header.unpacked_size));
    if (!block) return -1;
    size_t pos = blz::kStreamHeaderSize;
    for (uint64_t done = 0; done < header.unpacked_size;) {
        size_t want = static_cast<size_t>(std::min(header.block_size, header.unpacked_size - done));
        int64_t used = blz::DecodeBlock(stream.get() + pos, e->stored - pos, block.get(), want);
        if (used < 0 || !out.Write(block.get(), want)) return -1;
        pos += static_cast<size_t>(used);
        done += want;
    }
    return static_cast<int64_t>(header.unpacked_size);
}

bool OpenPack(Archive& a) {
    a.fd = os::OpenRegular(a.path, os::kRead);
    if (a.fd < 0) return false;
    const int64_t size = os::SizeOf(a.fd);
    if (size < 0) return false;
    a.file_size = static_cast<uint64_t>(size);
    uint8_t magic[4];
    if (a.file_size < 4 || !ReadAt(a.fd, 0, magic, 4)) return false;
    if (std::memcmp(magic + 1, "zlp", 3) != 0) return false;
    if (magic[0] == '1') {
        a.version = 1;
    } else if (magic[0] == '2') {
        a.version = 2;
    } else {
        return false;
    }
    return true;
}

// ---- ZIP ----

std::unique_ptr<ZipReader> OpenZipReader(const std::string& path) {
    auto zip = std::make_unique<ZipReader>();
    zip->reader = archive_read_new();
    if (!zip->reader) return nullptr;
    if (archive_read_support_format_zip_seekable(zip->reader) != ARCHIVE_OK) return nullptr;
    if (os::OpenArchiveFile(zip->reader, path, kZipReadBlock) != ARCHIVE_OK) {
        return nullptr;
    }
    return zip;
}

std::string ZipEntryName(archive_entry* entry) {
    const char* name = archive_entry_pathname_utf8(entry);
    if (!name) name = archive_entry_pathname(entry);
    return name ? name : "";
}

// Only regular files: a link entry's data is its target, which no caller
// wants as the contents of a file; folders and devices have no data.
bool ZipEntryReadable(archive_entry* entry) {
    return archive_entry_filetype(entry) == AE_IFREG && !archive_entry_is_encrypted(entry);
}

// A fresh reader positioned at the first entry called `name`, or nullptr.
std::unique_ptr<ZipReader> FindZipEntry(const std::string& path, const std::string& name,
                                        archive_entry** found) {
    auto zip = OpenZipReader(path);
    if (!zip) return nullptr;
    archive_entry* entry = nullptr;
    for (;;) {
        int r = archive_read_next_header(zip->reader, &entry);
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return nullptr;
        if (ZipEntryName(entry) == name) {
            *found = entry;
            return zip;
        }
    }
}

// Positions a reader at the requested entry: the listing's current entry when
// its data has not been read yet, otherwise a fresh scan by name.
archive* ZipReaderFor(Archive& a, const std::string& name, std::unique_ptr<ZipReader>* scan,
                      archive_entry** entry) {
    if (name.empty()) {
        if (!a.zip_entry) return nullptr;
        if (!a.zip_data_used) {
            a.zip_data_used = true;
            *entry = a.zip_entry;
            return a.zip->reader;
        }
        *scan = FindZipEntry(a.path, ZipEntryName(a.zip_entry), entry);
    } else {
        *scan = FindZipEntry(a.path, name, entry);
    }
    return *scan ? (*scan)->reader : nullptr;
}

int64_t ReadZipEntry(Archive& a, uint8_t* buffer, int64_t buffer_size, const std::string& name) {
    std::unique_ptr<ZipReader> scan;
    archive_entry* entry = nullptr;
    archive* reader = ZipReaderFor(a, name, &scan, &entry);
    if (!reader || !ZipEntryReadable(entry)) return -1;
    if (buffer_size == 0) return 0;
    if (!buffer) return -1;
    la_ssize_t n = archive_read_data(reader, buffer, static_cast<size_t>(buffer_size));
    return n < 0 ? -1 : static_cast<int64_t>(n);
}

// The size in the ZIP header is only a claim: the bytes are counted as they
// are unpacked, so an entry that inflates past `max_bytes` is stopped there.
int64_t ExtractZipEntry(Archive& a, TempOutput& out, const std::string& name, uint64_t max_bytes) {
    std::unique_ptr<ZipReader> scan;
    archive_entry* entry = nullptr;
    archive* reader = ZipReaderFor(a, name, &scan, &entry);
    if (!reader || !ZipEntryReadable(entry)) return -1;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0 &&
        static_cast<uint64_t>(archive_entry_size(entry)) > max_bytes) {
        return -1;
    }
    auto chunk = TryAllocate(kZipExtractChunk);
    if (!chunk) return -1;
    uint64_t total = 0;
    for (;;) {
        la_ssize_t n = archive_read_data(reader, chunk.get(), kZipExtractChunk);
        if (n < 0) return -1;
        if (n == 0) return static_cast<int64_t>(total);
        total += static_cast<uint64_t>(n);
        if (total > max_bytes || total > INT64_MAX) return -1;
        if (!out.Write(chunk.get(), static_cast<size_t>(n))) return -1;
    }
}

bool RestartZipListing(Archive& a) {
    a.zip_entry = nullptr;
    a.zip_data_used = false;
    a.zip.reset();
    a.zip = OpenZipReader(a.path);
    return a.zip != nullptr;
}

}  // namespace

namespace detail {

bool ReadWholePackEntry(int id, const std::string& name, uint64_t max_bytes,
                        std::vector<uint8_t>* out) {
    Archive* a = archives.Get(id);
    if (!a || a->format != kArchivePack || name.empty()) return false;
    const PackEntry* e = FindPackEntry(*a, name);
    if (!e || e->unpacked > max_bytes) return false;
    try {
        out->resize(static_cast<size_t>(e->unpacked));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto size = static_cast<int64_t>(e->unpacked);
    return ReadPackEntry(*a, out->data(), size, name) == size;
}

}  // namespace detail

int OpenArchive(int id, const std::string& file_name, int format) {
    auto a = std::make_unique<Archive>();
    a->format = format;
    a->path = file_name;
    bool opened = false;
    if (format == kArchivePack) {
        opened = OpenPack(*a);
    } else if (format == kArchiveZip) {
        opened = RestartZipListing(*a);
    }
    if (!opened) {
        if (id != AutoId) archives.Release(id);
        return 0;
    }
    return archives.Insert(id, std::move(a));
}

int ListArchive(int id) {
    Archive* a = archives.Get(id);
    if (!a) return 0;
    if (a->format == kArchiveZip) return RestartZipListing(*a) ? 1 : 0;
    LoadDirectory(*a);
    a->index = 0;
    return 1;
}

int NextArchiveEntry(int id) {
    Archive* a = archives.Get(id);
    if (!a) return 0;
    if (a->format == kArchiveZip) {
        if (!a->zip) return 0;
        a->zip_data_used = false;
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(a->zip->reader, &entry);
        a->zip_entry = (r == ARCHIVE_OK || r == ARCHIVE_WARN) ? entry : nullptr;
        if (!a->zip_entry) a->zip.reset();  // finished or failed: the listing is over
        return a->zip_entry ? 1 : 0;
    }
    LoadDirectory(*a);
    if (a->index < a->entries.size()) {
        ++a->index;
        return 1;
    }
    a->index = a->entries.size() + 1;  // past the end: no current entry
    return 0;
}

std::string ArchiveEntryName(int id) {
    Archive* a = archives.Get(id);
    if (!a) return "";
    if (a->format == kArchiveZip) return a->zip_entry ? ZipEntryName(a->zip_entry) : "";
    if (a->index == 0 || a->index > a->entries.size()) return "";
    return a->entries[a->index - 1].name;
}

int ArchiveEntryKind(int id) {
    Archive* a = archives.Get(id);
    if (!a) return -1;
    if (a->format == kArchiveZip) {
        if (!a->zip_entry) return -1;
        switch (archive_entry_filetype(a->zip_entry)) {
            case AE_IFREG:
                return 0;
            case AE_IFDIR:
                return 1;
            default:
                return 2;
        }
    }
    return a->index == 0 || a->index > a->entries.size() ? -1 : 0;
}

int ArchiveEntrySizes(int id, int64_t* unpacked, int64_t* stored) {
    Archive* a = archives.Get(id);
    if (!a) return 0;
    if (a->format == kArchiveZip) {
        if (!a->zip_entry) return 0;
        *unpacked = archive_entry_size_is_set(a->zip_entry) ? archive_entry_size(a->zip_entry) : -1;
        *stored = -1;
        return 1;
    }
    if (a->index == 0 || a->index > a->entries.size()) return 0;
    const PackEntry& e = a->entries[a->index - 1];
    *unpacked = static_cast<int64_t>(std::min<uint64_t>(e.unpacked, INT64_MAX));
    *stored = static_cast<int64_t>(e.stored);
    return 1;
}

int64_t ReadArchiveEntry(int id, uint8_t* buffer, int64_t buffer_size,
                         const std::string& entry_name) {
    Archive* a = archives.Get(id);
    if (!a || buffer_size < 0) return -1;
    if (a->format == kArchiveZip) return ReadZipEntry(*a, buffer, buffer_size, entry_name);
    return ReadPackEntry(*a, buffer, buffer_size, entry_name);
}

int64_t ExtractArchiveEntry(int id, const std::string& destination_file,
                            const std::string& entry_name, int64_t max_bytes) {
    Archive* a = archives.Get(id);
    if (!a || destination_file.empty()) return -1;
    const uint64_t cap = max_bytes < 0 ? UINT64_MAX : static_cast<uint64_t>(max_bytes);
    TempOutput out(destination_file);
    if (!out.ok()) return -1;
    int64_t size = a->format == kArchiveZip ? ExtractZipEntry(*a, out, entry_name, cap)
                                            : ExtractPackEntry(*a, out, entry_name, cap);
    if (size < 0 || !out.Commit()) return -1;
    return size;
}

void CloseArchive(int id) {
    if (id == -1) {
        archives.ReleaseAll();
    } else {
        archives.Release(id);
    }
}

}  // namespace engine
