// Archives: packs written by the pack tool's writer and by hand, damaged
// packs, and ZIP archives written here with libarchive's writer.
#include "engine/archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/object_table.h"
#include "packer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using engine::AutoId;
using engine::kArchivePack;
using engine::kArchiveZip;

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

Bytes Repetitive(size_t n) {
    Bytes b;
    const std::string words = "tile pair memory level clock board picture ";
    for (size_t i = 0; b.size() < n; ++i)
        b.push_back(static_cast<uint8_t>(words[(i * 7) % 43]));
    b.resize(n);
    return b;
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void PutU64(Bytes& out, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// One pack entry laid out by hand.
void PutEntry(Bytes& pack, int version, uint64_t unpacked, uint64_t stored, int16_t name_length,
              const std::string& name, const Bytes& data) {
    PutU64(pack, unpacked);
    PutU64(pack, stored);
    pack.push_back(static_cast<uint8_t>(name_length));
    pack.push_back(static_cast<uint8_t>(static_cast<uint16_t>(name_length) >> 8));
    if (version == 1) pack.insert(pack.end(), {9, 9, 9, 9, 9, 9});  // reserved, not read
    pack.insert(pack.end(), name.begin(), name.end());
    pack.insert(pack.end(), data.begin(), data.end());
}

Bytes StreamHeader(uint64_t unpacked, uint64_t block) {
    Bytes s = {'1', 'z', 'l', 'b', 0, 0, 0, 0};
    PutU64(s, unpacked);
    PutU64(s, block);
    return s;
}

// 'A' then a match of length 10 at offset 1: "AAAAAAAAAAA".
const Bytes kRunBlock = {'A', 0x00, 0xA8, 0x00};

class ArchiveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = test_support::ScratchDir("mnemora_archive_test_");
        fs::create_directories(dir_);
    }
    void TearDown() override {
        engine::CloseArchive(-1);
        fs::remove_all(dir_);
    }

    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }

    std::string MakePack(const std::vector<pack::PackEntryInput>& entries, int version, int level,
                         bool store = false) {
        Bytes bytes;
        std::string error;
        EXPECT_TRUE(pack::BuildPack(entries, {version, level, store}, &bytes, &error)) << error;
        return Write("v" + std::to_string(version) + "l" + std::to_string(level) + ".data", bytes);
    }

    static std::vector<std::string> Listing(int archive) {
        std::vector<std::string> names;
        EXPECT_EQ(engine::ListArchive(archive), 1);
        while (engine::NextArchiveEntry(archive))
            names.push_back(engine::ArchiveEntryName(archive));
        return names;
    }

    // Reads an entry into a buffer of exactly its expected size plus slack.
    static Bytes Read(int archive, const std::string& name, size_t capacity) {
        Bytes out(capacity + 1, 0xEE);
        int64_t n =
            engine::ReadArchiveEntry(archive, out.data(), static_cast<int64_t>(capacity), name);
        if (n < 0) return Text("<failed>");
        out.resize(static_cast<size_t>(n));
        return out;
    }

    fs::path dir_;
};

// ---- Packs from the writer.

TEST_F(ArchiveTest, RoundTripsBothVersionsAndEveryLevel) {
    std::vector<pack::PackEntryInput> entries = {
        {"empty.bin", {}},
        {"one.bin", {7}},
        {"run.bin", Bytes(300000, 'r')},
        {"random.bin", RandomBytes(50000, 1)},
        {"text.txt", Repetitive(1100000)},  // more than the largest block
    };
    for (int version = 1; version <= 2; ++version) {
        for (int level = 0; level <= 9; ++level) {
            int a = engine::OpenArchive(AutoId, MakePack(entries, version, level), kArchivePack);
            ASSERT_NE(a, 0);
            std::vector<std::string> names = Listing(a);
            ASSERT_EQ(names.size(), entries.size());
            for (size_t i = 0; i < entries.size(); ++i) {
                EXPECT_EQ(names[i], entries[i].name);
                EXPECT_EQ(Read(a, entries[i].name, entries[i].data.size()), entries[i].data)
                    << "version " << version << " level " << level << " " << entries[i].name;
            }
            engine::CloseArchive(a);
        }
    }
}

