// Where every panel and button of every dialog stands, computed here from the
// layout rules and the natural sizes of the pictures (the shipped artwork when
// the data pack holds it, blank pictures of the artwork's sizes otherwise).
#include <algorithm>
#include <cmath>
#include <string>

#include "ui_fixture.h"

namespace {

using ui::ButtonSlot;
using ui::dialogs;
using ui::Panel;

struct Size {
    int w, h;
};

Size Natural(int sprite) {
    return {engine::SpriteDrawWidth(sprite), engine::SpriteDrawHeight(sprite)};
}

void ExpectRect(const ButtonSlot& s, int x, int y, int right, int bottom, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(s.x, x);
    EXPECT_EQ(s.y, y);
    EXPECT_EQ(s.left, x);
    EXPECT_EQ(s.top, y);
    EXPECT_EQ(s.right, right);
    EXPECT_EQ(s.bottom, bottom);
}

void ExpectPanel(const Panel& p, int picture, int x, int y, int w, int h, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(p.picture, picture);
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
    EXPECT_EQ(engine::SpriteDrawWidth(picture), w);
    EXPECT_EQ(engine::SpriteDrawHeight(picture), h);
}

class LayoutTest : public uitest::UiTest {
  protected:
    // Every dialog's panel and every button's hit rectangle inside the screen,
    // clear of its edges by the margin.
    static void ExpectEverythingInside(int sw, int sh) {
        const int margin = std::min(sw, sh) / 40;
        auto inside = [&](int left, int top, int right, int bottom, const std::string& what) {
            EXPECT_TRUE(left >= margin && top >= margin && right <= sw - margin &&
                        bottom <= sh - margin)
                << what << " at " << left << "," << top << " - " << right << "," << bottom << " on "
                << sw << " x " << sh;
        };
        const std::pair<const Panel*, const ui::ButtonSet*> screens[] = {
            {&dialogs.mainMenu, &dialogs.mainMenuButtons},
            {&dialogs.settings, &dialogs.settingsButtons},
            {&dialogs.help, &dialogs.helpButtons},
            {&dialogs.credits, &dialogs.creditsButtons},
            {&dialogs.quitMenuColumn, &dialogs.quitButtons},
            {&dialogs.pauseMenu, &dialogs.pauseButtons},
            {&dialogs.quitCentre, &dialogs.leaveButtons},
            {&dialogs.levelFinished, &dialogs.levelFinishedButtons},
            {&dialogs.levelFailed, &dialogs.levelFailedButtons},
            {&dialogs.gameCompleted, &dialogs.gameCompletedButtons}};
        for (const auto& [panel, set] : screens) {
            const std::string name = "panel " + std::to_string(panel->picture);
            ASSERT_GT(panel->width, 0) << name;
            inside(panel->x, panel->y, panel->x + panel->width, panel->y + panel->height, name);
            ASSERT_GT(set->count, 0) << name;
            for (int i = 1; i <= set->count; ++i) {
                const ButtonSlot& b = set->slot[i];
                inside(b.left, b.top, b.right, b.bottom, name + " button " + std::to_string(i));
            }
        }
    }

