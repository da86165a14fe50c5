// The canvas: text, boxes and images drawn by the CPU onto a sprite's pixels.
//
// BeginCanvas takes the CPU copy of a sprite's pixels from the sprite service
// (pixels_internal.h); every drawing operation then works on that block by the
// mode rules below, and EndCanvas hands it back for upload. The rules work on
// straight-alpha pixels stored blue, green, red, alpha.
#include <algorithm>
#include <utility>
#include <vector>

#include "engine/canvas.h"
#include "engine/canvas_internal.h"

namespace engine {

namespace detail {

namespace {

constexpr uint32_t kDefaultFront = 0xFFFFFFFF;  // white, opaque
constexpr uint32_t kDefaultBack = 0xFF000000;   // black, opaque

int Red(uint32_t c) {
    return c & 0xFF;
}
int Green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
int Blue(uint32_t c) {
    return (c >> 16) & 0xFF;
}
int Alpha(uint32_t c) {
    return (c >> 24) & 0xFF;
}

// Pixel bytes are blue, green, red: the colour's channels in that order.
void Channels(uint32_t c, int out[3]) {
    out[0] = Blue(c);
    out[1] = Green(c);
    out[2] = Red(c);
}

int CompositeChannel(int d, int c, int a, int da) {
    return (d * (255 - a) * da + c * a * 255) / ((255 - a) * da + a * 255);
}

// The visible part of a rectangle on the view: [x0, x1) x [y0, y1).
struct Clip {
    int x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

Clip ClipTo(const PixelView& view, int64_t x, int64_t y, int64_t w, int64_t h) {
    Clip c;
    c.x0 = static_cast<int>(std::clamp<int64_t>(x, 0, view.width));
    c.y0 = static_cast<int>(std::clamp<int64_t>(y, 0, view.height));
    c.x1 = static_cast<int>(std::clamp<int64_t>(x + std::max<int64_t>(w, 0), 0, view.width));
    c.y1 = static_cast<int>(std::clamp<int64_t>(y + std::max<int64_t>(h, 0), 0, view.height));
    return c;
}

uint8_t* PixelAt(const PixelView& view, int x, int y) {
    return view.bgra + static_cast<int64_t>(y) * view.pitch + static_cast<int64_t>(x) * 4;
}

bool ValidView(const PixelView& view) {
    return view.bgra && view.width > 0 && view.height > 0 && view.pitch >= view.width * 4;
}

struct Canvas {
    bool open = false;
    bool on_sprite = false;
    int target = 0;
    PixelView view;
    int mode = 0;
    uint32_t front = kDefaultFront;
    uint32_t back = kDefaultBack;
    std::shared_ptr<FontFace> font;
};

thread_local Canvas current;

void OpenCanvas(const PixelView& view, bool on_sprite, int target) {
    current = Canvas{};
    current.open = true;
    current.on_sprite = on_sprite;
    current.target = target;
    current.view = view;
}

}  // namespace

void AlphaComposite(uint8_t* pixel, uint32_t colour) {
    const int a = Alpha(colour);
    if (a == 0) return;
    const int da = pixel[3];
    int c[3];
    Channels(colour, c);
    if (da == 0) {
        for (int k = 0; k < 3; ++k)
            pixel[k] = static_cast<uint8_t>(c[k]);
        pixel[3] = static_cast<uint8_t>(a);
        return;
    }
    for (int k = 0; k < 3; ++k)
        pixel[k] = static_cast<uint8_t>(CompositeChannel(pixel[k], c[k], a, da));
    pixel[3] = static_cast<uint8_t>(((255 - a) * da + a * 255) / 255);
}

void CoverageBlend(uint8_t* pixel, int coverage, uint32_t front, uint32_t base) {
    int f[3], b[3];
    Channels(front, f);
    Channels(base, b);
    for (int k = 0; k < 3; ++k) {
        pixel[k] = static_cast<uint8_t>(((255 - coverage) * b[k] + coverage * f[k]) / 255);
    }
}

// Text composited by alpha. With grey coverage c on all three channels and the
// front alpha A: m = round(3c * A / 765) is the glyph's opacity. Over a pixel
// whose alpha is below 192 every channel is composited with a = m; over a
// (nearly) opaque pixel each channel uses its own a = c * A / 255, truncated.
// The pixel's alpha becomes (m * 255 + (255 - m) * da) / 255.
void CoverageComposite(uint8_t* pixel, int coverage, uint32_t front) {
    const int A = Alpha(front);
    const int da = pixel[3];
    const int sum = 3 * coverage;
    const int m = (sum * A * 2 + 765) / (765 * 2);
    const int a = da < 192 ? m : coverage * A / 255;
    if (a > 0) {
        int f[3];
        Channels(front, f);
        for (int k = 0; k < 3; ++k) {
            pixel[k] =
                static_cast<uint8_t>(da == 0 ? f[k] : CompositeChannel(pixel[k], f[k], a, da));
        }
    }
    pixel[3] = static_cast<uint8_t>((m * 255 + (255 - m) * da) / 255);
}

int64_t DrawTextOn(const PixelView& view, FontFace* font, int mode, uint32_t front, uint32_t back,
                   int x, int y, std::string_view text) {
    if (!font || text.empty()) return 0;
    const int64_t width = TextWidth(*font, text);
    const Clip box = ClipTo(view, x, y, width, FontCellHeight(*font));
    if (box.Empty() || !ValidView(view)) return width;
    const int w = box.x1 - box.x0;
    const int h = box.y1 - box.y0;
    std::vector<uint8_t> coverage(static_cast<size_t>(w) * h);
    RenderTextCoverage(*font, text, x, y, box.x0, box.y0, w, h, coverage.data());

    const bool blend = (mode & kCanvasAlphaBlend) != 0;
    const bool transparent = (mode & kCanvasTransparent) != 0;
    for (int row = 0; row < h; ++row) {
        uint8_t* pixel = PixelAt(view, box.x0, box.y0 + row);
        const uint8_t* cov = coverage.data() + static_cast<size_t>(row) * w;
        for (int col = 0; col < w; ++col, pixel += 4) {
            const int c = cov[col];
            if (blend) {
                if (!transparent) AlphaComposite(pixel, back);
                CoverageComposite(pixel, c, front);
            } else if (!transparent) {
                CoverageBlend(pixel, c, front, back);
            } else if (c > 0) {
                const uint32_t base = pixel[2] | (pixel[1] << 8) | (pixel[0] << 16);
                CoverageBlend(pixel, c, front, base);
            }
        }
    }
    return width;
}

void FillRectOn(const PixelView& view, int mode, int x, int y, int width, int height,
                uint32_t colour) {
    if (!ValidView(view)) return;
    const Clip box = ClipTo(view, x, y, width, height);
    for (int row = box.y0; row < box.y1; ++row) {
        uint8_t* pixel = PixelAt(view, box.x0, row);
        for (int col = box.x0; col < box.x1; ++col, pixel += 4) {
            if (mode & kCanvasAlphaBlend) {
                AlphaComposite(pixel, colour);
            } else {
                pixel[0] = static_cast<uint8_t>(Blue(colour));
                pixel[1] = static_cast<uint8_t>(Green(colour));
                pixel[2] = static_cast<uint8_t>(Red(colour));
            }
        }
    }
}

void BlitOn(const PixelView& view, int mode, const PixelView& image, int x, int y) {
    if (!ValidView(view) || !ValidView(image)) return;
    const Clip box = ClipTo(view, x, y, image.width, image.height);
    for (int row = box.y0; row < box.y1; ++row) {
        uint8_t* dst = PixelAt(view, box.x0, row);
        const uint8_t* src = PixelAt(image, box.x0 - x, row - y);
        for (int col = box.x0; col < box.x1; ++col, dst += 4, src += 4) {
            if (mode & kCanvasAlphaBlend) {
                AlphaComposite(dst, src[2] | (src[1] << 8) | (src[0] << 16) |
                                        (static_cast<uint32_t>(src[3]) << 24));
            } else {
                dst[0] = src[0];
                dst[1] = src[1];
                dst[2] = src[2];
            }
        }
    }
}

bool BeginCanvasOnPixels(const PixelView& view) {
    EndCanvas();
    if (!ValidView(view)) return false;
    OpenCanvas(view, false, 0);
    return true;
}

}  // namespace detail

uint32_t PackRGB(int r, int g, int b) {
    return static_cast<uint32_t>(r & 0xFF) | (static_cast<uint32_t>(g & 0xFF) << 8) |
           (static_cast<uint32_t>(b & 0xFF) << 16);
}

uint32_t PackRGBA(int r, int g, int b, int a) {
    return PackRGB(r, g, b) | (static_cast<uint32_t>(a & 0xFF) << 24);
}

int BeginCanvas(int target) {
    using namespace detail;
    EndCanvas();
    PixelView view;
    if (!LockCanvasTarget(target, &view)) return 0;
    if (!ValidView(view)) {
        UnlockCanvasTarget(target);
        return 0;
    }
    OpenCanvas(view, true, target);
    return 1;
}

void EndCanvas() {
    auto& c = detail::current;
    if (!c.open) return;
    if (c.on_sprite) detail::UnlockCanvasTarget(c.target);
    c = detail::Canvas{};
}

void SetCanvasFont(int native_handle) {
    if (detail::current.open) detail::current.font = detail::FontForHandle(native_handle);
}

void SetCanvasMode(int mode) {
    detail::current.mode = mode;
}
void SetFrontColour(uint32_t colour) {
    detail::current.front = colour;
}
void SetBackColour(uint32_t colour) {
    detail::current.back = colour;
}

int DrawCanvasText(int x, int y, const std::string& text) {
    auto& c = detail::current;
    if (!c.open || !c.font || text.empty()) return x;
    int64_t width = detail::DrawTextOn(c.view, c.font.get(), c.mode, c.front, c.back, x, y, text);
    return static_cast<int>(std::clamp<int64_t>(x + width, INT32_MIN, INT32_MAX));
}

int DrawCanvasText(int x, int y, const std::string& text, uint32_t front) {
    detail::current.front = front;
    return DrawCanvasText(x, y, text);
}

int DrawCanvasText(int x, int y, const std::string& text, uint32_t front, uint32_t back) {
    detail::current.front = front;
    detail::current.back = back;
    return DrawCanvasText(x, y, text);
}

int MeasureTextWidth(const std::string& text) {
    auto& c = detail::current;
    if (!c.open || !c.font || text.empty()) return 0;
    return static_cast<int>(std::min<int64_t>(detail::TextWidth(*c.font, text), INT32_MAX));
}

int MeasureTextHeight(const std::string& text) {
    auto& c = detail::current;
    if (!c.open || !c.font || text.empty()) return 0;
    return detail::FontCellHeight(*c.font);
}

void FillCanvasRect(int x, int y, int width, int height, uint32_t colour) {
    auto& c = detail::current;
    c.front = colour;
    if (c.open) detail::FillRectOn(c.view, c.mode, x, y, width, height, colour);
}

void BlitImage(int image, int x, int y) {
    auto& c = detail::current;
    detail::PixelView source;
    if (!c.open || !detail::ImagePixelView(image, &source)) return;
    detail::BlitOn(c.view, c.mode, source, x, y);
}

}  // namespace engine
