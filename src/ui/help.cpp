// The help screen and its text markup.
//
// The help text is one translated string with a tiny markup: a word "n{N}"
// continues N lines further down, "c{" switches the highlight colour on and "}"
// switches it off. Lines wrap at word boundaries. The text is drawn once, onto
// the panel picture, when the screen is built.
#include <algorithm>
#include <limits>

#include "app/state.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "ui/toolkit.h"

namespace ui {

static bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

static bool EndsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Every occurrence of `what` removed, scanning left to right once.
static std::string RemoveAll(const std::string& s, const std::string& what) {
    std::string out;
    out.reserve(s.size());
    size_t from = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, from)) {
        out.append(s, from, at - from);
        from = at + what.size();
    }
    out.append(s, from, std::string::npos);
    return out;
}

// The leading decimal integer of a text (blanks, a sign, digits up to the
// first other character; 0 without digits), kept within a few million so the
// line arithmetic cannot overflow.
static int64_t LeadingInteger(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (s[i] - '0'), 1000000);
    return negative ? -value : value;
}

static int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t DrawMarkupText(const MarkupTarget& target, int32_t x0, int32_t top, int32_t right,
                       int32_t lineHeight, const std::string& text, uint32_t normal,
                       uint32_t highlight) {
    uint32_t colour = normal;
    int64_t x = x0;
    int64_t y = top;
    auto draw = [&](const std::string& piece) {
        x = target.draw(Clamp32(x), Clamp32(y), piece, colour);
    };

    size_t start = 0;
    while (true) {
        const size_t blank = text.find(' ', start);
        std::string word =
            text.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
        if (StartsWith(word, "n{") && EndsWith(word, "}") && word.size() >= 3) {
            x = x0;
            y += LeadingInteger(word.substr(2, word.size() - 3)) * lineHeight;
        } else {
            const std::string visible = RemoveAll(RemoveAll(word, "c{"), "}");
            if (x + target.measure(visible) > right) {
                x = x0;
                y += lineHeight;
            }
            const size_t open = word.find("c{");
            if (open != std::string::npos) {
                if (open > 0) draw(word.substr(0, open));
                colour = highlight;
                word.erase(0, open + 2);
            }
            // A word ending in "}" loses only that last character; any other
            // "}" or "c{" in it stays literal text.
            const size_t close = word.find('}');
            if (close == std::string::npos) {
                draw(word + " ");
            } else if (EndsWith(word, "}")) {
                word.pop_back();
                draw(word + " ");
                colour = normal;
            } else {
                draw(word.substr(0, close));
                colour = normal;
                draw(word.substr(close + 1) + " ");
            }
        }
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return Clamp32(y);
}

void BuildHelp() {
    auto& d = dialogs;
    const auto& c = app::colours;
    int32_t nw = 0, nh = 0;
    RenderPanel(
        kHelpPanel, kCreditsSource, "tHelpTITLE",
        [&](int32_t) {
            SelectFont(kFontHelp);
            engine::SetBackColour(c.ColourPanel);
            const uint32_t back = c.ColourPanel;
            MarkupTarget canvas{
                [](const std::string& s) { return engine::MeasureTextWidth(s); },
                [back](int32_t x, int32_t y, const std::string& s, uint32_t colour) {
                    return engine::DrawCanvasText(x, y, s, colour, back);
                }};
            DrawMarkupText(canvas, 40, 180, 840, 48, Text("tHelpTEXT"), c.ColourDialogText,
                           c.ColourHelpOrange);
        },
        &nw, &nh);
    d.help = ScaleMenuColumnPanel(kHelpPanel, nw, nh);

    RenderCaptionPair(kHelpBackNormal, "tHelpBACK");
    ButtonSet& set = d.helpButtons;
    set.count = 1;
    set.hover = 0;
    set.slot[1] = CaptionSlot(kHelpBackNormal, display::metrics.MenuColumnX - d.ButtonWidth / 2,
                              ButtonY(d.help, 860, 1030));
}

void HighlightHelp(int32_t index) {
    static constexpr int32_t normals[1] = {kHelpBackNormal};
    HighlightCaptions(&dialogs.helpButtons, normals, index);
}

}  // namespace ui
