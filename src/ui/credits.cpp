// The credits screen: the product line, the studio and company, and who made
// the code, graphics, music, sound effects and font. Role headings come from
// the text table; names are fixed and stay the same in every language.
#include "app/state.h"
#include "display/layout.h"
#include "engine/canvas.h"
#include "engine/display.h"
#include "ui/toolkit.h"

namespace ui {

// One line: its top in the panel's natural pixels, and either a text-table key
// (a role heading) or a fixed text.
struct CreditLine {
    int32_t y;
    const char* key;
    const char* fixed;
};
static constexpr CreditLine kCreditLines[] = {
    {165, nullptr, "Mnemora 1.0.0.0"},
    {215, "tCreditsCODEDESIGN", nullptr},
    {255, nullptr, "The Mnemora team"},
    {310, nullptr, "\xC2\xA9 2026 The Mnemora team \xC2\xB7 MIT / CC BY 4.0"},
    {350, nullptr, "Orvanta"},
    {390, nullptr, "Velcroft Ltd."},
    {430, nullptr, "https://orvanta.example"},
    {475, "tCreditsGFX", nullptr},
    {515, nullptr, "The Mnemora team (original work)"},
    {560, "tCreditsMUSIC", nullptr},
    {600, nullptr, "The Mnemora team (original work)"},
    {645, "tCreditsSFX", nullptr},
    {685, nullptr, "The Mnemora team (original work)"},
    {730, "tCreditsFONT", nullptr},
    {770, nullptr, "Titan One by Rodrigo Fuenzalida (SIL OFL 1.1)"},
    // The companion face for Greek, Cyrillic and the Latin letters Titan One lacks.
    {810, nullptr, "M PLUS Rounded 1c, M+ Project (SIL OFL 1.1)"},
};

std::vector<std::string> CreditsFixedLines() {
    std::vector<std::string> lines;
    for (const CreditLine& line : kCreditLines) {
        if (line.fixed) lines.emplace_back(line.fixed);
    }
    return lines;
}

void BuildCredits() {
    auto& d = dialogs;
    const auto& c = app::colours;
    int32_t nw = 0, nh = 0;
    RenderPanel(
        kCreditsPanel, kCreditsSource, "tCreditsTITLE",
        [&](int32_t naturalWidth) {
            SelectFont(kFontCredits);
            for (const CreditLine& line : kCreditLines) {
                const std::string text = line.key ? Text(line.key) : std::string(line.fixed);
                const int32_t x = naturalWidth / 2 - engine::MeasureTextWidth(text) / 2;
                engine::DrawCanvasText(x, line.y, text, c.ColourDialogText, c.ColourPanel);
            }
        },
        &nw, &nh);
    d.credits = ScaleMenuColumnPanel(kCreditsPanel, nw, nh);

    RenderCaptionPair(kCreditsBackNormal, "tCreditsBACK");
    ButtonSet& set = d.creditsButtons;
    set.count = 1;
    set.hover = 0;
    set.slot[1] = CaptionSlot(kCreditsBackNormal, display::metrics.MenuColumnX - d.ButtonWidth / 2,
                              ButtonY(d.credits, 860, 1030));
}

void HighlightCredits(int32_t index) {
    static constexpr int32_t normals[1] = {kCreditsBackNormal};
    HighlightCaptions(&dialogs.creditsButtons, normals, index);
}

}  // namespace ui
