// Preference files: one engine-wide context holding the open file as an
// ordered list of nodes (group headers, comments, keys) in file order.
//
// Parsing runs once at open over the whole file: decode (UTF-8 after a
// byte-order mark, else ISO-8859-1; the text ends at a NUL byte, as the
// in-memory form is a terminated string), split at runs of CR and LF, and
// classify each line after its leading blanks:
//   ";" comment   "[" group header   anything else: key, optional "=" and value
// Lookups walk the nodes from the selected group's header to the next header.
//
// Writing happens at close when the model changed, through a temporary file in
// the same folder that is synced and renamed over the old file.
#include "engine/prefs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "engine/atomic_write.h"
#include "engine/platform/platform.h"
#include "engine/system.h"

namespace engine {

namespace {

// Larger files are not preference files; refusing them keeps memory bounded.
constexpr int64_t kMaxPrefFileSize = 64 << 20;

struct Node {
    enum class Kind { Group, Comment, Key };
    Kind kind;
    std::string name;   // group name, comment text or key name
    std::string value;  // keys only, as in the file (trailing blanks kept)
};

struct PrefContext {
    bool active = false;  // a file is open, created, or named but missing
    std::string path;
    std::vector<Node> nodes;
    bool modified = false;
    bool probe_created = false;  // CreatePrefFile made an empty file to test access

    int group = -1;  // selected group's header, -1 for the keys before any header
    bool pending = false;
    std::string pending_name;

    int key_pos = -1;  // the key listing's position: last node it visited
    bool key_valid = false;
    int last = -1;  // node last written or listed, where comments go after
};

PrefContext pref;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// ---- Parsing ------------------------------------------------------------------

std::string DecodeText(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        return FromUtf16(ToUtf16(bytes.substr(3)));  // bad sequences become U+FFFD
    }
    std::string text;  // ISO-8859-1: each byte is its own code point
    text.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

void ParseLine(std::string_view line, std::vector<Node>& nodes) {
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    if (line.empty()) return;
    if (line.front() == ';') {
        line.remove_prefix(1);
        if (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        nodes.push_back({Node::Kind::Comment, std::string(line), {}});
    } else if (line.front() == '[') {
        line.remove_prefix(1);
        nodes.push_back({Node::Kind::Group, std::string(line.substr(0, line.find(']'))), {}});
    } else {
        size_t eq = line.find('=');
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && IsBlank(key.back()))
            key.remove_suffix(1);
        std::string_view value;
        if (eq != std::string_view::npos) {
            value = line.substr(eq + 1);
            while (!value.empty() && IsBlank(value.front()))
                value.remove_prefix(1);
        }
        nodes.push_back({Node::Kind::Key, std::string(key), std::string(value)});
    }
}

std::vector<Node> Parse(std::string_view bytes) {
    std::string text = DecodeText(bytes);
    std::vector<Node> nodes;
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t end = rest.find_first_of("\r\n");
        ParseLine(rest.substr(0, end), nodes);
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end);
        while (!rest.empty() && (rest.front() == '\r' || rest.front() == '\n'))
            rest.remove_prefix(1);
    }
    return nodes;
}

// Reads a whole regular file; false with errno set otherwise. `no_links`
// refuses a symbolic link as the file itself (ELOOP).
bool ReadWholeFile(const std::string& path, std::string* out, bool no_links) {
    int fd = os::OpenRegular(path, os::kRead | (no_links ? os::kNoLinks : 0));
    if (fd < 0) return false;
    bool ok = os::SizeOf(fd) <= kMaxPrefFileSize;
    if (ok) {
        out->clear();
        char chunk[65536];
        while (true) {
            int64_t n = os::Read(fd, chunk, sizeof chunk);
            if (n < 0) ok = false;
            if (n <= 0) break;
            out->append(chunk, static_cast<size_t>(n));
            if (static_cast<int64_t>(out->size()) > kMaxPrefFileSize) {
                ok = false;  // grew while we read it
                break;
            }
        }
    }
    os::Close(fd);
    if (!ok) errno = EINVAL;
    return ok;
}

// ---- Writing --------------------------------------------------------------------