TEST_F(ArchiveTest, VersionOneAndTwoGiveTheSameListingAndBytes) {
    std::vector<pack::PackEntryInput> entries = {{"a.png", RandomBytes(3000, 3)},
                                                 {"music0.ogg", Repetitive(70000)},
                                                 {"TitanOne-Regular.ttf", Repetitive(9000)}};
    int a1 = engine::OpenArchive(1, MakePack(entries, 1, 4), kArchivePack);
    int a2 = engine::OpenArchive(2, MakePack(entries, 2, 4), kArchivePack);
    ASSERT_EQ(a1, 1);
    ASSERT_EQ(a2, 1);
    EXPECT_EQ(Listing(1), Listing(2));
    for (const auto& e : entries)
        EXPECT_EQ(Read(1, e.name, 100000), Read(2, e.name, 100000));
}

TEST_F(ArchiveTest, ListingAndCurrentEntry) {
    int a = engine::OpenArchive(AutoId, MakePack({{"x", Text("xx")}, {"y", Text("yyy")}}, 2, 0),
                                kArchivePack);
    EXPECT_EQ(engine::ArchiveEntryName(a), "");
    EXPECT_EQ(engine::ArchiveEntryKind(a), -1);
    EXPECT_EQ(Read(a, "", 10), Text("<failed>"));  // no current entry yet
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryKind(a), 0);
    EXPECT_EQ(Read(a, "", 10), Text("yyy"));
    EXPECT_EQ(engine::NextArchiveEntry(a), 0);
    EXPECT_EQ(engine::ArchiveEntryName(a), "");
    EXPECT_EQ(engine::NextArchiveEntry(a), 0);
    EXPECT_EQ(engine::ListArchive(a), 1);  // starts again
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryName(a), "x");
}

TEST_F(ArchiveTest, ExtractWritesTheEntryAndReplacesAFile) {
    Bytes big = Repetitive(2000000);
    int a = engine::OpenArchive(AutoId, MakePack({{"big.txt", big}, {"s", Text("ab")}}, 2, 1),
                                kArchivePack);
    const fs::path out = dir_ / "out.txt";
    WriteFile(out, Text("old contents"));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "big.txt"), 2000000);
    EXPECT_EQ(ReadFile(out), big);
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "s"), 2);
    EXPECT_EQ(ReadFile(out), Text("ab"));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "missing"), -1);
    EXPECT_EQ(ReadFile(out), Text("ab"));  // untouched
    EXPECT_EQ(engine::ExtractArchiveEntry(a, (dir_ / "no/such/folder/f").string(), "s"), -1);
}

// ---- A pack made by hand.

Bytes HandPack(int version) {
    Bytes pack = {static_cast<uint8_t>('0' + version), 'z', 'l', 'p'};
    // Stored, and beginning with the stream magic: returned as it is.
    Bytes looks_compressed = StreamHeader(11, 8192);
    PutEntry(pack, version, looks_compressed.size(), looks_compressed.size(), 9, "fake.1zlb",
             looks_compressed);
    Bytes stream = StreamHeader(11, 8192);
    stream.insert(stream.end(), kRunBlock.begin(), kRunBlock.end());
    PutEntry(pack, version, 11, stream.size(), 6, "run.aa", stream);
    // All literals: 'H', a zero tag, "ello".
    Bytes literal = StreamHeader(5, 8192);
    literal.insert(literal.end(), {'H', 0, 0, 'e', 'l', 'l', 'o'});
    PutEntry(pack, version, 5, literal.size(), 9, "hello.txt", literal);
    PutEntry(pack, version, 0, 0, 9, "empty.bin", {});
    PutEntry(pack, version, 3, 3, 8, "dir/x.kv", Text("k=v"));
    return pack;
}

TEST_F(ArchiveTest, HandMadePackReadsByteForByte) {
    for (int version = 1; version <= 2; ++version) {
        int a = engine::OpenArchive(AutoId, Write("hand.data", HandPack(version)), kArchivePack);
        ASSERT_NE(a, 0);
        EXPECT_EQ(Listing(a), (std::vector<std::string>{"fake.1zlb", "run.aa", "hello.txt",
                                                        "empty.bin", "dir/x.kv"}));
        EXPECT_EQ(Read(a, "fake.1zlb", 24), StreamHeader(11, 8192));
        EXPECT_EQ(Read(a, "run.aa", 11), Bytes(11, 'A'));
        EXPECT_EQ(Read(a, "hello.txt", 5), Text("Hello"));
        EXPECT_EQ(engine::ReadArchiveEntry(a, nullptr, 0, "empty.bin"), 0);
        EXPECT_EQ(Read(a, "dir/x.kv", 3), Text("k=v"));
        EXPECT_EQ(Read(a, "x.kv", 3), Text("<failed>"));       // folder part is part of the name
        EXPECT_EQ(Read(a, "Hello.txt", 5), Text("<failed>"));  // case-sensitive
        EXPECT_EQ(Read(a, "HELLO.TXT", 5), Text("<failed>"));
        engine::CloseArchive(a);
    }
}

