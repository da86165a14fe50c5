// Clock, dates, the random generator, StringMap, RecordList, system figures.
#include "engine/system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

using namespace engine;

TEST(Clock, ElapsedMsIsMonotonicAndSleepWaits) {
    int64_t before = ElapsedMs();
    SleepMs(20);
    int64_t after = ElapsedMs();
    EXPECT_GE(after - before, 19);
    EXPECT_LT(after - before, 2000);
    SleepMs(0);
    SleepMs(-5);  // returns at once
}

TEST(Dates, DateValuesCountLocalFieldsAsIfUtc) {
    EXPECT_EQ(MakeDateTime(1970, 1, 1, 0, 0, 0), 0);
    EXPECT_EQ(MakeDateTime(2024, 3, 5, 7, 8, 9), 1709622489);
    EXPECT_EQ(MakeDateTime(2000, 2, 29, 23, 59, 59), 951868799);
    EXPECT_EQ(MakeDateTime(2038, 1, 19, 3, 14, 7), 2147483647);
    // Past 2038-01-19 03:14:07 in 64 bits, to the last second of a four-digit year.
    EXPECT_EQ(MakeDateTime(2038, 1, 19, 3, 14, 8), int64_t{2147483648});
    EXPECT_EQ(MakeDateTime(9999, 12, 31, 23, 59, 59), int64_t{253402300799});
    EXPECT_EQ(MakeDateTime(10000, 1, 1, 0, 0, 0), -1);
    EXPECT_EQ(FormatDateTime("%yyyy-%mm-%dd--%hh-%ii-%ss", MakeDateTime(2040, 2, 29, 13, 5, 9)),
              "2040-02-29--13-05-09");
    EXPECT_EQ(FormatDateTime("%dd-%mm-%yyyy %hh-%ii-%ss", MakeDateTime(9999, 12, 31, 23, 59, 59)),
              "31-12-9999 23-59-59");
    EXPECT_EQ(MakeDateTime(1969, 12, 31, 23, 59, 59), -1);
    EXPECT_EQ(MakeDateTime(2023, 2, 29, 0, 0, 0), -1);
    EXPECT_EQ(MakeDateTime(2024, 13, 1, 0, 0, 0), -1);
    EXPECT_EQ(MakeDateTime(2024, 1, 1, 24, 0, 0), -1);
    EXPECT_GT(CurrentDateTime(), MakeDateTime(2020, 1, 1, 0, 0, 0));
}

TEST(Dates, FormatDateTimeReplacesEachTokenWithItsField) {
    DateTime date = MakeDateTime(2024, 3, 5, 7, 8, 9);
    EXPECT_EQ(FormatDateTime("%yyyy-%mm-%dd--%hh-%ii-%ss", date), "2024-03-05--07-08-09");
    EXPECT_EQ(FormatDateTime("%dd-%mm-%yyyy %hh-%ii-%ss", date), "05-03-2024 07-08-09");
    EXPECT_EQ(FormatDateTime("%YYYY/%MM/%Dd %HH:%Ii:%sS", date), "2024/03/05 07:08:09");
    EXPECT_EQ(FormatDateTime("%yy|%y|%yyy", date), "24|%y|24y");  // "yy" wins over a lone "y"
    EXPECT_EQ(FormatDateTime("%x %Q 100% %", date), "%x %Q 100% %");
    EXPECT_EQ(FormatDateTime("%%dd", date), "%05");
    EXPECT_EQ(FormatDateTime("no tokens", date), "no tokens");
    EXPECT_EQ(FormatDateTime("%hh:%ii", MakeDateTime(2001, 12, 31, 23, 59, 58)), "23:59");
    EXPECT_EQ(FormatDateTime("%yy", MakeDateTime(2007, 1, 1, 0, 0, 0)), "07");
    EXPECT_EQ(FormatDateTime("%yyyy-%mm-%dd", -1), "");
    EXPECT_EQ(FormatDateTime("%yyyy-%mm-%dd", -12345), "");
}

