// The help text markup, drawn through a fake canvas: every character is 10
// pixels wide, and each drawn piece is recorded with its place and colour.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/ui.h"

namespace {

constexpr uint32_t kGreen = 1;
constexpr uint32_t kOrange = 2;
constexpr int32_t kLine = 48;

struct Piece {
    int32_t x, y;
    std::string text;
    uint32_t colour;
    bool operator==(const Piece& o) const {
        return x == o.x && y == o.y && text == o.text && colour == o.colour;
    }
};

std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << "{" << p.x << ", " << p.y << ", \"" << p.text << "\", "
              << (p.colour == kGreen    ? "green"
                  : p.colour == kOrange ? "orange"
                                        : "?")
              << "}";
}

struct Recorder {
    std::vector<Piece> pieces;
    int32_t lastY = 0;
    ui::MarkupTarget target() {
        return {[](const std::string& s) { return static_cast<int32_t>(s.size()) * 10; },
                [this](int32_t x, int32_t y, const std::string& s, uint32_t colour) {
                    pieces.push_back({x, y, s, colour});
                    return x + static_cast<int32_t>(s.size()) * 10;
                }};
    }
    std::vector<Piece> Draw(const std::string& text, int32_t right = 1000) {
        pieces.clear();
        lastY = ui::DrawMarkupText(target(), 40, 180, right, kLine, text, kGreen, kOrange);
        return pieces;
    }
};

using Pieces = std::vector<Piece>;

TEST(MarkupText, HighlightsWordsAndPassagesAndSwitchesBack) {
    Recorder r;
    // A highlighted word between two plain words; the highlight ends with the
    // word, so the next word is green again.
    EXPECT_EQ(
        r.Draw("aa c{bb} cc"),
        (Pieces{{40, 180, "aa ", kGreen}, {70, 180, "bb ", kOrange}, {100, 180, "cc ", kGreen}}));
    // A passage over two words.
    EXPECT_EQ(
        r.Draw("c{aa bb} cc"),
        (Pieces{{40, 180, "aa ", kOrange}, {70, 180, "bb ", kOrange}, {100, 180, "cc ", kGreen}}));
    // "c{" and "}" inside one word: green, orange, green, one blank at the end.
    EXPECT_EQ(r.Draw("abc{cd}ef gh"), (Pieces{{40, 180, "ab", kGreen},
                                              {60, 180, "cd", kOrange},
                                              {80, 180, "ef ", kGreen},
                                              {110, 180, "gh ", kGreen}}));
    // Only one "c{" and the last "}" count per word: the inner markers stay text.
    EXPECT_EQ(
        r.Draw("ac{b}cc{d} e"),
        (Pieces{{40, 180, "a", kGreen}, {50, 180, "b}cc{d ", kOrange}, {120, 180, "e ", kGreen}}));
}

TEST(MarkupText, LineBreakWordsMoveDownByTheirCount) {
    Recorder r;
    EXPECT_EQ(r.Draw("aaa n{0} b"), (Pieces{{40, 180, "aaa ", kGreen}, {40, 180, "b ", kGreen}}));
    EXPECT_EQ(r.Draw("aaa n{1} b"),
              (Pieces{{40, 180, "aaa ", kGreen}, {40, 180 + kLine, "b ", kGreen}}));
    EXPECT_EQ(r.Draw("aaa n{2} b"),
              (Pieces{{40, 180, "aaa ", kGreen}, {40, 180 + 2 * kLine, "b ", kGreen}}));
    EXPECT_EQ(r.lastY, 180 + 2 * kLine);
    // Without its closing "}" the word is plain text.
    EXPECT_EQ(
        r.Draw("a n{12 b"),
        (Pieces{{40, 180, "a ", kGreen}, {60, 180, "n{12 ", kGreen}, {110, 180, "b ", kGreen}}));
    // A break in the middle of a highlighted passage keeps the colour.
    EXPECT_EQ(r.Draw("c{a n{1} b}"),
              (Pieces{{40, 180, "a ", kOrange}, {40, 180 + kLine, "b ", kOrange}}));
}

TEST(MarkupText, BlanksAndWrapping) {
    Recorder r;
    // Two blanks in a row: the empty word between them is drawn as one blank.
    EXPECT_EQ(r.Draw("aa  bb"),
              (Pieces{{40, 180, "aa ", kGreen}, {70, 180, " ", kGreen}, {80, 180, "bb ", kGreen}}));
    // The wrap test leaves the trailing blank out: "bb" ends exactly on the limit.
    EXPECT_EQ(r.Draw("aa bb", 90), (Pieces{{40, 180, "aa ", kGreen}, {70, 180, "bb ", kGreen}}));
    EXPECT_EQ(r.Draw("aa bb", 89),
              (Pieces{{40, 180, "aa ", kGreen}, {40, 180 + kLine, "bb ", kGreen}}));
    // Markers are not measured.
    EXPECT_EQ(r.Draw("aa c{bb}", 90),
              (Pieces{{40, 180, "aa ", kGreen}, {70, 180, "bb ", kOrange}}));
    // A word wider than the line wraps once and overflows; the next word wraps again.
    EXPECT_EQ(r.Draw("aa bbbbbbbbbbbb cc", 100), (Pieces{{40, 180, "aa ", kGreen},
                                                         {40, 228, "bbbbbbbbbbbb ", kGreen},
                                                         {40, 276, "cc ", kGreen}}));
    EXPECT_EQ(r.lastY, 276);
    // Empty text draws one blank and stays on the first line.
    EXPECT_EQ(r.Draw(""), (Pieces{{40, 180, " ", kGreen}}));
    EXPECT_EQ(r.lastY, 180);
}

TEST(MarkupText, SplitMessageTakesTwoFields) {
    using Lines = std::pair<std::string, std::string>;
    EXPECT_EQ(ui::SplitMessage("one|two"), (Lines{"one", "two"}));
    EXPECT_EQ(ui::SplitMessage("one|two|three"), (Lines{"one", "two"}));
    EXPECT_EQ(ui::SplitMessage("only"), (Lines{"only", ""}));
    EXPECT_EQ(ui::SplitMessage("|two"), (Lines{"", "two"}));
    EXPECT_EQ(ui::SplitMessage(""), (Lines{"", ""}));
}

}  // namespace