std::string Serialise(const std::vector<Node>& nodes) {
    std::string text = "\xEF\xBB\xBF\r\n";
    for (const Node& node : nodes) {
        switch (node.kind) {
            case Node::Kind::Group:
                text += "[" + node.name + "]";
                break;
            case Node::Kind::Comment:
                text += "; " + node.name;
                break;
            case Node::Kind::Key:
                text += node.name + " = " + node.value;
                break;
        }
        text += "\r\n";
    }
    return text;
}

// The plain way, used only when no temporary file can be made beside the
// target (a folder we may not write to, holding a file we may).
bool WriteInPlace(const std::string& path, std::string_view bytes) {
    int fd = os::OpenRegular(path, os::kWrite | os::kCreate | os::kTruncate);
    if (fd < 0) return false;
    bool ok = os::WriteAll(fd, bytes.data(), bytes.size()) && os::Sync(fd);
    return os::Close(fd) && ok;
}

// Replaces the file's contents all at once: the old file stays until the new
// text is complete on disk. When no temporary file can be made beside it (a
// folder we may not write to, holding a file we may), it is written in place.
bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
    if (WriteFileAtomically(path, bytes)) return true;
    size_t slash = path.find_last_of(std::string{'/', kPathSeparator});
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (!os::Writable(folder) && os::Writable(path)) {
        return WriteInPlace(path, bytes);
    }
    return false;
}

// ---- Model helpers ----------------------------------------------------------------

// The node range of the selected group: [first, end).
std::pair<int, int> GroupRange() {
    int first = pref.group + 1;
    int end = first;
    int n = static_cast<int>(pref.nodes.size());
    while (end < n && pref.nodes[end].kind != Node::Kind::Group)
        ++end;
    return {first, end};
}

int FindKey(std::string_view key) {
    auto [first, end] = GroupRange();
    for (int i = first; i < end; ++i) {
        const Node& node = pref.nodes[i];
        if (node.kind == Node::Kind::Key && SameAsciiNoCase(node.name, key)) return i;
    }
    return -1;
}

// Inserts a node, keeping every remembered position on the same node.
void InsertNode(int at, Node node) {
    pref.nodes.insert(pref.nodes.begin() + at, std::move(node));
    for (int* pos : {&pref.group, &pref.key_pos, &pref.last}) {
        if (*pos >= at) ++*pos;
    }
    pref.modified = true;
}

void Select(int group) {
    pref.group = group;
    pref.pending = false;
    pref.key_pos = group;
    pref.key_valid = false;
}

void ResetContext() {
    pref = PrefContext{};
}

}  // namespace

int OpenPrefFile(std::string_view path, int flags) {
    ClosePrefFile();
    if (path.empty()) return 0;
    std::string bytes;
    if (!ReadWholeFile(std::string(path), &bytes, (flags & kPrefNoLinks) != 0)) {
        if (errno == ENOENT) {  // a later write and close create it
            pref.active = true;
            pref.path = path;
        }
        return 0;
    }
    pref.active = true;
    pref.path = path;
    pref.nodes = Parse(bytes);
    return 1;
}

int CreatePrefFile(std::string_view path) {
    ClosePrefFile();
    if (path.empty()) return 0;
    std::string p(path);
    // Find out now whether the file can be written, without touching an
    // existing file: its old text stays until the new one is complete.
    bool created = false;
    int fd = os::OpenRegular(p, os::kWrite | os::kCreate | os::kExclusive);
    if (fd >= 0) {
        created = true;
    } else if (errno == EEXIST) {
        fd = os::OpenRegular(p, os::kWrite);
    }
    if (fd < 0) return 0;
    os::Close(fd);
    pref.active = true;
    pref.path = p;
    pref.modified = true;
    pref.probe_created = created;
    return 1;
}

int ClosePrefFile() {
    bool ok = true;
    if (pref.active && pref.modified) {
        ok = ReplaceFileContents(pref.path, Serialise(pref.nodes));
        int64_t size = -1;
        if (!ok && pref.probe_created && os::KindOf(pref.path, &size) == os::Kind::File &&
            size == 0) {
            os::RemoveFile(pref.path, false);  // leave nothing behind, as before
        }
    }
    ResetContext();
    return ok ? 1 : 0;
}

