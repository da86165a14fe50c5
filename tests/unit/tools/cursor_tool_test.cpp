// mnemora-cursor: the cursor file it writes (header, directory entry, payload)
// and the inputs it refuses without touching its output.
#include <gtest/gtest.h>

#include "scratch_dir.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian32(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutBigEndian32(out, static_cast<uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian32(out, Crc32(typed.data(), typed.size()));
}

// The start of a PNG file of the given size: signature, IHDR (8-bit RGBA),
// an IDAT chunk and IEND. The tool reads only the header, so the image data
// need not decode.
Bytes MakePng(uint32_t width, uint32_t height) {
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    PutBigEndian32(ihdr, width);
    PutBigEndian32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    PutChunk(png, "IEND", Bytes{});
    return png;
}

uint32_t Le16(const Bytes& b, size_t at) {
    return b[at] | (uint32_t{b[at + 1]} << 8);
}
uint32_t Le32(const Bytes& b, size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class CursorTool : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* binary_dir = std::getenv("MNEMORA_BINARY_DIR");
        ASSERT_NE(binary_dir, nullptr);
        tool_ = fs::path(binary_dir) / "tools" / "cursor" / "mnemora-cursor";
        ASSERT_TRUE(fs::exists(tool_)) << tool_;
        dir_ = test_support::ScratchDir("mnemora_cursor_test_");
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the tool; true when it exits with status 0.
    bool Run(const std::string& args) {
        const std::string command =
            "'" + tool_.string() + "' " + args + " 2>'" + (dir_ / "stderr.txt").string() + "'";
        return std::system(command.c_str()) == 0;
    }
    std::string Path(const char* name) const { return "'" + (dir_ / name).string() + "'"; }

    fs::path tool_;
    fs::path dir_;
};

TEST_F(CursorTool, WritesOneCursorEntryWithHotspotAndThePngAsPayload) {
    const Bytes png = MakePng(32, 32);
    WriteAll(dir_ / "in.png", png);
    ASSERT_TRUE(Run(Path("out.cur") + " " + Path("in.png") + " 0 0"));

    const Bytes cur = ReadAll(dir_ / "out.cur");
    ASSERT_EQ(cur.size(), 22 + png.size());
    EXPECT_EQ(Le16(cur, 0), 0u);   // reserved
    EXPECT_EQ(Le16(cur, 2), 2u);   // type: cursor, not icon (1)
    EXPECT_EQ(Le16(cur, 4), 1u);   // one image
    EXPECT_EQ(cur[6], 32);         // width
    EXPECT_EQ(cur[7], 32);         // height
    EXPECT_EQ(cur[8], 0);          // no palette
    EXPECT_EQ(cur[9], 0);          // reserved
    EXPECT_EQ(Le16(cur, 10), 0u);  // hotspot x
    EXPECT_EQ(Le16(cur, 12), 0u);  // hotspot y
    EXPECT_EQ(Le32(cur, 14), png.size());
    EXPECT_EQ(Le32(cur, 18), 22u);
    EXPECT_TRUE(std::equal(png.begin(), png.end(), cur.begin() + 22));
    EXPECT_FALSE(fs::exists(dir_ / "out.cur.part"));
}

TEST_F(CursorTool, StoresSide256AsZeroAndHotspotLittleEndian) {
    WriteAll(dir_ / "in.png", MakePng(256, 48));
    ASSERT_TRUE(Run(Path("out.cur") + " " + Path("in.png") + " 255 47"));
    const Bytes cur = ReadAll(dir_ / "out.cur");
    ASSERT_GE(cur.size(), 22u);
    EXPECT_EQ(cur[6], 0);  // 256 is written as 0
    EXPECT_EQ(cur[7], 48);
    EXPECT_EQ(Le16(cur, 10), 255u);
    EXPECT_EQ(Le16(cur, 12), 47u);
}

TEST_F(CursorTool, RefusesBadInputAndLeavesTheOldOutputAlone) {
    WriteAll(dir_ / "in.png", MakePng(32, 32));
    WriteAll(dir_ / "big.png", MakePng(300, 32));
    Bytes damaged = MakePng(32, 32);
    damaged[20] ^= 0x01;  // height changed, IHDR CRC no longer matches
    WriteAll(dir_ / "damaged.png", damaged);
    WriteAll(dir_ / "text.png", Bytes{'h', 'e', 'l', 'l', 'o'});
    const Bytes old = {'o', 'l', 'd'};
    WriteAll(dir_ / "out.cur", old);

    const std::string out = Path("out.cur") + " ";
    const std::string in = Path("in.png");
    EXPECT_FALSE(Run(out + in + " 32 0")) << "hotspot x beyond the picture";
    EXPECT_FALSE(Run(out + in + " 0 32")) << "hotspot y beyond the picture";
    EXPECT_FALSE(Run(out + in + " -1 0")) << "negative hotspot";
    EXPECT_FALSE(Run(out + in + " 1x 0")) << "trailing garbage";
    EXPECT_FALSE(Run(out + in + " '' 0")) << "empty hotspot";
    EXPECT_FALSE(Run(out + in + " 0")) << "missing argument";
    EXPECT_FALSE(Run(out + Path("missing.png") + " 0 0"));
    EXPECT_FALSE(Run(out + Path("text.png") + " 0 0"));
    EXPECT_FALSE(Run(out + Path("big.png") + " 0 0"));
    EXPECT_FALSE(Run(out + Path("damaged.png") + " 0 0"));

    EXPECT_EQ(ReadAll(dir_ / "out.cur"), old);
    EXPECT_FALSE(fs::exists(dir_ / "out.cur.part"));
}

// The cursor the build ships: a 32 x 32 PNG cursor with its hotspot at the tip.
TEST(ShippedCursor, IsA32PixelPngCursorWithTheHotspotAtTheTip) {
    const char* game_dir = std::getenv("MNEMORA_GAME_DIR");
    ASSERT_NE(game_dir, nullptr);
    const fs::path path = fs::path(game_dir) / "Mnemora.pointer";
    if (!fs::exists(path)) GTEST_SKIP() << "no game data in this build";
    const Bytes cur = ReadAll(path);
    ASSERT_GT(cur.size(), 22u + 24u);
    EXPECT_EQ(Le16(cur, 2), 2u);
    EXPECT_EQ(Le16(cur, 4), 1u);
    EXPECT_EQ(cur[6], 32);
    EXPECT_EQ(cur[7], 32);
    EXPECT_EQ(Le16(cur, 10), 0u);
    EXPECT_EQ(Le16(cur, 12), 0u);
    EXPECT_EQ(Le32(cur, 14) + 22u, cur.size());
    EXPECT_EQ(Le32(cur, 18), 22u);
    const Bytes signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_TRUE(std::equal(signature.begin(), signature.end(), cur.begin() + 22));
}

}  // namespace