TEST_F(ArchiveTest, SmallBufferGivesMinusOneAndWritesNothing) {
    Bytes entry = Repetitive(20000);
    for (bool store : {true, false}) {
        int a = engine::OpenArchive(AutoId, MakePack({{"e", entry}}, 2, 3, store), kArchivePack);
        Bytes buffer(16000, 0xEE);
        EXPECT_EQ(engine::ReadArchiveEntry(a, buffer.data(), 16000, "e"), -1);
        EXPECT_EQ(buffer, Bytes(16000, 0xEE));
        Bytes exact(20000);
        EXPECT_EQ(engine::ReadArchiveEntry(a, exact.data(), 20000, "e"), 20000);
        EXPECT_EQ(exact, entry);
    }
}

// ---- Opening.

TEST_F(ArchiveTest, FailedOpenLeavesNoObject) {
    std::string good = MakePack({{"a", Text("a")}}, 2, 0);
    ASSERT_EQ(engine::OpenArchive(5, good, kArchivePack), 1);
    EXPECT_EQ(engine::OpenArchive(5, (dir_ / "missing.data").string(), kArchivePack), 0);
    EXPECT_EQ(engine::ListArchive(5), 0);  // the old object went too

    EXPECT_EQ(engine::OpenArchive(6, Write("bad.data", Text("3zlp....")), kArchivePack), 0);
    EXPECT_EQ(engine::OpenArchive(6, Write("short.data", Text("2zl")), kArchivePack), 0);
    EXPECT_EQ(engine::OpenArchive(6, good, 2), 0);                      // no such format
    EXPECT_EQ(engine::OpenArchive(6, good, kArchiveZip), 0);            // not a ZIP
    EXPECT_EQ(engine::OpenArchive(6, dir_.string(), kArchivePack), 0);  // a folder
    EXPECT_EQ(engine::ListArchive(6), 0);
    EXPECT_EQ(engine::OpenArchive(AutoId, (dir_ / "missing").string(), kArchivePack), 0);

    // Just the magic: an empty pack.
    int a = engine::OpenArchive(AutoId, Write("magic.data", Text("1zlp")), kArchivePack);
    ASSERT_NE(a, 0);
    EXPECT_EQ(Listing(a), std::vector<std::string>{});
    engine::CloseArchive(a);
    EXPECT_EQ(engine::ListArchive(a), 0);
}

// ---- Damaged packs.

TEST_F(ArchiveTest, TruncatedPackKeepsTheEntriesBeforeTheCut) {
    Bytes pack = HandPack(2);
    // Entry boundaries of HandPack(2): each entry ends after its data.
    for (size_t cut = 0; cut <= pack.size(); ++cut) {
        Bytes part(pack.begin(), pack.begin() + static_cast<std::ptrdiff_t>(cut));
        int a = engine::OpenArchive(AutoId, Write("cut.data", part), kArchivePack);
        if (cut < 4) {
            EXPECT_EQ(a, 0);
            continue;
        }
        ASSERT_NE(a, 0);
        std::vector<std::string> names = Listing(a);
        EXPECT_LE(names.size(), 5u);
        for (const std::string& name : names)
            EXPECT_NE(Read(a, name, 100), Text("<failed>"));
        if (cut == pack.size()) {
            EXPECT_EQ(names.size(), 5u);
        } else if (cut == pack.size() - 1) {
            EXPECT_EQ(names.size(), 4u);
        }
        engine::CloseArchive(a);
    }
}

