// The BriefLZ codec: round trips through our encoder, hand-encoded blocks read
// the way the block format defines them, and corrupt input refused cleanly.
#include "brieflz_encode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using engine::blz::DecodeBlock;
using engine::blz::DecodeStream;
using engine::blz::Encoder;
using Bytes = std::vector<uint8_t>;

Bytes RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

// Text-like data with repeats at every distance, so matches of many lengths
// and offsets (including ones above 256) appear.
Bytes Mixed(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        switch (rng() % 4) {
            case 0:
                b.insert(b.end(), 1 + rng() % 40, static_cast<uint8_t>(rng()));
                break;
            case 1:
                for (int i = 0; i < 20; ++i)
                    b.push_back(static_cast<uint8_t>('a' + rng() % 26));
                break;
            default:
                if (b.size() > 10) {
                    size_t from = rng() % b.size(), len = 4 + rng() % 300;
                    for (size_t i = 0; i < len; ++i)
                        b.push_back(b[from + i]);
                }
        }
    }
    b.resize(n);
    return b;
}

Bytes Decode(const Bytes& stream, size_t capacity) {
    Bytes out(capacity);
    int64_t n = DecodeStream(stream.data(), stream.size(), out.data(), out.size());
    if (n < 0) return {'F', 'A', 'I', 'L'};
    out.resize(static_cast<size_t>(n));
    return out;
}

TEST(BriefLz, RoundTripsEveryLevelAndShape) {
    std::vector<Bytes> inputs = {
        {},
        {42},
        Bytes(5, 'x'),
        Bytes(100000, 0),       // one long run
        RandomBytes(70000, 1),  // incompressible, several small blocks
        Mixed(1100000, 2),      // more than the largest block
        Mixed(8193, 3),         // one byte past the smallest block
    };
    for (int level = 0; level <= 9; ++level) {
        Encoder encoder(level);
        for (const Bytes& in : inputs) {
            Bytes stream = encoder.EncodeStream(in.data(), in.size());
            EXPECT_EQ(Decode(stream, in.size()), in) << "level " << level << " size " << in.size();
        }
    }
}

TEST(BriefLz, HigherLevelsCompressRepetitiveDataWell) {
    Bytes in = Mixed(600000, 4);
    size_t low = Encoder(0).EncodeStream(in.data(), in.size()).size();
    size_t high = Encoder(9).EncodeStream(in.data(), in.size()).size();
    EXPECT_LT(high, low);
    EXPECT_LT(high, in.size() / 3);
    Bytes run(1 << 20, 'z');
    EXPECT_LT(Encoder(9).EncodeStream(run.data(), run.size()).size(), 200u);
}

TEST(BriefLz, StreamHeaderLayout) {
    Bytes in = Mixed(40000, 5);
    Bytes s = Encoder(1).EncodeStream(in.data(), in.size());
    ASSERT_GE(s.size(), 24u);
    EXPECT_EQ(std::string(s.begin(), s.begin() + 4), "1zlb");
    EXPECT_EQ(Bytes(s.begin() + 4, s.begin() + 8), Bytes(4, 0));  // written as zeros
    uint64_t unpacked = 0, block = 0;
    std::memcpy(&unpacked, s.data() + 8, 8);
    std::memcpy(&block, s.data() + 16, 8);
    EXPECT_EQ(unpacked, 40000u);
    EXPECT_EQ(block, 32768u);
    EXPECT_EQ(engine::blz::BlockSizeForLevel(0), 8192u);
    EXPECT_EQ(engine::blz::BlockSizeForLevel(7), 786432u);
    EXPECT_EQ(engine::blz::BlockSizeForLevel(9), 1048576u);
}

// ---- Hand-encoded blocks.

TEST(BriefLz, AllLiteralBlockCopiesItsBytes) {
    // 'H', then a tag of 16 zero bits, 16 literals, a second zero tag, 2 more.
    Bytes block = {'H', 0, 0};
    std::string text = "ello, world! abcdefgh";
    for (size_t i = 0; i < 16; ++i)
        block.push_back(static_cast<uint8_t>(text[i]));
    block.insert(block.end(), {0, 0});
    for (size_t i = 16; i < 18; ++i)
        block.push_back(static_cast<uint8_t>(text[i]));
    Bytes out(19);
    EXPECT_EQ(DecodeBlock(block.data(), block.size(), out.data(), out.size()),
              static_cast<int64_t>(block.size()));
    EXPECT_EQ(std::string(out.begin(), out.end()), "H" + text.substr(0, 18));
}

// 'A', then control bits 1 | 01 01 00 (gamma 8: length 10) | 00 (gamma 2),
// offset byte 0: offset 1. Tag 1010 1000 0000 0000 = 0xA800, little-endian.
const Bytes kRunBlock = {'A', 0x00, 0xA8, 0x00};

TEST(BriefLz, OffsetOneLengthTenRepeatsThePreviousByte) {
    Bytes out(11);
    EXPECT_EQ(DecodeBlock(kRunBlock.data(), kRunBlock.size(), out.data(), out.size()), 4);
    EXPECT_EQ(out, Bytes(11, 'A'));
}

