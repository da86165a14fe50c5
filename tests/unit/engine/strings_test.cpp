// The string operations: UTF-16 lengths and positions over UTF-8 text,
// number formatting and parsing, upper case.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/system.h"

namespace {

using namespace engine;

TEST(Strings, LengthsAndPositionsCountUtf16CodeUnits) {
    EXPECT_EQ(TextLength(""), 0);
    EXPECT_EQ(TextLength("abc"), 3);
    EXPECT_EQ(TextLength("Français"), 8);      // ç is one unit, two bytes
    EXPECT_EQ(TextLength("a\U0001F600b"), 4);  // a surrogate pair is two
    EXPECT_EQ(TextLength("\xFF\xFE"), 2);      // each bad byte is one U+FFFD
    EXPECT_EQ(LeftPart("Français", 5), "Franç");
    EXPECT_EQ(RightPart("Français", 3), "ais");
    EXPECT_EQ(LeftPart("abc", 10), "abc");
    EXPECT_EQ(LeftPart("abc", -1), "");
    EXPECT_EQ(RightPart("abc", 0), "");
    EXPECT_EQ(LeftPart("a\U0001F600", 2), "a\uFFFD");  // half a pair is no character
    EXPECT_EQ(Substring("Français", 5, 2), "ça");
    EXPECT_EQ(Substring("abc", 4, 1), "");
    EXPECT_EQ(Substring("abc", 0, 2), "ab");
    EXPECT_EQ(Substring("abcdef", 3, -1), "cdef");
    EXPECT_EQ(FindSubstring("déjà vu déjà", "déjà", 1), 1);
    EXPECT_EQ(FindSubstring("déjà vu déjà", "déjà", 2), 9);
    EXPECT_EQ(FindSubstring("abc", "", 1), 0);
    EXPECT_EQ(FindSubstring("", "a", 1), 0);
    EXPECT_EQ(FindSubstring("abc", "c", 9), 0);
    EXPECT_EQ(FindSubstring("abc", "d", 1), 0);
}

TEST(Strings, ReplaceCountRemoveAndSplit) {
    EXPECT_EQ(ReplaceAll("en-GB", "-", "_"), "en_GB");
    EXPECT_EQ(ReplaceAll("sr-Latn-RS", "-", "_"), "sr_Latn_RS");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");  // left to right, no overlap
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("a.b", ".", ".."), "a..b");  // no rescanning of the replacement
    EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2);
    EXPECT_EQ(CountOccurrences("abc", ""), 0);
    EXPECT_EQ(RemoveAll("<b>bold</b>", "<b>"), "bold</b>");
    EXPECT_EQ(SplitField("1280x720", 1, "x"), "1280");
    EXPECT_EQ(SplitField("1280x720", 2, "x"), "720");
    EXPECT_EQ(SplitField("1280x720", 3, "x"), "");
    EXPECT_EQ(SplitField("1280x720", 0, "x"), "");
    EXPECT_EQ(SplitField("a||b", 2, "|"), "");
    EXPECT_EQ(SplitField("a||b", 3, "|"), "b");
    EXPECT_EQ(SplitField("a<>b<>c", 3, "<>"), "c");
    EXPECT_EQ(SplitField("abc", 1, ""), "abc");
}

TEST(Strings, UpperCaseMapsLatinLettersOneToOne) {
    EXPECT_EQ(UpperCase("/log"), "/LOG");
    EXPECT_EQ(UpperCase("Français"), "FRANÇAIS");
    EXPECT_EQ(UpperCase("àéîõüýþ"), "ÀÉÎÕÜÝÞ");
    EXPECT_EQ(UpperCase("÷×"), "÷×");          // signs, not letters
    EXPECT_EQ(UpperCase("straße"), "STRAßE");  // no one-letter capital exists
    EXPECT_EQ(UpperCase("ÿ"), "Ÿ");
    EXPECT_EQ(UpperCase("łódź žluťoučký ŋ ő"), "ŁÓDŹ ŽLUŤOUČKÝ Ŋ Ő");
    EXPECT_EQ(UpperCase("ı ĸ ŉ"), "I ĸ ŉ");
    EXPECT_EQ(UpperCase("ĀāĹĺ"), "ĀĀĹĹ");
    EXPECT_EQ(UpperCase("αβγ ς привет ё"), "ΑΒΓ Σ ПРИВЕТ Ё");
    EXPECT_EQ(UpperCase("Ελληνικά ώρα ΐ"), "ΕΛΛΗΝΙΚΑ ΩΡΑ Ϊ");  // capitals without tonos
    EXPECT_EQ(UpperCase("Українська ґ"), "УКРАЇНСЬКА Ґ");
    EXPECT_EQ(UpperCase("a\xFF"), "A\uFFFD");
}

