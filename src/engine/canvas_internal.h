// Internal to the engine: the text and compositing core behind the canvas,
// written over plain pixel blocks so it can be checked without sprites.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/pixels_internal.h"

namespace engine::detail {

// ---- Compositing rules on one pixel (bytes blue, green, red, alpha) ----

// A colour with alpha a over the pixel: a = 0 leaves it; a pixel with alpha 0
// takes the colour and alpha a; otherwise each channel becomes
// (d (255 - a) da + c a 255) / ((255 - a) da + a 255) and the alpha
// ((255 - a) da + a 255) / 255.
void AlphaComposite(uint8_t* pixel, uint32_t colour);
// Glyph coverage c (0..255, the same on all three channels) of the front colour
// in modes 0 and 0x1: each channel becomes ((255 - c) base + c front) / 255,
// base being the back colour (mode 0) or the pixel (mode 0x1); alpha stays.
void CoverageBlend(uint8_t* pixel, int coverage, uint32_t front, uint32_t base);
// Glyph coverage in mode 0x10: the front colour's alpha A times coverage,
// composited channel by channel; see canvas.cpp for the rule.
void CoverageComposite(uint8_t* pixel, int coverage, uint32_t front);

// ---- Fonts (fonts.cpp) ----

struct FontFace;

// The font selected by a native handle (-1: the default interface font), or nullptr.
std::shared_ptr<FontFace> FontForHandle(int native_handle);
// The em in pixels (what FreeType's pixel size is set to).
int FontEmPixels(const FontFace& font);
// The cell: ascent above the baseline and descent below it, in pixels.
int FontAscent(const FontFace& font);
int FontCellHeight(const FontFace& font);

// Code points of UTF-8 text; each ill-formed sequence (the maximal invalid
// subpart) becomes U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

// The text's width in pixels, kerning and the italic overhang included.
int64_t TextWidth(FontFace& font, std::string_view text);

// Renders the coverage of `text` whose box's top-left is at (x, y) into
// `coverage`, a block of clip_w * clip_h bytes standing for the area starting at
// (clip_x, clip_y); overlapping glyphs keep the larger coverage. Glyphs wholly
// outside the area are skipped. Returns the text's width.
int64_t RenderTextCoverage(FontFace& font, std::string_view text, int64_t x, int64_t y, int clip_x,
                           int clip_y, int clip_w, int clip_h, uint8_t* coverage);

// ---- Drawing over a pixel block ----

// Draws text by the mode rules; returns the text's width (0 without a font).
int64_t DrawTextOn(const PixelView& view, FontFace* font, int mode, uint32_t front, uint32_t back,
                   int x, int y, std::string_view text);
void FillRectOn(const PixelView& view, int mode, int x, int y, int width, int height,
                uint32_t colour);
void BlitOn(const PixelView& view, int mode, const PixelView& image, int x, int y);

// Opens the current canvas on any pixel block instead of a sprite (EndCanvas
// then writes nothing back). Returns false for an empty or malformed view.
bool BeginCanvasOnPixels(const PixelView& view);

}  // namespace engine::detail
