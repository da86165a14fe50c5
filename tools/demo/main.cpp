// Display demo: opens a 640 x 360 window (or full screen with --full), draws a
// background opaque, blended sprites with soft alpha, the same sprite at five
// opacities, a colour-keyed sprite, a scaled sprite with both filters, a
// source rectangle and a duplicate, then saves the frame the way F2 does.
//
// Usage: mnemora-display-demo [--full] [output.bmp] [frames]
// Escape or closing the window ends it early.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/display.h"
#include "engine/input.h"
#include "engine/object_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes* b, uint32_t v) {
    b->push_back(uint8_t(v));
    b->push_back(uint8_t(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A 32-bit top-down BMP of w x h pixels from a function giving blue, green,
// red, alpha.
template <typename F>
Bytes Picture(int w, int h, F pixel) {
    Bytes b = {'B', 'M'};
    Put32(&b, 54 + uint32_t(w) * h * 4);
    Put32(&b, 0);
    Put32(&b, 54);
    Put32(&b, 40);
    Put32(&b, uint32_t(w));
    Put32(&b, uint32_t(-h));
    Put16(&b, 1);
    Put16(&b, 32);
    for (int i = 0; i < 6; ++i)
        Put32(&b, i == 1 ? uint32_t(w) * h * 4 : 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t px[4];
            pixel(x, y, px);
            b.insert(b.end(), px, px + 4);
        }
    }
    return b;
}

int Sprite(int number, const Bytes& bmp, int flags) {
    return engine::SpriteFromImageDataSized(number, bmp.data(), int64_t(bmp.size()), flags);
}

// A cursor file: one 32 x 32 arrow-ish triangle, hotspot at its tip.
Bytes CursorFile() {
    const int s = 32;
    Bytes image;
    Put32(&image, 40);
    Put32(&image, s);
    Put32(&image, s * 2);
    Put16(&image, 1);
    Put16(&image, 32);
    for (int i = 0; i < 6; ++i)
        Put32(&image, 0);
    for (int y = s - 1; y >= 0; --y) {
        for (int x = 0; x < s; ++x) {
            bool inside = x <= y && x + y / 2 < s;
            bool edge = inside && (x == 0 || x == y || x + y / 2 == s - 1);
            uint8_t v = edge ? 0 : 255;
            image.insert(image.end(), {uint8_t(inside ? v : 0), uint8_t(inside ? 120 : 0),
                                       uint8_t(inside ? 40 : 0), uint8_t(inside ? 255 : 0)});
        }
    }
    image.insert(image.end(), size_t(4) * s, 0);  // AND mask
    Bytes file;
    Put16(&file, 0);
    Put16(&file, 2);
    Put16(&file, 1);
    file.insert(file.end(), {uint8_t(s), uint8_t(s), 0, 0});
    Put16(&file, 0);
    Put16(&file, 0);
    Put32(&file, uint32_t(image.size()));
    Put32(&file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    bool full = false;
    std::string output = "mnemora-display-demo.bmp";
    int frames = 120;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0) {
            full = true;
        } else if (positional++ == 0) {
            output = argv[i];
        } else {
            frames = std::atoi(argv[i]);
        }
    }
    const int W = 640, H = 360;
    if (!engine::InitSpriteSystem() || !engine::StartKeyboard() || !engine::StartMouse()) {
        engine::ShowMessageBox("Mnemora demo", "The video system could not start.", 0x10);
        return 1;
    }
    bool open = full ? engine::OpenExclusiveDisplay(W, H, 32, "Mnemora display demo", 2)
                     : engine::OpenAppWindow(0, 0, 0, W, H, "Mnemora display demo", 0x10CA0001) &&
                           engine::OpenDisplayInWindow(engine::NativeWindowHandle(0), 0, 0, W, H, 0,
                                                       0, 0, 2);
    if (!open) {
        engine::ShowMessageBox("Mnemora demo", "The display could not be opened.", 0x10);
        engine::ShutdownSpriteSystem();
        return 1;
    }
    engine::SetTargetFrameRate(60);
    engine::SetSpriteFiltering(1);

    // Background: a diagonal gradient, drawn opaque.
    Sprite(1,
           Picture(W, H,
                   [&](int x, int y, uint8_t* p) {
                       p[0] = uint8_t(80 + 120 * y / H);
                       p[1] = uint8_t(40 + 60 * x / W);
                       p[2] = uint8_t(30);
                       p[3] = 255;
                   }),
           8);
    // A soft disc: alpha falls off towards the rim.
    const int D = 96;
    Bytes disc = Picture(D, D, [&](int x, int y, uint8_t* p) {
        double r = std::hypot(x - D / 2 + 0.5, y - D / 2 + 0.5) / (D / 2);
        double a = r >= 1 ? 0 : 1 - r * r;
        p[0] = 40;
        p[1] = uint8_t(200 - 100 * r);
        p[2] = 250;
        p[3] = uint8_t(255 * a);
    });
    Sprite(2, disc, 8);
    // The same disc colour-keyed: only pure black is transparent.
    Sprite(3,
           Picture(D, D,
                   [&](int x, int y, uint8_t* p) {
                       bool ring = std::abs(std::hypot(x - D / 2, y - D / 2) - 36) < 8;
                       p[0] = p[1] = p[2] = ring ? 230 : 0;
                       p[3] = 0;
                   }),
           0);
    // A 4 x 4 checker, scaled up: nearest and bilinear.
    Sprite(4,
           Picture(4, 4,
                   [](int x, int y, uint8_t* p) {
                       uint8_t v = (x + y) % 2 ? 250 : 20;
                       p[0] = v;
                       p[1] = uint8_t(255 - v);
                       p[2] = v;
                       p[3] = 255;
                   }),
           8);
    engine::DuplicateSprite(4, 5);
    engine::SetSpriteSize(4, 96, 96);
    engine::SetSpriteSize(5, 96, 96);
    // A source rectangle: the disc's lower-right quarter.
    engine::DuplicateSprite(2, 6);
    engine::SetSpriteSourceRect(6, D / 2, D / 2, D / 2, D / 2);
    engine::SetSpriteSize(6, D, D);

    Bytes cursor_file = CursorFile();
    int cursor = engine::LoadCursorData(cursor_file.data(), int64_t(cursor_file.size()));
    if (!full) {
        engine::SetAppWindowIcon(0, disc.data(), int64_t(disc.size()));
        engine::SetAppWindowHidden(0, 0);
        engine::ActivateAppWindow(0);
        engine::SetAppWindowCursor(0, cursor);
    }
    std::printf("cursor %s\n", cursor ? "loaded" : "not available");

    bool quit = false;
    for (int frame = 0; frame < frames && !quit; ++frame) {
        if (!full) {
            for (int e; (e = engine::PollWindowEvent()) != 0;) {
                if (e == engine::kEventClose) quit = true;
            }
        }
        engine::FlipFrame();
        engine::DrawSpriteOpaque(1, 0, 0);
        engine::DrawSprite(2, 20, 20);         // blended
        engine::DrawSpriteOpaque(2, 130, 20);  // no blending: the square shows
        for (int i = 0; i < 5; ++i)
            engine::DrawSpriteAlpha(2, 20 + i * 110, 140, 255 - i * 55);
        engine::DrawSprite(3, 240, 20);  // colour key
        engine::SetSpriteFiltering(0);
        engine::DrawSprite(4, 350, 20);  // nearest
        engine::SetSpriteFiltering(1);
        engine::DrawSprite(5, 460, 20);                         // bilinear
        engine::DrawSprite(6, 540, 250);                        // source rectangle, scaled
        engine::DrawSprite(2, -D, 250);                         // off screen: skipped
        engine::DrawSprite(2, (frame * 4) % (W + D) - D, 260);  // moving
        engine::PollKeyboard();
        if (engine::WasKeyReleased(1)) quit = true;
    }
    // The screenshot, as F2 takes it: the frame drawn so far, into sprite 0.
    int ok = engine::CaptureScreenToSprite(0, 0, 0, W, H) && engine::SaveSpriteAsBitmap(0, output);
    std::printf("screenshot %s: %s\n", output.c_str(), ok ? "OK" : "FAILED");
    engine::FlipFrame();
    engine::ShutdownSpriteSystem();
    return ok ? 0 : 1;
}
