// The screen, the frame cycle, sprites, image objects, windows and their events.
//
// One display is open at a time: exclusive full screen, or the client area of
// an engine window. The engine draws every sprite into one display-sized frame
// picture; the first draw after a present starts it from black, and FlipFrame
// presents it (so a repaint, or a pass that draws nothing, shows the last whole
// frame again) and paces the loop.
//
// Sprites, image objects, windows and cursors are numbered objects
// (object_table.h): pass a number, or AutoId to get a handle back. Operations on
// a number or handle with no object do nothing and return 0 (sizes 0, window
// cursor positions -1). Nothing here throws.
//
// Pixels are 32-bit, bytes blue, green, red, alpha, straight (not premultiplied)
// alpha.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace engine {

// ---------------------------------------------------------------------------
// Sprite system and display

// Starts the video system. Idempotent. 1 on success, 0 when no video system
// can be started. Must precede every other operation of this header.
int InitSpriteSystem();
// Closes the display, every window and cursor and stops the video system.
void ShutdownSpriteSystem();

// Opens a full-screen display of width x height (the desktop's size; the frame
// is scaled to the screen when the mode differs). depth is ignored (always 32);
// flipMode nonzero waits for the vertical blank. Closes any open display first
// and hides the mouse cursor. 1 on success; 0 (all sprites freed, cursor shown
// again) when the window or the renderer cannot be made or the size is not
// 1..16384.
int OpenExclusiveDisplay(int width, int height, int depth, const std::string& title, int flipMode);
// Opens the display inside the engine window whose NativeWindowHandle is
// parentWindow, at (x, y) with the given size in the window's pixels. With
// autoStretch nonzero the frame is stretched to the window's size less the two
// offsets whenever the window is resized. 1 on success; 0 (all sprites freed)
// when the window is unknown, the size is not 1..16384 or no renderer exists.
int OpenDisplayInWindow(int64_t parentWindow, int x, int y, int width, int height, int autoStretch,
                        int rightOffset, int bottomOffset, int flipMode);
// Frees every sprite, the renderer and the frame, releases the mouse (input.h)
// and shows the cursor again. Image objects and windows survive. Without an
// open display it does nothing.
void CloseDisplay();
// 1 while a display is open, else 0.
int IsDisplayOpen();
// The open display's size in pixels; 0 without a display.
int DisplayWidth();
int DisplayHeight();

// Paces FlipFrame to fps frames per second. 1 on success; 0 (pacing unchanged)
// when fps < 1.
int SetTargetFrameRate(int fps);
// Switches the frame pacing of FlipFrame off (false) or back on (true); tests
// step frames without waiting. On by default.
void SetFramePacing(bool on);
// 0 = nearest-texel sampling, 1 = bilinear, for every later draw; other values
// do nothing. Nearest after opening a display.
void SetSpriteFiltering(int mode);
// Presents the frame (drained of window events first and after in full
// screen), then paces. Without a display it only paces. The first frame after
// loading also does what EndLoading does.
void FlipFrame();
// Loading is over (pictures, fonts and dialogs made): the pixel buffers and
// the memory kept for it go back to the system, before other threads (the
// music's) start allocating.
void EndLoading();
// 1 while the display can be seen: set when a full-screen display opens or a
// window is shown and activated; cleared by focus loss and minimising, set again
// by focus gain and restoring. 0 without a display.
int IsDisplayFocused();

// ---------------------------------------------------------------------------
// Sprites

// Creation flags.
inline constexpr int kSpriteOpacityMask = 4;  // also keep a byte per pixel: 1 where alpha is 255
inline constexpr int kSpriteKeepAlpha = 8;    // keep the picture's alpha; else black is transparent

