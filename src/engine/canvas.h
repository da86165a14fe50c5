// Drawing on sprites: fonts, text, boxes and images composed by the CPU.
//
// A canvas is opened on a sprite (BeginCanvas with the target from
// SpriteCanvas), drawn on with a font, colours and a mode, and closed
// (EndCanvas uploads the pixels). One canvas is current per thread; a new one
// starts in mode 0 with a white front colour, a black back colour and no font.
//
// Colours are 32-bit: red in bits 0..7, green 8..15, blue 16..23, alpha 24..31.
// Modes: 0 writes red, green and blue only and fills a text's box with the back
// colour; 0x1 leaves the box's background alone; 0x10 composites by the colour's
// alpha (times glyph coverage for text) and updates the pixel's alpha. The game
// uses 0 and 0x11.
//
// Fonts come from TrueType files registered with InstallPrivateFont (or a
// system default) and are rendered with FreeType as grey-scale coverage.
#pragma once

#include <cstdint>
#include <string>

#include "engine/object_table.h"

namespace engine {

inline constexpr int kFontBold = 0x100;
inline constexpr int kFontItalic = 0x200;
inline constexpr int kFontUnderline = 0x4;
inline constexpr int kFontStrikeOut = 0x8;
inline constexpr int kFontHighQuality = 0x10;

inline constexpr int kCanvasTransparent = 0x1;
inline constexpr int kCanvasAlphaBlend = 0x10;

// r + g * 256 + b * 65536, alpha 0.
uint32_t PackRGB(int r, int g, int b);
// PackRGB plus a * 16777216.
uint32_t PackRGBA(int r, int g, int b, int a);

// Sets the dots per inch that point sizes are converted with: the desktop's
// logical DPI. Values below 1 restore the default, 96. Fonts already loaded keep
// their size.
void SetFontDpi(int dpi);
int FontDpi();

// Registers the faces of a TrueType/OpenType file for this process under their
// family names (the file is read into memory, so it may be deleted afterwards).
// Returns 1 when FreeType accepted it, 0 when the file is missing or refused.
int InstallPrivateFont(const std::string& file_path);

// Creates font `id` (a number or AutoId) from a registered face: the em is
// size * DPI / 72 pixels, rounded half away from zero. Flags: kFontBold and
// kFontItalic pick the matching style of the family or synthesise it,
// kFontUnderline, kFontStrikeOut; kFontHighQuality is accepted (rendering is
// always anti-aliased). An unknown face name falls back to the first installed
// font, then to a system default (DejaVu Sans and the like). Returns the handle
// (AutoId) or 1, or 0 when no font can be created (bad size, no font at all).
// A character the face lacks is drawn, measured and wrapped with the first other
// installed family that has it, scaled to the same cap height.
int LoadFontFace(int id, const std::string& face_name, int size, int flags);
// The handle SetCanvasFont takes for a font (nonzero), or 0 for an absent font.
int FontNativeHandle(int font);
// The first character of the UTF-8 text that neither the font nor any other
// installed family (its companion faces) has a glyph for, or 0 when every
// character can be drawn (or there is no such font). Tools check texts with it.
uint32_t FirstMissingCharacter(int font, const std::string& text);
// Frees a font; -1 frees all. A canvas that selected it keeps drawing with it.
void ReleaseFont(int font);

// Opens a canvas on a sprite's pixels. Returns 1, or 0 when the target names no
// sprite (nothing is then drawn until the next BeginCanvas).
int BeginCanvas(int target);
// Writes the pixels back to the sprite and closes the canvas. No-op when none is open.
void EndCanvas();

// Selects a font by its native handle; -1 selects the default interface font,
// any unknown handle selects none (text then draws nothing).
void SetCanvasFont(int native_handle);
void SetCanvasMode(int mode);
void SetFrontColour(uint32_t colour);
void SetBackColour(uint32_t colour);

// Draws UTF-8 text with its box's top-left at (x, y), clipped to the canvas
// (never wrapped). The colours given become the current ones. Returns x plus
// the text's width; x unchanged with no canvas, no font or empty text.
int DrawCanvasText(int x, int y, const std::string& text);
int DrawCanvasText(int x, int y, const std::string& text, uint32_t front);
int DrawCanvasText(int x, int y, const std::string& text, uint32_t front, uint32_t back);
// The width of the text in the canvas font (with the italic overhang for italic
// fonts), in pixels; 0 for empty text, no font or no canvas.
int MeasureTextWidth(const std::string& text);
// The height of the text's cell: the font's ascent plus descent, taller than
// the em; 0 for empty text, no font or no canvas.
int MeasureTextHeight(const std::string& text);

// Fills a rectangle, clipped: red, green and blue only, or composited by the
// colour's alpha in mode 0x10. The colour becomes the front colour.
void FillCanvasRect(int x, int y, int width, int height, uint32_t colour);
// Copies an image object's red, green and blue to (x, y), clipped, leaving the
// canvas's alpha; in mode 0x10 composites it by the image's alpha instead.
void BlitImage(int image, int x, int y);

}  // namespace engine
