// Internal to the engine: decoding pictures and cursor files from memory.
// Free of library types, so that tests and fuzz targets can reach it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine::detail {

// Largest picture side the engine accepts (decoders, sprites, images, windows).
inline constexpr int kMaxPictureSide = 16384;

// A decoded picture: width x height pixels, rows of width * 4 bytes, blue,
// green, red, alpha.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bgra;
};

// Decodes a PNG (every colour type, bit depth and interlace) or a BMP (24 or 32
// bits) held in `size` bytes. False, with `out` empty, when the data is not such
// a picture, is truncated, or claims more pixels than kMaxPictureSide squared
// or than the data can hold.
bool DecodePicture(const uint8_t* data, size_t size, Picture* out);
// DecodePicture, then resampled to width x height with ScaleImage's smooth
// filter; a non-interlaced PNG is resampled row by row as it is decoded, with
// no picture at the natural size in between. 0 x 0 keeps the natural size.
bool DecodePictureScaled(const uint8_t* data, size_t size, int width, int height, Picture* out);
// Resamples a decoded picture to width x height with ScaleImage's smooth
// filter. False, with the picture as it was, when the size is out of range or
// memory runs out.
bool ResamplePicture(Picture* picture, int width, int height);
// The width and height the PNG or BMP header declares, when the limits allow them.
bool PictureSizeFromHeader(const uint8_t* data, size_t size, int* width, int* height);
// DecodePictureScaled, or the picture decoded ahead for exactly these bytes and
// this size (DecodeAhead in display.h).
bool DecodeOrTakeAhead(const uint8_t* data, size_t size, int width, int height, Picture* out);
// Pixel buffers for pictures: Take gives `bytes` bytes of unspecified content,
// from a buffer an earlier picture gave back where one is large enough; Give
// hands one back (a few are kept); Drop frees those kept (true when there
// were any). They are dropped when a frame is shown: they serve a burst of
// loading, not play.
std::vector<uint8_t> TakePixels(size_t bytes);
void GivePixels(std::vector<uint8_t>&& buffer);
bool DropSparePixels();
bool DecodePng(const uint8_t* data, size_t size, Picture* out);
bool DecodeBmp(const uint8_t* data, size_t size, Picture* out);
// Lowers the largest pixel count the decoders accept (fuzzing keeps inputs
// small this way); kMaxPictureSide squared by default.
void SetPictureLimitForTesting(int64_t pixels);
// The largest block libpng asked for during this thread's last DecodePng.
size_t LargestPngRequestForTesting();
// Makes ScaleImage use its portable integer code instead of the SIMD
// one where the machine has it; both give the same bytes.
void UsePortableScalingForTesting(bool portable);
// While set, every DuplicateSprite fails as when the renderer runs out of
// texture memory: the copy's number is left empty.
void FailSpriteCopiesForTesting(bool fail);

// A cursor picture and its hotspot.
struct CursorPicture {
    Picture picture;
    int hot_x = 0;
    int hot_y = 0;
};
// Parses a Windows cursor file. False when it is not one.
bool ParseCursorFile(const uint8_t* data, size_t size, CursorPicture* out);

}  // namespace engine::detail