// The expected words come from a separate implementation of the generator,
// written from its description outside this code base.
TEST(Random, FirstOutputsAfterASeedAreTheDescribedSequence) {
    const std::array<uint32_t, 8> seed0 = {0x8b910d61, 0xc8afe081, 0xa90e502f, 0x60ee47bf,
                                           0x3c73645b, 0x9ffdeb25, 0xa33d4e9c, 0x6bc86fb9};
    const std::array<uint32_t, 8> seed12345 = {0x47752d85, 0xb5e6cf88, 0xa995eec5, 0x575a51ee,
                                               0x95c327c3, 0x467cc489, 0x4d62a6bf, 0xb485ab8a};
    SeedRandom(0);
    for (uint32_t expected : seed0)
        EXPECT_EQ(RandomUpTo(0xFFFFFFFFu), expected);
    SeedRandom(12345);
    for (uint32_t expected : seed12345)
        EXPECT_EQ(RandomUpTo(0xFFFFFFFFu), expected);

    const std::array<uint32_t, 8> seed_deadbeef = {0x2aa86fca, 0x826ed709, 0x354f0ef5, 0x741cd390,
                                                   0x566606c4, 0xaf848765, 0xf1d3829c, 0x17dcbd35};
    SeedRandom(0xDEADBEEFu);
    for (uint32_t expected : seed_deadbeef)
        EXPECT_EQ(RandomUpTo(0xFFFFFFFFu), expected);
}

TEST(Random, RandomUpToScalesTheRawValue) {
    SeedRandom(12345);
    const std::array<uint32_t, 10> expected = {2, 7, 6, 3, 5, 2, 3, 7, 2, 8};
    for (uint32_t e : expected)
        EXPECT_EQ(RandomUpTo(9), e);

    SeedRandom(7);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(RandomUpTo(0), 0u);
    std::array<int, 3> seen{};
    for (int i = 0; i < 3000; ++i) {
        uint32_t r = RandomUpTo(2);
        ASSERT_LE(r, 2u);
        ++seen[r];
    }
    for (int count : seen)
        EXPECT_GT(count, 800);
}

TEST(Random, ShuffleArrayIsTheDescribedPermutationForAnyElementType) {
    SeedRandom(42);
    std::vector<int> deck(10);
    std::iota(deck.begin(), deck.end(), 0);
    ShuffleArray(deck);
    EXPECT_EQ(deck, (std::vector<int>{9, 3, 5, 7, 0, 4, 1, 8, 2, 6}));

    // Larger elements go through the same steps.
    struct Big {
        int id;
        char padding[40];
    };
    SeedRandom(42);
    std::vector<Big> bigs(10);
    for (int i = 0; i < 10; ++i)
        bigs[i].id = i;
    ShuffleArray(std::span<Big>(bigs));
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(bigs[i].id, deck[i]);

    std::vector<std::string> empty;
    ShuffleArray(empty);
    std::vector<std::string> one = {"x"};
    ShuffleArray(one);
    EXPECT_EQ(one[0], "x");
}

TEST(StringMap, HashIsOverUtf16CodeUnits) {
    EXPECT_EQ(StringMapHash(""), 0u);
    EXPECT_EQ(StringMapHash("a"), 97u);
    EXPECT_EQ(StringMapHash("ab"), 97u * 65599u + 98u);
    EXPECT_EQ(StringMapHash("é"), 0xE9u);  // one code unit, not two bytes
    // U+1F600 is the pair D83D DE00; the product wraps at 32 bits.
    EXPECT_EQ(StringMapHash("\U0001F600"), 0xD83Du * 65599u + 0xDE00u);
    EXPECT_EQ(StringMapHash("\U0001F600"), 3631420675u);
}

TEST(StringMap, IteratesBucketsInOrderAndEachChainFromItsHead) {
    // Buckets of 512: "ab" 65, "a" 97, "\u0261" (609) 97, "b" 98, U+1F600 259.
    StringMap<int> map(512);
    MapSlot(map, "b") = 1;
    MapSlot(map, "a") = 2;
    MapSlot(map, "\u0261") = 3;  // same bucket as "a", so it goes ahead of it
    MapSlot(map, "ab") = 4;
    MapSlot(map, "\U0001F600") = 5;
    EXPECT_EQ(map.Bucket("\u0261"), 97u);
    EXPECT_EQ(map.Bucket("\U0001F600"), 259u);

    std::vector<std::string> keys;
    std::vector<int> values;
    MapRewind(map);
    while (MapAdvance(map)) {
        keys.push_back(MapKey(map));
        values.push_back(MapValue(map));
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"ab", "\u0261", "a", "b", "\U0001F600"}));
    EXPECT_EQ(values, (std::vector<int>{4, 3, 2, 1, 5}));
    EXPECT_EQ(MapAdvance(map), 0);  // stays finished until rewound
    MapRewind(map);
    EXPECT_EQ(MapAdvance(map), 1);
    EXPECT_EQ(MapKey(map), "ab");
}