TEST(Strings, PaddingBlanksAndIntegers) {
    EXPECT_EQ(PadLeft(IntToText(7), 2, "0"), "07");
    EXPECT_EQ(PadLeft("123", 2, "0"), "12");
    EXPECT_EQ(PadLeft("ab", 2, "0"), "ab");
    EXPECT_EQ(PadLeft("é", 3, ""), "  é");
    EXPECT_EQ(PadLeft("x", 0, "0"), "");
    EXPECT_EQ(Blanks(3), "   ");
    EXPECT_EQ(Blanks(-2), "");
    EXPECT_EQ(IntToText(-42), "-42");
    EXPECT_EQ(IntToText(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
}

TEST(Strings, RealToTextRoundsHalfAwayFromZero) {
    EXPECT_EQ(RealToText(1.5, 2), "1.50");
    EXPECT_EQ(RealToText(4.0 / 3.0, 2), "1.33");
    EXPECT_EQ(RealToText(16.0 / 9.0, 2), "1.78");
    EXPECT_EQ(RealToText(1920.0 / 1080.0, 2), "1.78");
    EXPECT_EQ(RealToText(2560.0 / 1080.0, 2), "2.37");
    EXPECT_EQ(RealToText(0.125, 2), "0.13");  // an exact tie goes up, not to even
    EXPECT_EQ(RealToText(-0.125, 2), "-0.13");
    EXPECT_EQ(RealToText(2.5, 0), "3");
    EXPECT_EQ(RealToText(9.995, 2), "9.99");  // 9.995 is stored just below the tie
    EXPECT_EQ(RealToText(9.9951, 2), "10.00");
    EXPECT_EQ(RealToText(-0.001, 2), "0.00");
    EXPECT_EQ(RealToText(0.1, -1), "0.1");
    EXPECT_EQ(RealToText(2.0, -1), "2");
    EXPECT_EQ(RealToText(1.0 / 3.0, -1), "0.3333333333");
    EXPECT_EQ(RealToText(1e20, 1), "100000000000000000000.0");
    EXPECT_EQ(RealToText(INFINITY, 2), "+Infinity");
    EXPECT_EQ(RealToText(-INFINITY, 2), "-Infinity");
    EXPECT_EQ(RealToText(NAN, 2), "NaN");
    EXPECT_EQ(RealToText(1.0, 600).size(), 2u + 512u);  // decimals capped at 512
    EXPECT_EQ(RealToText(std::numeric_limits<double>::max(), 0).size(), 309u);
    EXPECT_EQ(RealToText(std::numeric_limits<double>::denorm_min(), 300),
              "0." + std::string(300, '0'));
}

TEST(Strings, TextToIntReadsDecimalHexAndBinary) {
    EXPECT_EQ(TextToInt("1280"), 1280);
    EXPECT_EQ(TextToInt("  -42abc"), -42);
    EXPECT_EQ(TextToInt("\t+7"), 7);
    EXPECT_EQ(TextToInt("$ff"), 255);
    EXPECT_EQ(TextToInt("$1G"), 1);
    EXPECT_EQ(TextToInt("%1011"), 11);
    EXPECT_EQ(TextToInt("-$10"), -16);
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("-"), 0);
    EXPECT_EQ(TextToInt("99999999999999999999999"), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(TextToInt("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TextToInt("-99999999999999999999"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(TextToInt("$FFFFFFFFFFFFFFFF"), -1);
}

TEST(Strings, Utf8RoundTripAndRepair) {
    std::string text = "Grüße \U0001F600 ĳ";
    EXPECT_EQ(FromUtf16(ToUtf16(text)), text);
    // Overlong, surrogate, truncated and stray bytes each become U+FFFD.
    EXPECT_EQ(FromUtf16(ToUtf16("\xC0\xAF")), "\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf16(ToUtf16("\xED\xA0\x80")), "\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf16(ToUtf16("a\xE2\x82")), "a\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf16(ToUtf16("\x80z")), "\uFFFDz");
    EXPECT_EQ(EncodeUtf8(0xE9), "é");
    EXPECT_EQ(EncodeUtf8(0xD800), "\uFFFD");
}

}  // namespace
