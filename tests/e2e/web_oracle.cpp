// Where things are on a page's canvas, for the browser journeys (tests/web):
// the oracle of the in-process game on a covered screen of the given size,
// printed as one JSON object of rectangles [left, top, right, bottom] in canvas
// pixels. Index 0 of each button list is unused, as in the dialogs' slots.
//   web_oracle WIDTH HEIGHT [LANGUAGE]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "oracle.h"

namespace {

std::string Json(const e2e::Rect& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

template <typename List, typename ToRect>
std::string JsonList(const List& list, size_t count, ToRect toRect) {
    std::string out = "[";
    for (size_t i = 0; i < count; ++i)
        out += (i ? "," : "") + Json(toRect(list[i]));
    return out + "]";
}

std::string Slots(const ui::ButtonSet& set) {
    return JsonList(set.slot, static_cast<size_t>(set.count) + 1, e2e::SlotRect);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: web_oracle WIDTH HEIGHT [LANGUAGE]\n");
        return 2;
    }
    // Run as a tool, not under CTest: the dummy drivers and the Linux game's data.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("MNEMORA_GAME_DIR", MNEMORA_ORACLE_GAME_DIR, 0);
    e2e::OracleScreen screen;
    screen.width = std::atoi(argv[1]);
    screen.height = std::atoi(argv[2]);
    screen.covered = true;
    e2e::Oracle o;
    std::string error;
    if (!e2e::BuildOracle(argc > 3 ? argv[3] : "en_GB", "", &o, &error, screen)) {
        std::fprintf(stderr, "web_oracle: %s\n", error.c_str());
        return 1;
    }
    const auto& d = o.dialogs;
    std::string tiles = "{";
    for (const auto& [level, rects] : o.tiles) {
        tiles += (level > 1 ? "," : "") + ("\"" + std::to_string(level) + "\":") +
                 JsonList(rects, rects.size(), [](const e2e::Rect& r) { return r; });
    }
    tiles += "}";
    std::printf(
        "{\"width\":%d,\"height\":%d,\"mainMenu\":%s,\"settings\":%s,"
        "\"settingsNames\":[\"\",\"language\",\"music\",\"sounds\",\"mode\",\"resolution\","
        "\"ok\",\"cancel\"],\"quit\":%s,\"levels\":%s,\"levelFinished\":%s,\"pause\":%s,"
        "\"leave\":%s,\"panels\":{\"mainMenu\":%s,\"settings\":%s,\"levelFinished\":%s},"
        "\"tiles\":%s}\n",
        o.metrics.ScreenWidth, o.metrics.ScreenHeight, Slots(d.mainMenuButtons).c_str(),
        Slots(d.settingsButtons).c_str(), Slots(d.quitButtons).c_str(),
        JsonList(o.levels, o.levels.size(), e2e::LevelRect).c_str(),
        Slots(d.levelFinishedButtons).c_str(), Slots(d.pauseButtons).c_str(),
        Slots(d.leaveButtons).c_str(), Json(e2e::PanelRect(d.mainMenu)).c_str(),
        Json(e2e::PanelRect(d.settings)).c_str(), Json(e2e::PanelRect(d.levelFinished)).c_str(),
        tiles.c_str());
    return 0;
}