    void CheckLayout(int sw, int sh) {
        OpenScreen(sw, sh);
        if (!shipped) std::printf("(the data pack lacks some menu pictures: stand-in sizes)\n");
        const Size main = Natural(11), button = Natural(8), settings = Natural(13),
                   credits = Natural(15), quit = Natural(18), pause = Natural(20);
        ui::RebuildAllDialogs(false);
        const auto& m = display::metrics;

        // Main menu: half the screen high, width and buttons in single precision.
        const int mh = sh / 2;
        const float wf = static_cast<float>(sh / 2.0 * main.w / main.h);
        const int mw = static_cast<int>(std::nearbyint(wf));
        const int bw = static_cast<int>(std::lround(wf / 1.8f));
        const int bh = static_cast<int>(std::lround(wf / 1.8f * button.h / button.w));
        EXPECT_EQ(dialogs.ButtonWidth, bw);
        EXPECT_EQ(dialogs.ButtonHeight, bh);
        const int mx = sw / 4 - mw / 2, my = m.PanelCentreY - mh / 2;
        ExpectPanel(dialogs.mainMenu, 10, mx, my, mw, mh, "main menu");
        const int k[5] = {200, 380, 560, 740, 920};
        for (int i = 0; i < 5; ++i) {
            const int x = sw / 4 - bw / 2, y = my + mh * k[i] / 1162;
            ExpectRect(dialogs.mainMenuButtons.slot[i + 1], x, y, x + bw, y + bh, "main button");
            EXPECT_EQ(dialogs.mainMenuButtons.slot[i + 1].picture, 24 + 2 * i);
            EXPECT_EQ(engine::SpriteDrawWidth(25 + 2 * i), bw);
            EXPECT_EQ(engine::SpriteDrawHeight(25 + 2 * i), bh);
        }

        // Every other panel shares the main menu's scale.
        auto scaled = [&](Size n) {
            const int h = n.h * (sh / 2) / main.h;
            return Size{n.w * h / n.h, h};
        };
        auto column = [&](Size s) { return std::pair{sw / 4 - s.w / 2, m.PanelCentreY - s.h / 2}; };
        auto centre = [&](Size s) { return std::pair{sw / 2 - s.w / 2, sh / 2 - s.h / 2}; };

        // Settings: rows from 4 % to 96 % of the panel, reacting from 3 % to 97 %.
        const Size st = scaled(settings);
        const auto [sx, sy] = column(st);
        ExpectPanel(dialogs.settings, 12, sx, sy, st.w, st.h, "settings");
        const int rowW = st.w * 920 / 1000, rowH = rowW * 60 / 920;
        EXPECT_EQ(dialogs.RowW, rowW);
        EXPECT_EQ(dialogs.RowH, rowH);
        const int rowK[5] = {200, 280, 360, 440, 520};
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(i);
            const ButtonSlot& s = dialogs.settingsButtons.slot[i + 1];
            const int y = sy + st.h * rowK[i] / 868;
            EXPECT_EQ(s.x, sx + st.w * 40 / 1000);
            EXPECT_EQ(s.y, y);
            EXPECT_EQ(s.left, sx + st.w * 30 / 1000);
            EXPECT_EQ(s.right, sx + st.w * 970 / 1000);
            EXPECT_EQ(s.top, y);
            EXPECT_EQ(s.bottom, y + rowH);
        }
        EXPECT_EQ(engine::SpriteDrawWidth(40), rowW);
        EXPECT_EQ(engine::SpriteDrawHeight(40), rowH);
        const int by = sy + st.h * 680 / 868, inset = bw * 40 / 797;
        ExpectRect(dialogs.settingsButtons.slot[6], sx + inset, by, sx + inset + bw, by + bh, "OK");
        const int cx = sx + st.w - bw - inset;
        ExpectRect(dialogs.settingsButtons.slot[7], cx, by, cx + bw, by + bh, "CANCEL");

        // Help and credits: the same picture, BACK at 860 / 1030.
        const Size cr = scaled(credits);
        const auto [crx, cry] = column(cr);
        ExpectPanel(dialogs.help, 16, crx, cry, cr.w, cr.h, "help");
        ExpectPanel(dialogs.credits, 14, crx, cry, cr.w, cr.h, "credits");
        const int backX = sw / 4 - bw / 2, backY = cry + cr.h * 860 / 1030;
        ExpectRect(dialogs.helpButtons.slot[1], backX, backY, backX + bw, backY + bh, "help BACK");
        ExpectRect(dialogs.creditsButtons.slot[1], backX, backY, backX + bw, backY + bh,
                   "credits BACK");

        // Quit: one picture, two places, two slot sets.
        const Size q = scaled(quit);
        const auto [qx, qy] = column(q);
        const auto [lx, ly] = centre(q);
        ExpectPanel(dialogs.quitMenuColumn, 17, qx, qy, q.w, q.h, "quit");
        ExpectPanel(dialogs.quitCentre, 17, lx, ly, q.w, q.h, "leave");
        for (int i = 0; i < 2; ++i) {
            const int k2 = i == 0 ? 200 : 380;
            const int x1 = qx + q.w / 2 - bw / 2, y1 = qy + q.h * k2 / 585;
            ExpectRect(dialogs.quitButtons.slot[i + 1], x1, y1, x1 + bw, y1 + bh, "quit button");
            const int x2 = lx + q.w / 2 - bw / 2, y2 = ly + q.h * k2 / 585;
            ExpectRect(dialogs.leaveButtons.slot[i + 1], x2, y2, x2 + bw, y2 + bh, "leave button");
        }

        // The in-game menu and the three results, centred on the screen.
        const Size p = scaled(pause);
        const auto [px, py] = centre(p);
        ExpectPanel(dialogs.pauseMenu, 19, px, py, p.w, p.h, "pause");
        const int pk[3] = {200, 380, 560};
        for (int i = 0; i < 3; ++i) {
            const int x = sw / 2 - bw / 2, y = py + p.h * pk[i] / 737;
            ExpectRect(dialogs.pauseButtons.slot[i + 1], x, y, x + bw, y + bh, "pause button");
        }
        const auto [rx, ry] = centre(st);
        ExpectPanel(dialogs.levelFinished, 21, rx, ry, st.w, st.h, "finished");
        ExpectPanel(dialogs.levelFailed, 22, rx, ry, st.w, st.h, "failed");
        ExpectPanel(dialogs.gameCompleted, 23, rx, ry, st.w, st.h, "completed");
        const int x = sw / 2 - bw / 2, y495 = ry + st.h * 495 / 868, y680 = ry + st.h * 680 / 868;
        for (const ui::ButtonSet* set :
             {&dialogs.levelFinishedButtons, &dialogs.levelFailedButtons}) {
            EXPECT_EQ(set->count, 2);
            ExpectRect(set->slot[1], x, y495, x + bw, y495 + bh, "result button 1");
            ExpectRect(set->slot[2], x, y680, x + bw, y680 + bh, "result button 2");
        }
        EXPECT_EQ(dialogs.gameCompletedButtons.count, 1);
        ExpectRect(dialogs.gameCompletedButtons.slot[1], x, y680, x + bw, y680 + bh, "completed");
    }
};

