#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/canvas.h"
#include "engine/canvas_internal.h"
#include "woff.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
        b.push_back(uint8_t(v >> s));
}
void Put16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}
uint32_t Tag(const char* t) {
    return (uint32_t(uint8_t(t[0])) << 24) | (uint32_t(uint8_t(t[1])) << 16) |
           (uint32_t(uint8_t(t[2])) << 8) | uint8_t(t[3]);
}
uint32_t Pad4(size_t n) {
    return uint32_t((n + 3) & ~size_t(3));
}

struct Table {
    const char* tag;
    Bytes data;
    bool compress;
};

// A WOFF file with the tables' data in the given order (the directory sorted by
// tag, as WOFF requires). Checksums are computed independently of the library.
Bytes MakeWoff(const std::vector<Table>& by_tag, const std::vector<int>& data_order) {
    uint32_t sum_size = 12 + 16 * uint32_t(by_tag.size());
    std::vector<Bytes> stored(by_tag.size());
    for (size_t i = 0; i < by_tag.size(); ++i) {
        sum_size += Pad4(by_tag[i].data.size());
        if (by_tag[i].compress) {
            uLongf n = compressBound(by_tag[i].data.size());
            stored[i].resize(n);
            compress2(stored[i].data(), &n, by_tag[i].data.data(), by_tag[i].data.size(), 9);
            stored[i].resize(n);
        } else {
            stored[i] = by_tag[i].data;
        }
    }
    Bytes body;
    std::vector<uint32_t> offsets(by_tag.size());
    const uint32_t data_start = 44 + 20 * uint32_t(by_tag.size());
    for (int i : data_order) {
        offsets[i] = data_start + uint32_t(body.size());
        body.insert(body.end(), stored[i].begin(), stored[i].end());
        while (body.size() % 4)
            body.push_back(0);
    }
    Bytes w;
    Put32(w, Tag("wOFF"));
    Put32(w, 0x00010000);
    Put32(w, data_start + uint32_t(body.size()));
    Put16(w, uint16_t(by_tag.size()));
    Put16(w, 0);
    Put32(w, sum_size);
    Put16(w, 1);
    Put16(w, 0);
    for (int i = 0; i < 5; ++i)
        Put32(w, 0);
    for (size_t i = 0; i < by_tag.size(); ++i) {
        const Bytes& d = by_tag[i].data;
        Bytes padded = d;
        while (padded.size() % 4)
            padded.push_back(0);
        uint32_t checksum = 0;
        for (size_t k = 0; k < padded.size(); k += 4)
            checksum += (uint32_t(padded[k]) << 24) | (uint32_t(padded[k + 1]) << 16) |
                        (uint32_t(padded[k + 2]) << 8) | padded[k + 3];
        if (std::string(by_tag[i].tag) == "head")
            checksum -=
                (uint32_t(d[8]) << 24) | (uint32_t(d[9]) << 16) | (uint32_t(d[10]) << 8) | d[11];
        Put32(w, Tag(by_tag[i].tag));
        Put32(w, offsets[i]);
        Put32(w, uint32_t(stored[i].size()));
        Put32(w, uint32_t(d.size()));
        Put32(w, checksum);
    }
    w.insert(w.end(), body.begin(), body.end());
    return w;
}

Bytes Repeated(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(seed + (i % 7));
    return b;
}

// Two tables: "cmap" stored as is (5 bytes, so it needs padding) and "glyf"
// compressed; in the file "glyf" comes first, as in many real fonts.
std::vector<Table> TwoTables() {
    return {{"cmap", {1, 2, 3, 4, 5}, false}, {"glyf", Repeated(200, 0x40), true}};
}