TEST(StringMap, SlotFindsOrAddsWithExactKeys) {
    StringMap<std::string> texts(512);
    EXPECT_EQ(MapSlot(texts, "tMenuSTART"), "");  // a missing key reads empty ...
    EXPECT_EQ(texts.Size(), 1u);                  // ... and is added
    MapSlot(texts, "tMenuSTART") = "Start";
    MapSlot(texts, "tmenustart") = "lower";  // keys are case-sensitive
    EXPECT_EQ(MapSlot(texts, "tMenuSTART"), "Start");
    EXPECT_EQ(texts.Size(), 2u);
    EXPECT_EQ(texts.Find("absent"), nullptr);

    MapRewind(texts);
    int visited = 0;
    while (MapAdvance(texts))
        ++visited;
    EXPECT_EQ(visited, 2);

    StringMap<int> empty(512);
    MapRewind(empty);
    EXPECT_EQ(MapAdvance(empty), 0);

    // Records as values, as for the language list.
    struct Record {
        std::string name, code;
    };
    StringMap<Record> languages(512);
    MapSlot(languages, "English").code = "en_GB";
    EXPECT_EQ(MapSlot(languages, "English").code, "en_GB");
}

TEST(RecordList, CursorOperations) {
    RecordList<std::string> list;
    EXPECT_EQ(list.Index(), -1);
    EXPECT_FALSE(list.First());
    EXPECT_EQ(list.Current(), nullptr);

    list.Add("a");
    list.Add("b");
    list.Add("c");  // each add goes after the current, which it becomes
    EXPECT_EQ(list.Size(), 3);
    EXPECT_EQ(list.Index(), 2);

    ASSERT_TRUE(list.Select(0));
    list.Add("a2");  // after "a"
    std::vector<std::string> order;
    list.Reset();
    while (list.Next())
        order.push_back(*list.Current());
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a2", "b", "c"}));
    EXPECT_EQ(list.Index(), -1);  // walked off the end

    EXPECT_FALSE(list.Select(4));
    EXPECT_EQ(list.Index(), -1);
    ASSERT_TRUE(list.Select(3));
    EXPECT_EQ(*list.Current(), "c");
    EXPECT_FALSE(list.Next());
    EXPECT_TRUE(list.Next());  // after the end, Next starts over like after a reset
    EXPECT_EQ(*list.Current(), "a");

    list.Clear();
    EXPECT_EQ(list.Size(), 0);
    EXPECT_EQ(list.Index(), -1);
}

TEST(SystemFigures, PlausibleValuesForTheLog) {
    std::string cpu = CpuBrandString();
    EXPECT_FALSE(cpu.empty());
    EXPECT_NE(cpu.front(), ' ');
    EXPECT_NE(cpu.front(), '\t');
    EXPECT_GE(ProcessorCount(0), 1);
    EXPECT_GE(ProcessorCount(1), 1);
    EXPECT_LE(ProcessorCount(1), ProcessorCount(0));
    EXPECT_GT(MemoryFigure(0), 0);
    EXPECT_GT(MemoryFigure(1), 0);
    EXPECT_LE(MemoryFigure(1), MemoryFigure(0));
    EXPECT_GT(MemoryFigure(2), 0);
    EXPECT_LE(MemoryFigure(3), MemoryFigure(2));
    EXPECT_GE(MemoryFigure(4), MemoryFigure(0));
    EXPECT_GT(MemoryFigure(6), 0);
    EXPECT_EQ(MemoryFigure(6) & (MemoryFigure(6) - 1), 0);  // a power of two
    EXPECT_GT(MemoryFigure(7), 0);
    EXPECT_EQ(MemoryFigure(8), 0);
    EXPECT_EQ(MemoryFigure(-1), 0);
#ifdef _WIN32
    // The kernel's own version, whatever the prefix or manifest claims: one of
    // the NT codes (Wine's prefix says Windows 7 or 10, as configured).
    EXPECT_NE(OsVersionCode(), 200);
    EXPECT_EQ(OsVersionCode() % 5, 0);
#else
    EXPECT_EQ(OsVersionCode(), 200);
#endif
}

TEST(SystemFigures, OneNominalDesktopWithoutTheDisplayService) {
    ASSERT_EQ(CountDesktops(), 1);
    EXPECT_EQ(DesktopPixelWidth(0), 1920);
    EXPECT_EQ(DesktopPixelHeight(0), 1080);
    EXPECT_EQ(DesktopPixelWidth(1), 0);
    EXPECT_EQ(DesktopPixelHeight(-1), 0);
}

}  // namespace