TEST_F(ArchiveTest, BadDirectoryEntriesEndTheDirectory) {
    struct Case {
        const char* what;
        uint64_t stored;
        int16_t name_length;
    };
    const Case cases[] = {
        {"name length 0", 3, 0},
        {"name length -1", 3, -1},
        {"name past the end", 3, 200},
        {"stored size past the end", 4, 1},
        {"stored size 2^63", uint64_t{1} << 63, 1},
        {"stored size 2^64-1", ~uint64_t{0}, 1},
    };
    for (const Case& c : cases) {
        Bytes pack = {'1', 'z', 'l', 'p'};
        PutEntry(pack, 1, 2, 2, 4, "good", Text("ok"));
        PutEntry(pack, 1, 3, c.stored, c.name_length, "b", Text("bad"));
        int a = engine::OpenArchive(AutoId, Write("d.data", pack), kArchivePack);
        ASSERT_NE(a, 0) << c.what;
        EXPECT_EQ(Listing(a), std::vector<std::string>{"good"}) << c.what;
        EXPECT_EQ(Read(a, "good", 2), Text("ok")) << c.what;
        EXPECT_EQ(Read(a, "b", 100), Text("<failed>")) << c.what;
        engine::CloseArchive(a);
    }
}

TEST_F(ArchiveTest, CorruptStreamsGiveMinusOne) {
    Bytes good = StreamHeader(11, 8192);
    good.insert(good.end(), kRunBlock.begin(), kRunBlock.end());
    struct Case {
        const char* what;
        uint64_t unpacked;
        Bytes stream;
    };
    auto with_block = [](Bytes header, Bytes block) {
        header.insert(header.end(), block.begin(), block.end());
        return header;
    };
    const Case cases[] = {
        {"entry claims 2^63 bytes", uint64_t{1} << 63,
         with_block(StreamHeader(uint64_t{1} << 63, 8192), kRunBlock)},
        {"stream size differs from entry", 12, good},
        {"block size 0", 11, with_block(StreamHeader(11, 0), kRunBlock)},
        {"match before the start", 11, with_block(StreamHeader(11, 8192), {'A', 0, 0xA8, 1})},
        {"block cut short", 11, with_block(StreamHeader(11, 8192), {'A', 0, 0xA8})},
        {"no stream magic", 11, with_block(Text("2zlb0000"), Bytes(19, 0))},
        {"shorter than a stream header", 30, Text("1zlb")},
    };
    for (const Case& c : cases) {
        Bytes pack = {'2', 'z', 'l', 'p'};
        PutEntry(pack, 2, c.unpacked, c.stream.size(), 1, "e", c.stream);
        int a = engine::OpenArchive(AutoId, Write("c.data", pack), kArchivePack);
        ASSERT_NE(a, 0);
        Bytes buffer(4096, 0xEE);
        EXPECT_EQ(engine::ReadArchiveEntry(a, buffer.data(), 4096, "e"), -1) << c.what;
        const fs::path out = dir_ / "out.bin";
        EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "e"), -1) << c.what;
        EXPECT_FALSE(fs::exists(out)) << c.what;
        engine::CloseArchive(a);
    }
    // No temporary file was left behind by the failed extractions.
    for (const auto& f : fs::directory_iterator(dir_))
        EXPECT_EQ(f.path().filename(), "c.data");
}

// ---- ZIP.

struct ZipItem {
    std::string name;
    Bytes data;
    bool folder = false;
    std::string link;  // a symbolic link to this target when set
};

void WriteZip(const fs::path& path, const std::vector<ZipItem>& items,
              const char* options = nullptr) {
    archive* w = archive_write_new();
    ASSERT_EQ(archive_write_set_format_zip(w), ARCHIVE_OK);
    if (options) {
        ASSERT_EQ(archive_write_set_options(w, options), ARCHIVE_OK) << archive_error_string(w);
        archive_write_set_passphrase(w, "secret");
    }
    ASSERT_EQ(archive_write_open_filename(w, path.c_str()), ARCHIVE_OK);
    for (const ZipItem& item : items) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, item.name.c_str());
        archive_entry_set_filetype(e, item.folder          ? AE_IFDIR
                                      : !item.link.empty() ? AE_IFLNK
                                                           : AE_IFREG);
        archive_entry_set_perm(e, item.folder ? 0755 : 0644);
        if (!item.link.empty()) archive_entry_set_symlink(e, item.link.c_str());
        archive_entry_set_size(e, static_cast<la_int64_t>(item.data.size()));
        ASSERT_EQ(archive_write_header(w, e), ARCHIVE_OK) << archive_error_string(w);
        if (!item.data.empty()) {
            ASSERT_EQ(archive_write_data(w, item.data.data(), item.data.size()),
                      static_cast<la_ssize_t>(item.data.size()));
        }
        archive_entry_free(e);
    }
    archive_write_close(w);
    archive_write_free(w);
}

