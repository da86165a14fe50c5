// Files and folders: file objects, folder scans, path parts and the command
// line. The system calls behind them are engine/platform/platform.h's; the program's own
// folders are in files_posix.cpp and files_windows.cpp.
//
// A file object keeps its descriptor, a 4096-byte write buffer and a read
// buffer. Reads and writes may alternate: a write first gives back read-ahead
// bytes by seeking, a read first flushes pending writes. Only regular files are
// opened, and with O_NONBLOCK for the open itself, so a FIFO or device in place
// of a file never blocks the game.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/files.h"
#include "engine/object_table.h"
#include "engine/platform/platform.h"
#include "engine/system.h"

namespace engine {

namespace os {

bool ReadFileBytes(const std::string& path, uint64_t max_bytes, std::vector<uint8_t>* bytes) {
    const int fd = OpenRegular(path, kRead);
    if (fd < 0) return false;
    const int64_t size = SizeOf(fd);
    bool ok = size >= 0 && static_cast<uint64_t>(size) <= max_bytes;
    if (ok) {
        // The size is a hint: a file that grows while it is read is still
        // held to the limit, one that shrinks ends where it ends.
        bytes->assign(static_cast<size_t>(size), 0);
        size_t got = 0;
        while (ok) {
            if (got == bytes->size()) {
                if (bytes->size() >= max_bytes) break;
                bytes->resize(std::min<uint64_t>(max_bytes, bytes->size() + 65536));
            }
            const int64_t n = Read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes->resize(got);
        if (ok && got == max_bytes) {
            uint8_t extra = 0;
            ok = Read(fd, &extra, 1) == 0;
        }
    }
    Close(fd);
    if (!ok) bytes->clear();
    return ok;
}

// Bit 29 of a reparse tag marks a name surrogate.
bool IsNameSurrogateTag(uint32_t tag) {
    return (tag & 0x20000000u) != 0;
}

}  // namespace os

namespace {

constexpr size_t kWriteBufferSize = 4096;
constexpr size_t kReadChunk = 4096;

struct FileObject {
    int fd = -1;
    std::vector<uint8_t> pending;    // bytes not yet written
    std::vector<uint8_t> readahead;  // bytes read but not yet delivered
    size_t read_pos = 0;
    bool at_end = false;