TEST(Woff2Ttf, RebuildsTheExactSfntBytes) {
    const std::vector<Table> tables = TwoTables();
    const Bytes woff = MakeWoff(tables, {1, 0});
    ASSERT_LT(woff.size(), 44u + 40u + 8u + 200u);  // the glyf table really is compressed

    Bytes expected;
    Put32(expected, 0x00010000);
    Put16(expected, 2);   // numTables
    Put16(expected, 32);  // searchRange = 2 * 16
    Put16(expected, 1);   // entrySelector = log2(2)
    Put16(expected, 0);   // rangeShift = 2 * 16 - 32
    const uint32_t glyf_at = 12 + 32, cmap_at = glyf_at + 200;
    Put32(expected, Tag("cmap"));
    Put32(expected, 0x01020304 + 0x05000000);
    Put32(expected, cmap_at);
    Put32(expected, 5);
    Put32(expected, Tag("glyf"));
    Put32(expected, woff::TableChecksum(tables[1].data.data(), 200));
    Put32(expected, glyf_at);
    Put32(expected, 200);
    expected.insert(expected.end(), tables[1].data.begin(), tables[1].data.end());
    expected.insert(expected.end(), {1, 2, 3, 4, 5, 0, 0, 0});

    Bytes sfnt;
    std::string error;
    ASSERT_TRUE(woff::WoffToSfnt(woff, sfnt, error)) << error;
    EXPECT_EQ(sfnt, expected);
}

TEST(Woff2Ttf, DirectoryFieldsForMoreTablesAndTheHeadChecksumRule) {
    std::vector<Table> tables;
    const char* tags[] = {"OS/2", "cmap", "glyf", "head", "hhea"};
    for (int i = 0; i < 5; ++i)
        tables.push_back({tags[i], Repeated(54 + i, uint8_t(i)), i % 2 == 1});
    Set32(tables[3].data, 8, 0x12345678);  // head.checkSumAdjustment is left out of its checksum
    Bytes sfnt;
    std::string error;
    ASSERT_TRUE(woff::WoffToSfnt(MakeWoff(tables, {4, 3, 2, 1, 0}), sfnt, error)) << error;
    EXPECT_EQ(sfnt[5], 5);
    EXPECT_EQ((sfnt[6] << 8) | sfnt[7], 64);  // searchRange
    EXPECT_EQ((sfnt[8] << 8) | sfnt[9], 2);   // entrySelector
    EXPECT_EQ((sfnt[10] << 8) | sfnt[11], 16);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(woff::FindTable(sfnt, tags[i]), tables[i].data) << tags[i];
    EXPECT_EQ(sfnt.size() % 4, 0u);
}

TEST(Woff2Ttf, RefusesDamagedFilesWithAReason) {
    const Bytes good = MakeWoff(TwoTables(), {0, 1});
    const size_t first = 44, second = 64;  // the two directory entries
    struct Damage {
        const char* what;
        void (*apply)(Bytes&);
    };
    const Damage cases[] = {
        {"signature", [](Bytes& w) { w[0] = 'x'; }},
        {"length", [](Bytes& w) { w.push_back(0); }},
        {"checksum", [](Bytes& w) { w[first + 16 + 3] ^= 1; }},
        {"stored bytes", [](Bytes& w) { w[44 + 40] ^= 0xFF; }},
        {"compressed bytes", [](Bytes& w) { w[w.size() - 6] ^= 0x55; }},
        {"orig length",
         [](Bytes& w) {
             w[second + 15] += 1;  // glyf claims 201 bytes; the sfnt size agrees
             Set32(w, 16, 256);
         }},
        {"comp length over orig", [](Bytes& w) { Set32(w, first + 8, 6); }},
        {"offset past end", [](Bytes& w) { Set32(w, second + 4, 0xFFFFFFF0u); }},
        {"tag order", [](Bytes& w) { Set32(w, second, Tag("aaaa")); }},
        {"sfnt size", [](Bytes& w) { w[19] += 4; }},
        {"no tables", [](Bytes& w) { w[13] = 0; }},
        {"directory past end", [](Bytes& w) { w[13] = 200; }},
        {"truncated", [](Bytes& w) { w.resize(30); }},
    };
    for (const Damage& d : cases) {
        Bytes w = good;
        d.apply(w);
        Bytes sfnt = {9};
        std::string error;
        EXPECT_FALSE(woff::WoffToSfnt(w, sfnt, error)) << d.what;
        EXPECT_FALSE(error.empty()) << d.what;
        EXPECT_TRUE(sfnt.empty()) << d.what;
    }
}