TEST_F(ArchiveTest, ZipListsAndReadsTheSameFilesAsAFolder) {
    const std::vector<ZipItem> files = {
        {"en.language", Text("[Texts]\ntMenuSTART=Play\n")},
        {"fr.language", Text("[Texts]\ntMenuSTART=Jouer\n")},
        {"ünï.language", Repetitive(50000)},
        {"en.flag", RandomBytes(12000, 4)},
        {"empty.language", {}},
    };
    const fs::path folder = dir_ / "languages";
    fs::create_directories(folder);
    for (const ZipItem& f : files)
        WriteFile(folder / f.name, f.data);
    const fs::path zip = dir_ / "Mnemora.languages";
    WriteZip(zip, files);

    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    std::map<std::string, Bytes> from_zip, from_folder;
    ASSERT_EQ(engine::ListArchive(a), 1);
    while (engine::NextArchiveEntry(a)) {
        EXPECT_EQ(engine::ArchiveEntryKind(a), 0);
        std::string name = engine::ArchiveEntryName(a);
        from_zip[name] = Read(a, "", 100000);
    }
    for (const auto& f : fs::directory_iterator(folder)) {
        from_folder[f.path().filename().string()] = ReadFile(f.path());
    }
    EXPECT_EQ(from_zip, from_folder);

    // By name, in any order, and again after a read: each read rescans.
    EXPECT_EQ(Read(a, "fr.language", 1000), files[1].data);
    EXPECT_EQ(Read(a, "ünï.language", 100000), files[2].data);
    EXPECT_EQ(Read(a, "fr.language", 1000), files[1].data);
    EXPECT_EQ(Read(a, "FR.language", 1000), Text("<failed>"));
    EXPECT_EQ(Read(a, "missing", 1000), Text("<failed>"));
    // A smaller buffer gets the first bytes.
    EXPECT_EQ(Read(a, "en.flag", 16000), files[3].data);
    EXPECT_EQ(Read(a, "en.flag", 100), Bytes(files[3].data.begin(), files[3].data.begin() + 100));

    const fs::path out = dir_ / "x.language";
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "ünï.language"), 50000);
    EXPECT_EQ(ReadFile(out), files[2].data);
}

TEST_F(ArchiveTest, ZipListingRestartsAndReadsTheCurrentEntryTwice) {
    const fs::path zip = dir_ / "z.zip";
    WriteZip(zip, {{"a", Text("alpha")}, {"b", Text("beta")}});
    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(Read(a, "", 100), Text("beta"));
    EXPECT_EQ(Read(a, "", 100), Text("beta"));
    EXPECT_EQ(Read(a, "a", 100), Text("alpha"));
    EXPECT_EQ(engine::ArchiveEntryName(a), "b");  // a read by name leaves the listing alone
    EXPECT_EQ(engine::ListArchive(a), 1);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryName(a), "a");
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::NextArchiveEntry(a), 0);
    EXPECT_EQ(engine::ArchiveEntryKind(a), -1);
    EXPECT_EQ(engine::ArchiveEntryName(a), "");
}

TEST_F(ArchiveTest, ZipFolderEntryIsListedButCannotBeRead) {
    const fs::path zip = dir_ / "f.zip";
    WriteZip(zip, {{"flags/", {}, true}, {"flags/en.flag", Text("png")}});
    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryKind(a), 1);
    EXPECT_EQ(Read(a, "", 100), Text("<failed>"));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, (dir_ / "out").string(), ""), -1);
    EXPECT_FALSE(fs::exists(dir_ / "out"));
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryKind(a), 0);
    EXPECT_EQ(Read(a, "flags/en.flag", 100), Text("png"));
}

TEST_F(ArchiveTest, EncryptedZipEntryIsRefused) {
    const fs::path zip = dir_ / "e.zip";
    WriteZip(zip, {{"secret.language", Text("hidden text, hidden text")}},
             "zip:encryption=zipcrypt");
    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    EXPECT_EQ(Read(a, "secret.language", 100), Text("<failed>"));
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(Read(a, "", 100), Text("<failed>"));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, (dir_ / "out").string(), "secret.language"), -1);
    EXPECT_FALSE(fs::exists(dir_ / "out"));
}