// A fully transparent black sprite of width x height (1..16384). The handle
// (AutoId), 1 (a number), or 0 when there is no display or the size is bad.
int CreateBlankSprite(int number, int width, int height);
// Decodes a PNG or BMP of `length` bytes (at most 10,000,000 are read) and makes
// a sprite of its natural size. Without kSpriteKeepAlpha, pixels whose red,
// green and blue are all 0 become transparent and every other pixel opaque. The
// handle, 1, or 0 when the data is not a picture or there is no display; a
// failed numbered creation leaves that number empty.
int SpriteFromImageDataSized(int number, const uint8_t* data, int64_t length, int flags);
// The same for a memory block from AllocBlock (memory.h), whose size the block
// knows; `block` must be such a block or nullptr (0).
int SpriteFromImageData(int number, const uint8_t* block, int flags);
// The same without flags (colour-keyed).
int SpriteFromImageData(int number, const uint8_t* block);
// A new sprite with the source's natural size, flags and pixels, drawn at its
// natural size over the whole texture whatever the source's were. The handle,
// 1, or 0 when the source is absent.
int DuplicateSprite(int source, int number);
// Sets the drawn size; -1 restores that dimension's natural size. Leaves the
// source rectangle alone. Other values below 0 make the call do nothing.
void SetSpriteSize(int sprite, int width, int height);
// A finished picture drawn smaller than its natural size keeps only the pixels
// it is drawn with: its texture is resampled, smoothly, to the drawn size,
// which becomes its natural size. Nothing changes for a sprite drawn at or
// above its natural size, one with a source rectangle, an opacity mask or an
// open canvas, or when the renderer has no room. 1 when it was resampled.
int KeepSpriteAtDrawnSize(int sprite);
// How the sprite is drawn from now on: 0 as it is, 1 mirrored left to right, 2
// upside down, 3 both. Other values do nothing. A new sprite starts at 0.
void SetSpriteMirror(int sprite, int mode);
// The drawn size; 0 for no sprite.
int SpriteDrawWidth(int sprite);
int SpriteDrawHeight(int sprite);
// The part of the texture drawn, in texels; -1 means 0 for x and y and the full
// extent for width and height. Clamped to the texture; the drawn size becomes
// the clamped rectangle's size.
void SetSpriteSourceRect(int sprite, int x, int y, int width, int height);
// Draws with the top-left corner at (x, y), blended by the sprite's alpha.
void DrawSprite(int sprite, int x, int y);
// The same with the sprite's alpha scaled by opacity (clamped to 0..255).
void DrawSpriteAlpha(int sprite, int x, int y, int opacity);
// Draws without blending: the sprite's pixels, alpha included, replace the frame's.
void DrawSpriteOpaque(int sprite, int x, int y);
// Frees one sprite; -1 frees every sprite.
void ReleaseSprite(int sprite);
// 1 when the sprite exists, else 0.
int SpriteExists(int sprite);
// Copies the rectangle of the frame drawn so far into a new sprite. The handle,
// 1, or 0 when the rectangle is empty or reaches outside the display.
int CaptureScreenToSprite(int number, int x, int y, int width, int height);
// Writes the sprite's pixels as an uncompressed 32-bit bottom-up BMP file,
// replacing any file there. 1 on success, 0 when the sprite is absent or the
// file cannot be written completely. With kBitmapOpaque every alpha byte is
// written as 255: a screenshot then shows the frame as it was seen, where
// blending left the frame's alpha below 255 and image viewers would show holes.
inline constexpr int kBitmapOpaque = 1;
int SaveSpriteAsBitmap(int sprite, const std::string& fileName, int flags = 0);
// The canvas target of a sprite for the canvas operations (nonzero), or 0.
int SpriteCanvas(int sprite);

// ---------------------------------------------------------------------------
// Image objects: decoded pictures in memory, always widened to 32 bits