// The font the build converted from the Fontsource package: family name, the
// copyright line with its Reserved Font Name, and directory checksums that
// agree with the table data.
TEST(Woff2Ttf, TheGameFontIsTitanOne) {
    const char* dir = std::getenv("MNEMORA_BINARY_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/assets/font/TitanOne-Regular.ttf",
                     std::ios::binary);
    if (!in) GTEST_SKIP() << "font not built (MNEMORA_ASSETS off)";
    const Bytes sfnt((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(woff::NameRecord(sfnt, 1), "Titan One");
    EXPECT_NE(woff::NameRecord(sfnt, 0).find("Reserved Font Name \"Titan One\""),
              std::string::npos);
    const size_t count = (sfnt[4] << 8) | sfnt[5];
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* r = sfnt.data() + 12 + 16 * i;
        const char tag[5] = {char(r[0]), char(r[1]), char(r[2]), char(r[3]), 0};
        const Bytes table = woff::FindTable(sfnt, tag);
        uint32_t sum = woff::TableChecksum(table.data(), table.size());
        if (std::string(tag) == "head")
            sum -= (table[8] << 24) | (table[9] << 16) | (table[10] << 8) | table[11];
        EXPECT_EQ(sum, (uint32_t(r[4]) << 24) | (uint32_t(r[5]) << 16) | (r[6] << 8) | r[7]) << tag;
    }
}

// The game's face and its companion as the build makes them, installed in the
// game's order: a character the game's face lacks is measured and drawn from
// the companion, whose capitals stand as high as the game's own; a character
// in neither face is reported.
TEST(Woff2Ttf, MissingLettersComeFromTheCompanionFaceAtTheSameCapHeight) {
    const char* dir = std::getenv("MNEMORA_BINARY_DIR");
    const std::string fonts = std::string(dir ? dir : ".") + "/assets/font/";
    if (!std::ifstream(fonts + "MPlusRounded1c-Black.ttf")) GTEST_SKIP() << "fonts not built";
    engine::SetFontDpi(96);
    ASSERT_EQ(engine::InstallPrivateFont(fonts + "TitanOne-Regular.ttf"), 1);
    const int alone = engine::LoadFontFace(engine::AutoId, "Titan One", 40, 0);
    EXPECT_EQ(engine::FirstMissingCharacter(alone, "A\xD0\x96"), 0x416u);  // Cyrillic Zhe
    ASSERT_EQ(engine::InstallPrivateFont(fonts + "MPlusRounded1c-Black.ttf"), 1);
    const int font = engine::LoadFontFace(engine::AutoId, "Titan One", 40, 0);
    // Polish from the game's face, Turkish İ, Russian and Greek from the
    // companion; Armenian from neither.
    EXPECT_EQ(engine::FirstMissingCharacter(font,
                                            "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xC4\xB0ptal "
                                            "\xD0\xA0\xD1\x83\xD1\x81 \xCE\x95\xCE\xBB"),
              0u);
    EXPECT_EQ(engine::FirstMissingCharacter(font, "A\xD4\xB1"), 0x531u);

    // Rows of ink and width of a text drawn on a transparent buffer.
    auto draw = [&](const char* text, int* width) {
        const int w = 240, h = 90;
        std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4, 0);
        EXPECT_TRUE(engine::detail::BeginCanvasOnPixels({pixels.data(), w, h, w * 4}));
        engine::SetCanvasFont(engine::FontNativeHandle(font));
        engine::SetCanvasMode(0x11);
        *width = engine::MeasureTextWidth(text);
        EXPECT_EQ(engine::DrawCanvasText(4, 4, text), 4 + *width);
        engine::EndCanvas();
        int first = -1, last = -1;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (pixels[(static_cast<size_t>(y) * w + x) * 4 + 3] > 0) {
                    if (first < 0) first = y;
                    last = y;
                }
            }
        }
        return first < 0 ? 0 : last - first + 1;
    };
    int latinWidth = 0, cyrillicWidth = 0, bothWidth = 0;
    const int latin = draw("H", &latinWidth);
    const int cyrillic = draw("\xD0\x9D", &cyrillicWidth);  // Cyrillic En
    EXPECT_GT(latin, 20);
    EXPECT_NEAR(cyrillic, latin, 2);  // a row of anti-aliasing at either edge
    EXPECT_GT(cyrillicWidth, 0);
    draw("H\xD0\x9D", &bothWidth);
    EXPECT_NEAR(bothWidth, latinWidth + cyrillicWidth, 1);
}

}  // namespace