TEST_F(ArchiveTest, ZipEntryWithUnknownMethodIsRefused) {
    const fs::path zip = dir_ / "m.zip";
    WriteZip(zip, {{"odd.language", Repetitive(5000)}, {"fine.language", Text("ok")}});
    // Give the first entry method 77 in its local and its central header.
    Bytes bytes = ReadFile(zip);
    auto patch = [&bytes](uint8_t kind_a, uint8_t kind_b, size_t field) {
        for (size_t i = 0; i + field + 2 < bytes.size(); ++i) {
            if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == kind_a &&
                bytes[i + 3] == kind_b) {
                bytes[i + field] = 77;
                bytes[i + field + 1] = 0;
                return 1;
            }
        }
        return 0;
    };
    int patched = patch(3, 4, 8) + patch(1, 2, 10);
    ASSERT_EQ(patched, 2);
    WriteFile(zip, bytes);
    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    EXPECT_EQ(Read(a, "odd.language", 10000), Text("<failed>"));
    EXPECT_EQ(Read(a, "fine.language", 100), Text("ok"));
}

TEST_F(ArchiveTest, ZipLinkEntryIsListedAsOtherAndNeverRead) {
    const fs::path zip = dir_ / "l.zip";
    WriteZip(zip, {{"passwd.language", {}, false, "/etc/passwd"}, {"ok.language", Text("ok")}});
    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    ASSERT_EQ(engine::NextArchiveEntry(a), 1);
    EXPECT_EQ(engine::ArchiveEntryName(a), "passwd.language");
    EXPECT_EQ(engine::ArchiveEntryKind(a), 2);
    EXPECT_EQ(Read(a, "", 100), Text("<failed>"));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, (dir_ / "out").string(), "passwd.language"), -1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "out")));
    EXPECT_EQ(Read(a, "ok.language", 100), Text("ok"));
}

TEST_F(ArchiveTest, ExtractionStopsAtTheSizeCapWhateverTheHeaderSays) {
    const size_t big = 3 << 20;  // deflates to a few kilobytes
    const fs::path zip = dir_ / "bomb.zip";
    WriteZip(zip, {{"bomb.language", Bytes(big, 'a')}, {"small.language", Text("tiny")}});
    const fs::path out = dir_ / "out.language";
    auto only_the_archive_is_left = [&] {
        for (const auto& f : fs::directory_iterator(dir_))
            EXPECT_EQ(f.path().filename(), "bomb.zip");
    };

    int a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "bomb.language", 1 << 20), -1);
    only_the_archive_is_left();
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "bomb.language", big),
              static_cast<int64_t>(big));
    EXPECT_EQ(fs::file_size(out), big);
    fs::remove(out);
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "small.language", 4), 4);
    fs::remove(out);
    engine::CloseArchive(a);

    // The same entry claiming 3 bytes in its headers: the header check lets it
    // through, the count of unpacked bytes stops it and nothing is left.
    Bytes bytes = ReadFile(zip);
    const uint32_t claimed = static_cast<uint32_t>(big);
    int patched = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        uint32_t v = bytes[i] | bytes[i + 1] << 8 | bytes[i + 2] << 16 |
                     static_cast<uint32_t>(bytes[i + 3]) << 24;
        if (v != claimed) continue;
        bytes[i] = 3;
        bytes[i + 1] = bytes[i + 2] = bytes[i + 3] = 0;
        ++patched;
    }
    ASSERT_GE(patched, 2);
    WriteFile(zip, bytes);
    a = engine::OpenArchive(AutoId, zip.string(), kArchiveZip);
    ASSERT_NE(a, 0);
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "bomb.language", 1 << 20), -1);
    only_the_archive_is_left();
    engine::CloseArchive(a);
}

TEST_F(ArchiveTest, PackEntryOverTheCapIsNotExtracted) {
    const fs::path file = dir_ / "c.data";
    Bytes pack = Text("2zlp");
    PutEntry(pack, 2, 5000, 5000, 1, "e", Repetitive(5000));
    WriteFile(file, pack);
    int a = engine::OpenArchive(AutoId, file.string(), kArchivePack);
    ASSERT_NE(a, 0);
    const fs::path out = dir_ / "out";
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "e", 4999), -1);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(engine::ExtractArchiveEntry(a, out.string(), "e", 5000), 5000);
}

}  // namespace
