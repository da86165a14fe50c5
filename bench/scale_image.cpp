// Background scaling: ScaleImage's smooth filter on a 3840 x 2160 picture (the
// size of the game's backgrounds) down to the common screen widths, with the
// heights the background placement gives them. Prints each run and the median.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/display.h"
#include "engine/object_table.h"
#include "unit/engine/picture_builders.h"

int main() {
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
    return 0;
}