TEST(BriefLz, MatchesOverlappingTheirSourceAtEverySmallOffset) {
    // "abcdefghijk" then a match of length 40 at each offset 1..11.
    for (int offset = 1; offset <= 11; ++offset) {
        Bytes in;
        for (int i = 0; i < 11; ++i)
            in.push_back(static_cast<uint8_t>('a' + i));
        for (int i = 0; i < 40; ++i)
            in.push_back(in[in.size() - offset]);
        Bytes s = Encoder(5).EncodeStream(in.data(), in.size());
        EXPECT_EQ(Decode(s, in.size()), in) << offset;
    }
}

// ---- Corrupt input.

TEST(BriefLz, MatchBeforeTheStartOfTheBlockIsRefused) {
    // Same as kRunBlock but offset byte 1: offset 2, with one byte written.
    Bytes block = {'A', 0x00, 0xA8, 0x01};
    Bytes out(11, 0xEE);
    EXPECT_EQ(DecodeBlock(block.data(), block.size(), out.data(), out.size()), -1);
}

TEST(BriefLz, MatchRunningPastTheEndIsRefused) {
    Bytes out(10, 0xEE);
    EXPECT_EQ(DecodeBlock(kRunBlock.data(), kRunBlock.size(), out.data(), 10), -1);
}

TEST(BriefLz, TruncatedInputIsRefusedAtEveryLength) {
    Bytes in = Mixed(30000, 6);
    Bytes s = Encoder(3).EncodeStream(in.data(), in.size());
    Bytes out(in.size());
    for (size_t cut = 0; cut < s.size(); cut += 1 + cut / 50) {
        EXPECT_EQ(DecodeStream(s.data(), cut, out.data(), out.size()), -1) << cut;
    }
}

TEST(BriefLz, HugeGammaIsRefused) {
    // A match whose length gamma never ends: all control bits 1.
    Bytes block = {'A'};
    for (int i = 0; i < 64; ++i)
        block.push_back(0xFF);
    Bytes out(1000);
    EXPECT_EQ(DecodeBlock(block.data(), block.size(), out.data(), out.size()), -1);
}

Bytes StreamHeader(uint64_t unpacked, uint64_t block) {
    Bytes s = {'1', 'z', 'l', 'b', 0, 0, 0, 0};
    for (int i = 0; i < 8; ++i)
        s.push_back(static_cast<uint8_t>(unpacked >> (8 * i)));
    for (int i = 0; i < 8; ++i)
        s.push_back(static_cast<uint8_t>(block >> (8 * i)));
    return s;
}

TEST(BriefLz, StreamHeaderChecks) {
    Bytes s = StreamHeader(11, 8192);
    s.insert(s.end(), kRunBlock.begin(), kRunBlock.end());
    EXPECT_EQ(Decode(s, 11), Bytes(11, 'A'));

    Bytes out(11, 0xEE);
    EXPECT_EQ(DecodeStream(s.data(), s.size(), out.data(), 10), -1);  // too small
    EXPECT_EQ(out, Bytes(11, 0xEE));                                  // nothing written

    Bytes zero_block = StreamHeader(11, 0);
    zero_block.insert(zero_block.end(), kRunBlock.begin(), kRunBlock.end());
    EXPECT_EQ(DecodeStream(zero_block.data(), zero_block.size(), out.data(), 11), -1);

    Bytes huge_block = StreamHeader(11, uint64_t{1} << 40);
    huge_block.insert(huge_block.end(), kRunBlock.begin(), kRunBlock.end());
    EXPECT_EQ(DecodeStream(huge_block.data(), huge_block.size(), out.data(), 11), -1);

    Bytes claims_2_63 = StreamHeader(uint64_t{1} << 63, 8192);
    claims_2_63.insert(claims_2_63.end(), kRunBlock.begin(), kRunBlock.end());
    EXPECT_EQ(DecodeStream(claims_2_63.data(), claims_2_63.size(), out.data(), 11), -1);

    Bytes bad_magic = s;
    bad_magic[3] = 'p';
    EXPECT_EQ(DecodeStream(bad_magic.data(), bad_magic.size(), out.data(), 11), -1);
    EXPECT_EQ(DecodeStream(s.data(), 23, out.data(), 11), -1);
}

TEST(BriefLz, BlocksCannotReachIntoThePreviousBlock) {
    // Two 11-byte blocks; the second starts with a literal and then a match
    // at offset 2 that would only be valid across the block boundary.
    Bytes s = StreamHeader(22, 11);
    s.insert(s.end(), kRunBlock.begin(), kRunBlock.end());
    s.insert(s.end(), {'B', 0x00, 0xA8, 0x01});
    Bytes out(22);
    EXPECT_EQ(DecodeStream(s.data(), s.size(), out.data(), out.size()), -1);
}

TEST(BriefLz, RandomCorruptionNeverEscapesTheOutput) {
    Bytes in = Mixed(20000, 7);
    Bytes s = Encoder(4).EncodeStream(in.data(), in.size());
    std::mt19937 rng(8);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes bad = s;
        for (int k = 0; k < 3; ++k)
            bad[24 + rng() % (bad.size() - 24)] ^= 1 << (rng() % 8);
        // A guard zone around the output catches any stray write.
        Bytes out(in.size() + 64, 0xCD);
        int64_t n = DecodeStream(bad.data(), bad.size(), out.data() + 32, in.size());
        EXPECT_TRUE(n == -1 || n == static_cast<int64_t>(in.size()));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 32), Bytes(32, 0xCD));
        EXPECT_EQ(Bytes(out.end() - 32, out.end()), Bytes(32, 0xCD));
    }
}

}  // namespace
