// Background scaling: ScaleImage's smooth filter on a 3840 x 2160 picture (the
// size of the game's backgrounds) down to the common screen widths, with the
// heights the background placement gives them. Prints each run and the median.
// Then the four backgrounds of a 16:9 screen from the built pack, decoded and
// scaled to each screen width both ways: whole and then scaled, and in one pass
// row by row (what the picture pass does). With a word on the command line
// ("pack") only that part runs, one pass at 1280 x 720 each way, for
// instruction counts under callgrind.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/archive.h"
#include "engine/display.h"
#include "engine/object_table.h"
#include "unit/engine/picture_builders.h"

namespace {

// Whole, then scaled (how the backgrounds were loaded before), or in one pass.
int DecodeBoth(const std::vector<uint8_t>& png, int width, int height, bool one_pass) {
    if (one_pass) {
        return engine::DecodeImageScaledSized(engine::AutoId, png.data(), int64_t(png.size()),
                                              width, height);
    }
    const int image = engine::DecodeImageSized(engine::AutoId, png.data(), int64_t(png.size()));
    if (image) engine::ScaleImage(image, width, height, 0);
    return image;
}

int PackBackgrounds(bool once) {
    const char* dir = std::getenv("MNEMORA_GAME_DIR");
    const int pack = dir ? engine::OpenArchive(engine::AutoId, std::string(dir) + "/Mnemora.data",
                                               engine::kArchivePack)
                         : 0;
    if (!pack) {
        std::printf("scale_image: no built pack, backgrounds skipped\n");
        return 0;
    }
    std::vector<std::vector<uint8_t>> pictures;
    for (const char* name :
         {"orvanta_16x9.png", "menuback.png", "levelselect.png", "ingame_16x9.png"}) {
        std::vector<uint8_t> bytes(size_t{8} << 20);
        const int64_t n = engine::ReadArchiveEntry(pack, bytes.data(), int64_t(bytes.size()), name);
        if (n <= 0) return 1;
        bytes.resize(size_t(n));
        pictures.push_back(std::move(bytes));
    }
    engine::CloseArchive(pack);
    for (int width : {1280, 1920, 3840}) {
        if (once && width != 1280) continue;
        double best[2] = {1e9, 1e9};
        long faults[2] = {0, 0};  // minor page faults of the last run: memory touched afresh
        for (int run = 0; run < (once ? 1 : 5); ++run) {
            for (bool one_pass : {false, true}) {
                engine::EndDecodeAhead();  // each way starts without kept buffers
                rusage before{}, after{};
                getrusage(RUSAGE_SELF, &before);
                const auto start = std::chrono::steady_clock::now();
                for (const auto& png : pictures) {
                    int w = 0, h = 0;
                    engine::PictureHeaderSize(png.data(), int64_t(png.size()), &w, &h);
                    const int height = int(std::lround(double(h) / w * width));
                    const int image = DecodeBoth(png, width, height, one_pass);
                    if (!image) return 1;
                    engine::ReleaseImage(image);
                }
                const double ms = std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
                best[one_pass] = std::min(best[one_pass], ms);
                getrusage(RUSAGE_SELF, &after);
                faults[one_pass] = after.ru_minflt - before.ru_minflt;
            }
        }
        std::printf(
            "four 16:9 backgrounds from the pack to %d wide: whole then scaled %.1f ms "
            "(%ld page faults), in one pass %.1f ms (%ld page faults) (best of %d)\n",
            width, best[0], faults[0], best[1], faults[1], once ? 1 : 5);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "pack") == 0) return PackBackgrounds(true);
    const int w = 3840, h = 2160;
    std::vector<uint8_t> pixels(size_t(w) * h * 4);
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(size_t(y) * w + x) * 4];
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t(rng() & 0xFF);
            p[3] = 255;
        }
    }
    const test_pictures::Bytes bmp = test_pictures::MakeBmp(w, h, pixels, 32);

    struct Target {
        int width, height;
    };
    for (Target t : {Target{1280, 720}, Target{1920, 1080}, Target{1024, 576}}) {
        std::vector<double> runs;
        for (int run = 0; run < 5; ++run) {
            const int image =
                engine::DecodeImageSized(engine::AutoId, bmp.data(), int64_t(bmp.size()));
            if (!image) {
                std::printf("scale_image: the test picture did not decode\n");
                return 1;
            }
            const auto start = std::chrono::steady_clock::now();
            const int ok = engine::ScaleImage(image, t.width, t.height, 0);
            const auto end = std::chrono::steady_clock::now();
            engine::ReleaseImage(image);
            if (!ok) {
                std::printf("scale_image: scaling failed\n");
                return 1;
            }
            runs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(runs.begin(), runs.end());
        std::printf("ScaleImage 3840 x 2160 to %d x %d: median %.1f ms (min %.1f, max %.1f)\n",
                    t.width, t.height, runs[runs.size() / 2], runs.front(), runs.back());
    }
    return PackBackgrounds(false);
}
