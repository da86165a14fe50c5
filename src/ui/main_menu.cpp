// The main menu: the hub panel in the menu column with five caption buttons.
// Its build also fixes the size of every caption button in the game.
#include <algorithm>
#include <cmath>

#include "app/state.h"
#include "display/layout.h"
#include "engine/display.h"
#include "game/game.h"
#include "ui/toolkit.h"

namespace ui {

static const char* const kMainMenuKeys[5] = {"tMenuSTART", "tMenuSETTINGS", "tMenuHELP",
                                             "tMenuCREDITS", "tMenuQUIT"};
static constexpr int32_t kMainMenuK[5] = {200, 380, 560, 740, 920};
static constexpr int32_t kMainMenuD = 1162;

void BuildMainMenu() {
    auto& d = dialogs;
    const auto& m = display::metrics;
    int32_t nw = 0, nh = 0;
    RenderPanel(kMainMenuPanel, kMainMenuSource, "tMenuTITLE", {}, &nw, &nh);

    // The column and the scale every panel shares, from the widest and the
    // tallest panel picture.
    int32_t widest = 0, tallest = 0;
    for (const int32_t source :
         {kMainMenuSource, kSettingsSource, kCreditsSource, kQuitSource, kInGameMenuSource}) {
        widest = std::max(widest, NaturalWidth(source));
        tallest = std::max(tallest, NaturalHeight(source));
    }
    display::ComputePanelLayout(nh, widest, tallest);

    // The panel is MainPanelHeight high (half the screen on landscape
    // screens); its width and the button size come from a single-precision
    // width so every display gets the same rounding.
    Panel& panel = d.mainMenu;
    panel.picture = kMainMenuPanel;
    panel.height = static_cast<int32_t>(m.MainPanelHeight);
    const float wf = nh > 0 ? static_cast<float>(m.MainPanelHeight * nw / nh) : 0.0f;
    panel.width = static_cast<int32_t>(std::nearbyint(wf));
    const float buttonWidth = wf / 1.8f;
    const int32_t faceWidth = NaturalWidth(kButtonFace);
    const int32_t faceHeight = NaturalHeight(kButtonFace);
    d.ButtonWidth = static_cast<int32_t>(std::lround(buttonWidth));
    d.ButtonHeight =
        faceWidth > 0 ? static_cast<int32_t>(std::lround(buttonWidth * faceHeight / faceWidth)) : 0;
    engine::SetSpriteSize(kMainMenuPanel, panel.width, panel.height);
    engine::KeepSpriteAtDrawnSize(kMainMenuPanel);
    PlaceMenuColumn(&panel);

    for (int32_t i = 0; i < 5; ++i)
        RenderCaptionPair(kMainMenuNormals[i], kMainMenuKeys[i]);

    ButtonSet& set = d.mainMenuButtons;
    set.count = 5;
    set.hover = 0;
    const int32_t x = m.MenuColumnX - d.ButtonWidth / 2;
    for (int32_t i = 0; i < 5; ++i)
        set.slot[i + 1] =
            CaptionSlot(kMainMenuNormals[i], x, ButtonY(panel, kMainMenuK[i], kMainMenuD));
}

void HighlightMainMenu(int32_t index) {
    HighlightCaptions(&dialogs.mainMenuButtons, kMainMenuNormals, index);
}

void ClickMainMenu(int32_t index) {
    switch (index) {
        case 1:
            game::OpenLevelSelect();
            app::loop.ScreenState = app::LevelSelect;
            break;
        case 2:
            EnterSettings();
            break;
        case 3:
            EnterScreen(app::Help);
            break;
        case 4:
            EnterScreen(app::Credits);
            break;
        case 5:
            EnterScreen(app::QuitConfirm);
            break;
        default:
            return;
    }
    dialogs.mainMenuButtons.hover = 0;
}

}  // namespace ui