int SelectPrefGroup(std::string_view name) {
    if (!pref.active) return 0;
    if (name.empty()) {
        Select(-1);
        return 1;
    }
    for (int i = 0; i < static_cast<int>(pref.nodes.size()); ++i) {
        const Node& node = pref.nodes[i];
        if (node.kind == Node::Kind::Group && SameAsciiNoCase(node.name, name)) {
            Select(i);
            return 1;
        }
    }
    pref.pending = true;
    pref.pending_name = name;
    pref.key_valid = false;
    return 0;
}

std::string ReadPrefString(std::string_view key, std::string_view default_value) {
    if (!pref.active || pref.pending) return std::string(default_value);
    int at = FindKey(key);
    if (at < 0) return std::string(default_value);
    return std::string(TrimBlanks(pref.nodes[at].value));
}

int ReadPrefInt(std::string_view key, int default_value) {
    if (!pref.active || pref.pending) return default_value;
    int at = FindKey(key);
    if (at < 0) return default_value;
    std::string_view s = pref.nodes[at].value;
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = std::min<int64_t>(value * 10 + (s[i] - '0'), int64_t{INT_MAX} + 1);
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

int WritePrefString(std::string_view key, std::string_view value) {
    if (!pref.active) return 0;
    if (pref.pending) {
        InsertNode(static_cast<int>(pref.nodes.size()), {Node::Kind::Group, pref.pending_name, {}});
        Select(static_cast<int>(pref.nodes.size()) - 1);
    }
    int at = FindKey(key);
    if (at >= 0) {
        pref.nodes[at].name = key;
        pref.nodes[at].value = value;
        pref.modified = true;
    } else {
        auto [first, end] = GroupRange();
        at = end;  // a group without keys gets its first at its end
        for (int i = end - 1; i >= first; --i) {
            if (pref.nodes[i].kind == Node::Kind::Key) {
                at = i + 1;
                break;
            }
        }
        InsertNode(at, {Node::Kind::Key, std::string(key), std::string(value)});
    }
    pref.last = at;
    return 1;
}

int WritePrefInt(std::string_view key, int value) {
    return WritePrefString(key, std::to_string(value));
}

int WritePrefComment(std::string_view text) {
    if (!pref.active) return 0;
    int at = pref.last + 1;
    InsertNode(at, {Node::Kind::Comment, std::string(text), {}});
    pref.last = at;
    return 1;
}

int ListPrefGroups() {
    if (!pref.active) return 0;
    Select(-1);
    return 1;
}

int NextPrefGroup() {
    if (!pref.active) return 0;
    for (int i = pref.group + 1; i < static_cast<int>(pref.nodes.size()); ++i) {
        if (pref.nodes[i].kind == Node::Kind::Group) {
            Select(i);
            pref.last = i;
            return 1;
        }
    }
    return 0;
}

std::string PrefGroupName() {
    if (!pref.active || pref.pending || pref.group < 0) return {};
    return pref.nodes[pref.group].name;
}

int ListPrefKeys() {
    if (!pref.active || pref.pending) return 0;
    pref.key_pos = pref.group;
    pref.key_valid = false;
    return 1;
}

int NextPrefKey() {
    if (!pref.active || pref.pending) return 0;
    int n = static_cast<int>(pref.nodes.size());
    int i = pref.key_pos + 1;
    for (; i < n && pref.nodes[i].kind != Node::Kind::Group; ++i) {
        if (pref.nodes[i].kind == Node::Kind::Key) {
            pref.key_pos = i;
            pref.key_valid = true;
            pref.last = i;
            return 1;
        }
    }
    pref.key_pos = i - 1;  // stays at the group's end
    pref.key_valid = false;
    return 0;
}

std::string PrefKeyName() {
    if (!pref.active || !pref.key_valid) return {};
    return pref.nodes[pref.key_pos].name;
}

std::string PrefKeyValue() {
    if (!pref.active || !pref.key_valid) return {};
    return std::string(TrimBlanks(pref.nodes[pref.key_pos].value));
}

}  // namespace engine