// Decodes a PNG or BMP of `length` bytes. The handle, 1, or 0 when the data is
// not a picture (or larger than 16384 x 16384).
int DecodeImageSized(int number, const uint8_t* data, int64_t length);
// The same for a memory block from AllocBlock (memory.h).
int DecodeImage(int number, const uint8_t* block);
// DecodeImageSized and then ScaleImage with mode 0 to width x height, in one
// pass: a PNG that is not interlaced is resampled row by row as it is decoded,
// so no picture of the natural size is ever held. The pixels are those of the
// two calls in turn. The handle, 1, or 0 when the data is not a picture or the
// size is outside 1..16384.
int DecodeImageScaledSized(int number, const uint8_t* data, int64_t length, int width, int height);
// The width and height a PNG or BMP declares in its header, read without
// decoding the picture: 1, or 0 when the data does not start as one or the
// size is beyond the decoders' limits.
int PictureHeaderSize(const uint8_t* data, int64_t length, int* width, int* height);
// Reads and decodes a picture file. The handle, 1, or 0.
int LoadImageFile(int number, const std::string& fileName);
// The image's size in pixels; 0 for no image.
int ImagePixelWidth(int image);
int ImagePixelHeight(int image);
// Resamples to width x height (-1 keeps a dimension; 1..16384). mode 0 is a
// separable cubic (B = C = 1/3), any other mode nearest pixel. 1 on success
// (also when the size is unchanged), 0 for no image or a bad size.
int ScaleImage(int image, int width, int height, int mode);
// The handle the canvas's BlitImage takes (nonzero), or 0.
int ImageBitmapHandle(int image);
// Frees one image; -1 frees every image.
void ReleaseImage(int image);

// Decoding ahead: reads the named pictures of an open pack (format 4) and
// starts decoding them, in this order, on a worker thread; returns at once.
// DecodeImageSized or SpriteFromImageDataSized given exactly the bytes of one
// of them then takes its picture instead of decoding again: waiting while the
// worker is on it, decoding it there and then when the worker has not got to
// it yet. Results are those of decoding in place. Only a few pictures wait
// decoded at a time. Entries that cannot be read are left out; nothing is
// decoded ahead on a machine with one core. Ends any earlier decoding ahead.
void DecodeAhead(int archive, const std::vector<std::string>& entries);
// Chooses the size a picture is decoded to from its natural width and height.
// Called on the decoding worker: it must only compute from its arguments and
// what it holds.
using PictureSizer = std::function<void(int width, int height, int* toWidth, int* toHeight)>;
// An entry to decode ahead: with a sizer, it is decoded as DecodeImageScaledSized
// would to the size the sizer gives, and taken by that call with that size.
struct DecodeAheadEntry {
    std::string entry;
    PictureSizer sizer;
};
void DecodeAhead(int archive, const std::vector<DecodeAheadEntry>& entries);
// Stops the worker and drops every picture decoded ahead and not taken. The
// canvases and textures made on this thread after it reuse one another's
// memory until EndLoading or the next frame shown.
void EndDecodeAhead();

// ---------------------------------------------------------------------------
// Windows, events, cursors, message box

// OpenAppWindow flags.
inline constexpr int kWindowCentre = 0x1;            // centre on display 0
inline constexpr int kWindowCentreOnParent = 0x2;    // no owners here: ignored
inline constexpr int kWindowToolFrame = 0x4;         // a utility window
inline constexpr int kWindowNoDefaultFont = 0x8;     // nothing to attach here: ignored
inline constexpr int kWindowHidden = 0x10000000;     // shown later by SetAppWindowHidden
inline constexpr int kWindowNoActivate = 0x2000000;  // show without activating
inline constexpr int kWindowMaximised = 0x1000000;
inline constexpr int kWindowMinimised = 0x20000000;
inline constexpr int kWindowTitleBar = 0xC00000;
inline constexpr int kWindowSizingFrame = 0x40000;  // the user may resize it
inline constexpr int kWindowNoFrame = static_cast<int>(0x80000000u);

// Opens a window with a client area of width x height pixels (the window
// system's own pixels: no further scaling for the desktop's DPI) at (x, y), or
// centred on display 0 with kWindowCentre (the size is clamped to the display
// only to compute that position). Flags without kWindowNoFrame, or with a title
// bar, get a title bar. The handle, 1, or 0 when the size is not 1..16384 or
// the window cannot be made.
int OpenAppWindow(int number, int x, int y, int width, int height, const std::string& title,
                  int flags);