TEST_F(LayoutTest, At1920x1080) {
    CheckLayout(1920, 1080);
    EXPECT_EQ(dialogs.mainMenu.height, 540);
    if (Natural(11).w == 700 && Natural(11).h == 1162 && Natural(8).w == 326 &&
        Natural(8).h == 120) {
        // 540 x 700 / 1162 = 325.30...; / 1.8 = 180.72...; x 120 / 326 = 66.52...
        EXPECT_EQ(dialogs.mainMenu.width, 325);
        EXPECT_EQ(dialogs.ButtonWidth, 181);
        EXPECT_EQ(dialogs.ButtonHeight, 67);
    }
}

TEST_F(LayoutTest, At1024x768) {
    CheckLayout(1024, 768);
    EXPECT_EQ(dialogs.mainMenu.height, 384);
}

TEST_F(LayoutTest, LandscapeAndSquareScreensKeepTheQuarterColumn) {
    for (auto [w, h] :
         {std::pair{1920, 1080}, {1024, 576}, {1280, 1024}, {2560, 1080}, {1000, 1000}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        CheckLayout(w, h);
        ExpectEverythingInside(w, h);
        engine::CloseDisplay();
    }
}

TEST_F(LayoutTest, PortraitScreensCentreTheColumnAndKeepEverythingInside) {
    for (auto [w, h, shrinks] : {std::tuple{1080, 1920, false},
                                 {1200, 1920, false},
                                 {900, 1000, false},
                                 {720, 1600, true},
                                 {360, 900, true}}) {
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        OpenScreen(w, h);
        ui::RebuildAllDialogs(false);
        const auto& m = display::metrics;
        ExpectEverythingInside(w, h);
        // The column, its buttons and the logo on the middle line.
        EXPECT_EQ(m.MenuColumnX, w / 2);
        EXPECT_EQ(m.LogoLeft, w / 2 - m.LogoWidth / 2);
        EXPECT_EQ(dialogs.mainMenuButtons.slot[1].x, w / 2 - dialogs.ButtonWidth / 2);
        EXPECT_EQ(dialogs.settings.x, w / 2 - dialogs.settings.width / 2);
        // Below the logo.
        EXPECT_GE(dialogs.mainMenu.y, m.LogoTop + m.LogoHeight);
        if (!shrinks) {
            // Wide enough for the landscape scale: the texts keep their size.
            EXPECT_EQ(dialogs.mainMenu.height, h / 2);
        } else {
            // Narrower: the widest panel shrinks to the width between the
            // margins, and every text drawn on the panels with it.
            EXPECT_LT(dialogs.mainMenu.height, h / 2);
            EXPECT_GE(std::max(dialogs.settings.width, dialogs.credits.width),
                      w - 2 * (w / 40) - w / 20);
        }
        engine::CloseDisplay();
    }
}

TEST_F(LayoutTest, ButtonsCentreOnTheQuarterLineWhateverThePanelWidth) {
    ASSERT_EQ(engine::OpenExclusiveDisplay(1280, 720, 32, "menus", 0), 1);
    auto& m = display::metrics;
    m.ScreenWidth = 1280;
    m.ScreenHeight = 720;
    display::ComputeLayout();
    display::ComputeLogoLayout(920, 400);
    engine::CreateBlankSprite(11, 40, 1162);  // a very narrow main-menu picture
    engine::CreateBlankSprite(8, 326, 120);
    engine::CreateBlankSprite(9, 326, 120);
    ui::BuildMainMenu();
    const float wf = static_cast<float>(360.0 * 40 / 1162);
    EXPECT_EQ(dialogs.mainMenu.width, static_cast<int>(std::nearbyint(wf)));
    EXPECT_EQ(dialogs.ButtonWidth, static_cast<int>(std::lround(wf / 1.8f)));
    EXPECT_EQ(dialogs.mainMenuButtons.slot[3].x, 1280 / 4 - dialogs.ButtonWidth / 2);
}

}  // namespace
