// mnemora-pack as a user runs it: commands, output and exit status.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/object_table.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class PackToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("MNEMORA_BINARY_DIR");
        ASSERT_NE(bin, nullptr);
        tool_ = fs::path(bin) / "bin" / "mnemora-pack";
        ASSERT_TRUE(fs::exists(tool_)) << tool_;
        dir_ = test_support::ScratchDir("mnemora_pack_tool_");
        fs::create_directories(dir_ / "in" / "sub");
        Write("in/notes.txt", Text(std::string(5000, 'n') + "end of notes"));
        Write("in/sub/noise.bin", Noise(20000));
        Write("in/empty.dat", {});
    }
    void TearDown() override { fs::remove_all(dir_); }

    static Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
    static Bytes Noise(size_t n) {
        std::mt19937 rng(1);
        Bytes b(n);
        for (auto& x : b)
            x = static_cast<uint8_t>(rng());
        return b;
    }
    void Write(const std::string& name, const Bytes& b) {
        std::ofstream out(dir_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    Bytes Read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Slurp(const fs::path& p) {
        std::ifstream in(p);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // Runs the tool in the test folder with the given arguments (shell words).
    ToolRun Tool(const std::string& args) {
        std::string cmd = "cd '" + dir_.string() + "' && '" + tool_.string() + "' " + args +
                          " >stdout.txt 2>stderr.txt";
        int raw = std::system(cmd.c_str());
        ToolRun r;
        r.status = (raw >> 8) & 0xFF;  // exit status from the wait status
        r.out = Slurp(dir_ / "stdout.txt");
        r.err = Slurp(dir_ / "stderr.txt");
        return r;
    }

    fs::path tool_;
    fs::path dir_;
};

TEST_F(PackToolTest, CreateListExtractVerify) {
    for (const char* version : {"1", "2"}) {
        ToolRun c = Tool(std::string("create game.data --version ") + version +
                         " --level 3 in/notes.txt in/sub/noise.bin in/empty.dat");
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_EQ(Read("game.data")[0], version[0]);

        ToolRun l = Tool("list game.data");
        EXPECT_EQ(l.status, 0);
        std::istringstream lines(l.out);
        std::string notes, noise, empty;
        std::getline(lines, notes);
        std::getline(lines, noise);
        std::getline(lines, empty);
        EXPECT_EQ(notes.rfind("notes.txt\t5012\t", 0), 0u) << notes;
        EXPECT_LT(std::stoi(notes.substr(notes.rfind('\t') + 1)), 200);  // compressed
        EXPECT_EQ(noise, "noise.bin\t20000\t20000");                     // stored
        EXPECT_EQ(empty, "empty.dat\t0\t0");

        EXPECT_EQ(Tool("extract game.data notes.txt").status, 0);
        EXPECT_EQ(Read("notes.txt"), Read("in/notes.txt"));
        EXPECT_EQ(Tool("extract game.data noise.bin out.bin").status, 0);
        EXPECT_EQ(Read("out.bin"), Noise(20000));

        ToolRun v = Tool("verify game.data");
        EXPECT_EQ(v.status, 0) << v.err;
        EXPECT_NE(v.out.find("3 entries OK"), std::string::npos) << v.out;
    }
}

TEST_F(PackToolTest, StoreKeepsEntriesUncompressedAndTheEngineReadsThem) {
    ASSERT_EQ(Tool("create s.data --store in/notes.txt").status, 0);
    EXPECT_EQ(Tool("list s.data").out, "notes.txt\t5012\t5012\n");
    int a = engine::OpenArchive(engine::AutoId, (dir_ / "s.data").string(), engine::kArchivePack);
    Bytes buffer(5012);
    EXPECT_EQ(engine::ReadArchiveEntry(a, buffer.data(), 5012, "notes.txt"), 5012);
    EXPECT_EQ(buffer, Read("in/notes.txt"));
    engine::CloseArchive(a);
}

TEST_F(PackToolTest, VerifyNamesTheFirstDamagedEntry) {
    ASSERT_EQ(Tool("create g.data in/sub/noise.bin in/notes.txt").status, 0);
    Bytes pack = Read("g.data");
    // The last bytes are notes.txt's compressed stream: garble them, keeping
    // every size in the directory as it was.
    Bytes damaged = pack;
    for (size_t i = damaged.size() - 20; i < damaged.size(); ++i)
        damaged[i] = 0xFF;
    Write("bad.data", damaged);
    ToolRun v = Tool("verify bad.data");
    EXPECT_EQ(v.status, 1);
    EXPECT_NE(v.err.find("\"notes.txt\""), std::string::npos) << v.err;

    // A truncated pack: the directory ends early, and verify says where.
    Write("cut.data", Bytes(pack.begin(), pack.end() - 5));
    v = Tool("verify cut.data");
    EXPECT_EQ(v.status, 1);
    EXPECT_NE(v.err.find("after entry \"noise.bin\""), std::string::npos) << v.err;
}

TEST_F(PackToolTest, CommandLineErrorsExitTwo) {
    for (const char* args :
         {"", "frobnicate", "create", "create out.data", "create out.data --level 10 in/notes.txt",
          "create out.data --version 3 in/notes.txt", "create out.data --level",
          "create out.data --fast in/notes.txt", "list", "list a b", "extract p.data", "verify"}) {
        ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.data"));
    EXPECT_EQ(Tool("--help").status, 0);
}

TEST_F(PackToolTest, UnreadableInputIsOneLineAndExitOne) {
    Write("old.data", Text("keep me"));
    for (const char* args :
         {"create old.data in/notes.txt in/missing.txt", "create old.data in", "list missing.data",
          "verify in/notes.txt", "extract missing.data x"}) {
        ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    EXPECT_EQ(Read("old.data"), Text("keep me"));  // a failed create leaves the old pack

    ASSERT_EQ(Tool("create p.data in/notes.txt").status, 0);
    ToolRun r = Tool("extract p.data nothing.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "nothing.txt"));
    // Two inputs with the same file name would make two entries of one name.
    Write("notes.txt", Text("other"));
    r = Tool("create twice.data in/notes.txt notes.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "twice.data"));
}

}  // namespace