    ~FileObject();
};

ObjectTable<FileObject> file_table;

bool Flush(FileObject& f) {
    bool ok = os::WriteAll(f.fd, f.pending.data(), f.pending.size());
    f.pending.clear();
    return ok;
}

// A file replaced under its number, or freed at exit, still gets its bytes.
FileObject::~FileObject() {
    if (fd < 0) return;
    Flush(*this);
    os::Close(fd);
}

// Before writing: the descriptor's position is past the unread read-ahead,
// so seek back to where the caller believes it is.
void DropReadahead(FileObject& f) {
    size_t unread = f.readahead.size() - f.read_pos;
    if (unread > 0) os::SeekBy(f.fd, -static_cast<int64_t>(unread));
    f.readahead.clear();
    f.read_pos = 0;
    f.at_end = false;
}

// Makes at least one unread byte available; false at the end of the file.
bool Fill(FileObject& f) {
    if (f.read_pos < f.readahead.size()) return true;
    if (f.at_end) return false;
    if (!f.pending.empty() && !Flush(f)) return false;
    f.readahead.resize(kReadChunk);
    f.read_pos = 0;
    const int64_t n = os::Read(f.fd, f.readahead.data(), kReadChunk);
    f.readahead.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (n <= 0) f.at_end = true;
    return n > 0;
}

int StoreFile(int id, int fd) {
    if (fd < 0) return 0;
    auto object = std::make_unique<FileObject>();
    object->fd = fd;
    object->pending.reserve(kWriteBufferSize);
    int result = file_table.Insert(id, std::move(object));
    if (result == 0) os::Close(fd);  // bad number: the descriptor must not leak
    return result;
}

}  // namespace

int NewFile(int id, std::string_view path) {
    if (path.empty()) return 0;
    std::string p(path);
    // Probe for a bad number first: truncating a file we then cannot keep
    // would destroy it for nothing.
    if (id != AutoId && (id < 0 || id >= kMaxObjectNumber)) return 0;
    int fd = os::OpenRegular(p, os::kReadWrite | os::kCreate | os::kTruncate);
    if (fd < 0) fd = os::OpenRegular(p, os::kWrite | os::kTruncate);
    return StoreFile(id, fd);
}

int OpenFileForReading(int id, std::string_view path) {
    if (path.empty()) return 0;
    if (id != AutoId && (id < 0 || id >= kMaxObjectNumber)) return 0;
    return StoreFile(id, os::OpenRegular(std::string(path), os::kRead));
}

int64_t WriteBytes(int file, const void* buffer, int64_t length) {
    FileObject* f = file_table.Get(file);
    if (!f || !buffer || length < 1) return 0;
    DropReadahead(*f);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    if (f->pending.size() + static_cast<uint64_t>(length) <= kWriteBufferSize) {
        f->pending.insert(f->pending.end(), bytes, bytes + length);
        return length;
    }
    if (!Flush(*f)) return 0;
    if (static_cast<uint64_t>(length) <= kWriteBufferSize) {
        f->pending.insert(f->pending.end(), bytes, bytes + length);
        return length;
    }
    return os::WriteAll(f->fd, bytes, static_cast<size_t>(length)) ? length : 0;
}

int WriteTextLine(int file, std::string_view text) {
    if (!file_table.Get(file)) return 0;
    std::string line(text);
    line += "\r\n";
    return WriteBytes(file, line.data(), static_cast<int64_t>(line.size())) > 0 ? 1 : 0;
}

std::string ReadTextLine(int file) {
    FileObject* f = file_table.Get(file);
    if (!f) return {};
    std::string line;
    while (Fill(*f)) {
        auto begin = f->readahead.begin() + static_cast<std::ptrdiff_t>(f->read_pos);
        auto stop = std::find_if(begin, f->readahead.end(),
                                 [](uint8_t c) { return c == '\r' || c == '\n'; });
        line.append(begin, stop);
        f->read_pos = static_cast<size_t>(stop - f->readahead.begin());
        if (stop == f->readahead.end()) continue;
        uint8_t end = *stop;
        ++f->read_pos;
        if (end == '\r' && Fill(*f) && f->readahead[f->read_pos] == '\n') ++f->read_pos;
        break;
    }
    return FromUtf16(ToUtf16(line));  // bad UTF-8 becomes U+FFFD
}

int FileAtEnd(int file) {
    FileObject* f = file_table.Get(file);
    return (!f || !Fill(*f)) ? 1 : 0;
}

int FlushFileObject(int file) {
    FileObject* f = file_table.Get(file);
    return (f && Flush(*f)) ? 1 : 0;
}

int CloseFileObject(int file) {
    bool ok = true;
    if (file == -1) {
        if (file_table.Count() == 0) return 0;
        file_table.ForEach([&ok](int, FileObject& f) { ok = Flush(f) && ok; });
        file_table.ReleaseAll();
        return ok ? 1 : 0;
    }
    FileObject* f = file_table.Get(file);
    if (!f) return 0;
    ok = Flush(*f);
    file_table.Release(file);
    return ok ? 1 : 0;
}

int FileObjectValid(int file) {
    return file_table.Get(file) ? 1 : 0;
}

// ---- Files and folders ------------------------------------------------------

int64_t QueryFileSize(std::string_view path) {
    if (path.empty()) return -1;
    int64_t size = 0;
    switch (os::KindOf(std::string(path), &size)) {
        case os::Kind::Missing:
            return -1;
        case os::Kind::Folder:
            return -2;
        default:
            return size;
    }
}

int MakeFolder(std::string_view path) {
    std::string p(path);
    while (!p.empty() &&
           (p.back() == ' ' || p.back() == '\t' || p.back() == '/' || p.back() == kPathSeparator))
        p.pop_back();
    if (p.empty()) return 0;
    return os::MakeFolder(p) ? 1 : 0;
}

int RemoveFile(std::string_view path, int flags) {
    if (path.empty()) return 0;
    return os::RemoveFile(std::string(path), (flags & 2) != 0) ? 1 : 0;
}

// ---- Folder scans -------------------------------------------------------------

namespace {

struct FolderScan {
    std::vector<std::pair<std::string, bool>> entries;  // name, is a folder
    size_t next = 0;                                    // entries delivered so far
};

ObjectTable<FolderScan> scan_table;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Wildcard match with "*" and "?", ASCII letters without regard to case.
// Iterative with one backtrack point, so no pattern makes it slow.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

int ScanFolder(int id, std::string_view folder, std::string_view pattern) {
    if (id != AutoId && (id < 0 || id >= kMaxObjectNumber)) return 0;
    std::string path(folder);
    if (path.empty()) path = std::string(".") + kPathSeparator;
    if (path.back() != '/' && path.back() != kPathSeparator) path += kPathSeparator;
    std::string wanted(pattern.empty() ? std::string_view("*.*") : pattern);
    if (wanted == "*.*") wanted = "*";  // every name, with or without a dot

    std::vector<std::pair<std::string, bool>> all;
    if (!os::ListFolder(path, &all)) return 0;
    auto scan = std::make_unique<FolderScan>();
    for (auto& entry : all) {
        if (WildcardMatch(wanted, entry.first)) scan->entries.push_back(std::move(entry));
    }
    std::sort(scan->entries.begin(), scan->entries.end());
    return scan_table.Insert(id, std::move(scan));
}

int NextFolderEntry(int scan) {
    FolderScan* s = scan_table.Get(scan);
    if (!s || s->next >= s->entries.size() + 1) return 0;
    ++s->next;
    return s->next <= s->entries.size() ? 1 : 0;
}

std::string FolderEntryName(int scan) {
    FolderScan* s = scan_table.Get(scan);
    if (!s || s->next == 0 || s->next > s->entries.size()) return {};
    return s->entries[s->next - 1].first;
}

int FolderEntryIsFolder(int scan) {
    FolderScan* s = scan_table.Get(scan);
    if (!s || s->next == 0 || s->next > s->entries.size()) return 0;
    return s->entries[s->next - 1].second ? 1 : 0;
}

void EndFolderScan(int scan) {
    if (scan == -1) {
        scan_table.ReleaseAll();
    } else {
        scan_table.Release(scan);
    }
}

// ---- Path parts ---------------------------------------------------------------

std::string FolderPart(std::string_view path) {
    if (!path.empty() && path.front() == '"') path.remove_prefix(1);
    path = path.substr(0, path.find('|'));
    size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string FileNamePart(std::string_view path, int flags) {
    if (!path.empty() && path.front() == '"') {
        path.remove_prefix(1);
        path = path.substr(0, path.find('"'));
    }
    size_t last = path.find_last_of("/\\");
    std::string_view name = last == std::string_view::npos ? path : path.substr(last + 1);
    if (flags & 1) name = name.substr(0, name.rfind('.'));
    return std::string(name);
}

std::string FileExtensionPart(std::string_view path) {
    std::string name = FileNamePart(path, 0);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

// ---- The program ----------------------------------------------------------------

namespace {

struct CommandLine {
    std::vector<std::string> args;
    size_t next = 0;
};
CommandLine command_line;

}  // namespace

void SetCommandArgs(int argc, const char* const* argv) {
    command_line = {};
    for (int i = 1; i < argc && argv; ++i) {
        if (argv[i]) command_line.args.emplace_back(argv[i]);
    }
}

int CommandArgCount() {
    return static_cast<int>(command_line.args.size());
}

std::string NextCommandArg() {
    auto& c = command_line;
    return c.next < c.args.size() ? c.args[c.next++] : std::string();
}

void HandFileToPlayer(const std::string& path, const std::string& mime) {
    os::HandToPlayer(path, mime);
}

}  // namespace engine