// The value OpenDisplayInWindow takes for this window (nonzero), or 0.
int64_t NativeWindowHandle(int window);
// Closes a window (closing the display first when it is inside); -1 closes all.
void CloseAppWindow(int window);
// 1 when the window exists, else 0.
int AppWindowExists(int window);
// hidden 1 hides the window; 0 shows it in its last state and activates it.
void SetAppWindowHidden(int window, int hidden);
// Raises the window and gives it the input focus.
void ActivateAppWindow(int window);
// kWindowMaximised maximises, kWindowMinimised minimises, 0 restores.
void SetAppWindowState(int window, int state);
// Sets the window's icon from a PNG or BMP of `length` bytes. 1 on success, 0.
int SetAppWindowIcon(int window, const uint8_t* data, int64_t length);
// The cursor position in the window's client area from the latest mouse event,
// or -1 when the cursor is outside it or the window is absent.
int WindowCursorX(int window);
int WindowCursorY(int window);

// Event codes of PollWindowEvent.
inline constexpr int kEventControl = 13100;
inline constexpr int kEventMenu = 13101;
inline constexpr int kEventActivated = 13104;
inline constexpr int kEventMinimised = 13107;
inline constexpr int kEventMaximised = 13108;
inline constexpr int kEventRestored = 13109;
inline constexpr int kEventTimer = 13110;
inline constexpr int kEventRightClick = 13111;
inline constexpr int kEventLeftClick = 13112;
inline constexpr int kEventLeftDoubleClick = 13113;
inline constexpr int kEventDeactivated = 13114;
inline constexpr int kEventRepaint = 13115;
inline constexpr int kEventClose = 13116;
inline constexpr int kEventMoved = 13117;
inline constexpr int kEventSized = 13118;
// The screen itself changed size (a page resized, a phone turned): the
// desktop size reads anew, and a display covering the screen must follow it.
inline constexpr int kEventScreenResized = 13119;
// Returned when a system event was handled but queued nothing yet.
inline constexpr int kEventOther = 1;

// 1 when the program was asked to end since the last call (SIGTERM, SIGINT,
// SIGHUP once the video system runs, or the system's quit event), in every
// display mode: full screen reads no window events. Else 0.
int TakeQuitRequest();

// The oldest queued event code. When the queue is empty, handles one pending
// system event (keys and mouse feed input.h; window events queue codes) and
// returns kEventOther; 0 when nothing was pending.
int PollWindowEvent();

// Loads a Windows cursor file (an icon container of type 2 holding a PNG or a
// 32-bit bitmap, hotspot in its directory entry). The cursor handle (nonzero),
// or 0 when the file is missing or not a cursor.
int LoadCursorFile(const std::string& fileName);
// The same from `length` bytes in memory.
int LoadCursorData(const uint8_t* data, int64_t length);
// Makes the cursor the one shown over the engine's windows; 0 (or an unknown
// cursor) restores the system's default arrow.
void SetAppWindowCursor(int window, int cursor);
// Frees a cursor (the default arrow returns when it was shown); -1 frees all.
void ReleaseCursor(int cursor);

// Message box button sets (flags & 0xF) and results.
inline constexpr int kMessageBoxOk = 0;
inline constexpr int kMessageBoxOkCancel = 1;
inline constexpr int kMessageBoxYesNo = 4;
inline constexpr int kMessageBoxIconError = 0x10;
inline constexpr int kMessageBoxIconWarning = 0x30;
inline constexpr int kMessageBoxIconInformation = 0x40;
// The box before the program ends: from here on SIGTERM, SIGINT and SIGHUP end
// the program at once rather than wait, unread, behind a box nobody answers.
inline constexpr int kMessageBoxFatal = 0x01000000;
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// Writes "title: text" to standard error and shows a modal box. The button
// pressed (kResult...); under a video driver with no screen (dummy, offscreen)
// no box, and the first button's result at once; 0 when no box could be shown.
int ShowMessageBox(const std::string& title, const std::string& text, int flags);

}  // namespace engine
