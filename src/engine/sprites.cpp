// Sprites: textures with a drawn size and a source rectangle, drawn into the
// display's frame.
//
// Every sprite texture is a render target, so that duplicating a sprite, or
// capturing the frame, is a copy on the graphics side and reading a sprite back
// (for a canvas or a saved bitmap) needs no pixel copy kept in memory. The CPU
// copy exists only while a canvas is open on the sprite.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/memory.h"
#include "engine/picture_decode.h"
#include "engine/pixels_internal.h"
#include "engine/platform/platform.h"

namespace engine {
namespace detail {

Sprite::~Sprite() {
    // The renderer destroys its textures itself when it goes first.
    if (texture && Display().renderer) {
        BeforeTextureChange(texture);
        SDL_DestroyTexture(texture);
    }
}

ObjectTable<Sprite>& Sprites() {
    static auto* table = new ObjectTable<Sprite>;  // never destroyed: no exit-order issues
    return *table;
}

SDL_Texture* CreateSpriteTexture(int width, int height) {
    auto& d = Display();
    if (!d.renderer || width < 1 || height < 1 || width > kMaxPictureSide ||
        height > kMaxPictureSide) {
        return nullptr;
    }
    return SDL_CreateTexture(d.renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, width,
                             height);
}

bool ReadTexturePixels(SDL_Texture* texture, int width, int height, std::vector<uint8_t>* out) {
    auto& d = Display();
    if (!d.renderer || !texture) return false;
    // Every byte is read over: a buffer an earlier picture gave back serves,
    // unzeroed (building the dialogs reads dozens of pictures back).
    try {
        *out = TakePixels(size_t(width) * size_t(height) * 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    bool ok = SDL_SetRenderTarget(d.renderer, texture) == 0 &&
              SDL_RenderReadPixels(d.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out->data(),
                                   width * 4) == 0;
    SDL_SetRenderTarget(d.renderer, d.frame);
    if (!ok) out->clear();
    return ok;
}

uint64_t NextSpriteVersion() {
    static uint64_t version = 0;
    return ++version;
}

void ResetFrameDraws() {
    auto& d = Display();
    d.frame_draws.clear();
    d.frame_rendered = 0;
    d.shown_draws.clear();
    d.window_stale = true;
}

void RenderFrameDraws() {
    auto& d = Display();
    if (d.frame_rendered >= d.frame_draws.size()) return;
    if (!d.renderer || !d.frame) {
        d.frame_draws.clear();
        d.frame_rendered = 0;
        return;
    }
    SDL_SetRenderTarget(d.renderer, d.frame);
    if (d.frame_rendered == 0) {
        SDL_SetRenderDrawColor(d.renderer, 0, 0, 0, 255);
        SDL_RenderClear(d.renderer);
    }
    for (size_t i = d.frame_rendered; i < d.frame_draws.size(); ++i) {
        const FrameDraw& f = d.frame_draws[i];
        SDL_SetTextureBlendMode(f.texture, f.blend);
        SDL_SetTextureAlphaMod(f.texture, f.opacity);
        SDL_SetTextureScaleMode(f.texture, f.scale);
        if (f.mirror == SDL_FLIP_NONE) {
            SDL_RenderCopyF(d.renderer, f.texture, &f.source, &f.dest);
        } else {
            SDL_RenderCopyExF(d.renderer, f.texture, &f.source, &f.dest, 0.0, nullptr, f.mirror);
        }
    }
    d.frame_rendered = d.frame_draws.size();
}

void BeforeTextureChange(SDL_Texture* texture) {
    auto& d = Display();
    for (size_t i = d.frame_rendered; i < d.frame_draws.size(); ++i) {
        if (d.frame_draws[i].texture == texture) {
            RenderFrameDraws();
            return;
        }
    }
}

namespace {

// Copies `source` (all of it, or `rect`) onto the whole of `target`, replacing
// its pixels.
bool CopyTexture(SDL_Texture* source, const SDL_Rect* rect, SDL_Texture* target) {
    auto& d = Display();
    if (source == d.frame) RenderFrameDraws();
    BeforeTextureChange(target);
    bool ok = SDL_SetRenderTarget(d.renderer, target) == 0;
    if (ok) {
        SDL_SetTextureBlendMode(source, SDL_BLENDMODE_NONE);
        SDL_SetTextureAlphaMod(source, 255);
        SDL_SetTextureColorMod(source, 255, 255, 255);
        SDL_SetTextureScaleMode(source, SDL_ScaleModeNearest);
        ok = SDL_RenderCopy(d.renderer, source, rect, nullptr) == 0;
    }
    SDL_SetRenderTarget(d.renderer, d.frame);
    return ok;
}

void FillOpacityMask(Sprite* s, const uint8_t* bgra) {
    size_t count = size_t(s->natural_w) * size_t(s->natural_h);
    s->opacity_mask.resize(count);
    for (size_t i = 0; i < count; ++i)
        s->opacity_mask[i] = bgra[i * 4 + 3] == 255 ? 1 : 0;
}

std::unique_ptr<Sprite> NewSprite(SDL_Texture* texture, int width, int height, int flags) {
    auto s = std::make_unique<Sprite>();
    s->texture = texture;
    s->version = NextSpriteVersion();
    s->natural_w = s->drawn_w = width;
    s->natural_h = s->drawn_h = height;
    s->flags = flags;
    s->source = SDL_Rect{0, 0, width, height};
    return s;
}

// Stores a new sprite under `number`; a failed creation leaves the number empty.
int StoreSprite(int number, std::unique_ptr<Sprite> sprite) {
    if (!sprite) {
        if (number != AutoId) Sprites().Release(number);
        return 0;
    }
    return Sprites().Insert(number, std::move(sprite));
}

// Without kSpriteKeepAlpha only pure black is transparent, everything else opaque.
void ColourKey(Picture* picture) {
    uint8_t* p = picture->bgra.data();
    size_t count = size_t(picture->width) * size_t(picture->height);
    for (size_t i = 0; i < count; ++i, p += 4)
        p[3] = (p[0] | p[1] | p[2]) ? 255 : 0;
}

std::unique_ptr<Sprite> SpriteFromPicture(Picture* picture, int flags) {
    if (!(flags & kSpriteKeepAlpha)) ColourKey(picture);
    SDL_Texture* texture = CreateSpriteTexture(picture->width, picture->height);
    if (!texture) return nullptr;
    auto s = NewSprite(texture, picture->width, picture->height, flags);
    if (SDL_UpdateTexture(texture, nullptr, picture->bgra.data(), picture->width * 4) != 0) {
        return nullptr;
    }
    if (flags & kSpriteOpacityMask) FillOpacityMask(s.get(), picture->bgra.data());
    return s;
}

void Draw(int sprite, int x, int y, int opacity, bool blend) {
    auto& d = Display();
    Sprite* s = Sprites().Get(sprite);
    if (!s || !d.renderer || !d.frame) return;
    // Wholly off the display: no work at all.
    if (x >= d.width || y >= d.height || x <= -s->drawn_w || y <= -s->drawn_h) return;
    if (s->drawn_w < 1 || s->drawn_h < 1 || s->source.w < 1 || s->source.h < 1) return;
    FrameDraw f;
    f.texture = s->texture;
    f.version = s->version;
    f.source = s->source;
    // SDL's pixel centres lie at +0.5, so the rectangle (x, y, drawn size) is
    // the quad whose corners sit half a pixel outside the first and last pixel
    // centres: at natural size each texel lands on exactly one pixel.
    f.dest = SDL_FRect{static_cast<float>(x), static_cast<float>(y), static_cast<float>(s->drawn_w),
                       static_cast<float>(s->drawn_h)};
    f.blend = blend ? d.blend : SDL_BLENDMODE_NONE;
    f.opacity = static_cast<Uint8>(opacity < 0 ? 0 : opacity > 255 ? 255 : opacity);
    f.scale = d.filter ? SDL_ScaleModeLinear : SDL_ScaleModeNearest;
    f.mirror = s->mirror;
    d.frame_draws.push_back(f);
}

void PutU16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// Writes the sprite's pixels as a 32-bit bottom-up BMP. Throws std::bad_alloc
// when memory runs out.
bool SaveBitmap(Sprite* s, const std::string& fileName, bool opaque) {
    if (!s) return false;
    std::vector<uint8_t> pixels;
    if (s->canvas_open) {
        pixels = s->canvas;
    } else if (!ReadTexturePixels(s->texture, s->natural_w, s->natural_h, &pixels)) {
        return false;
    }
    uint32_t row = uint32_t(s->natural_w) * 4;
    uint32_t image_size = row * uint32_t(s->natural_h);
    std::vector<uint8_t> file;
    file.reserve(54 + image_size);
    file.push_back('B');
    file.push_back('M');
    PutU32(&file, 54 + image_size);  // file size
    PutU32(&file, 0);                // reserved
    PutU32(&file, 54);               // pixel data offset
    PutU32(&file, 40);               // information header size
    PutU32(&file, uint32_t(s->natural_w));
    PutU32(&file, uint32_t(s->natural_h));  // positive: rows run bottom-up
    PutU16(&file, 1);                       // planes
    PutU16(&file, 32);                      // bits per pixel
    PutU32(&file, 0);                       // no compression
    PutU32(&file, image_size);
    PutU32(&file, 0);  // horizontal resolution
    PutU32(&file, 0);  // vertical resolution
    PutU32(&file, 0);  // colours used
    PutU32(&file, 0);  // important colours
    for (int y = s->natural_h - 1; y >= 0; --y) {
        const uint8_t* src = pixels.data() + size_t(y) * row;
        file.insert(file.end(), src, src + row);
        if (opaque) {
            for (size_t a = file.size() - row + 3; a < file.size(); a += 4)
                file[a] = 255;
        }
    }
    const int fd = os::OpenRegular(fileName, os::kWrite | os::kCreate | os::kTruncate);
    if (fd < 0) return false;
    bool ok = os::WriteAll(fd, file.data(), file.size());
    ok = os::Close(fd) && ok;
    if (!ok) os::RemoveFile(fileName, false);
    return ok;
}

}  // namespace

namespace {

// True when the sprite is drawn whole at a size smaller than its texture.
bool ShrinksWhenKept(const Sprite& s) {
    const int w = s.drawn_w, h = s.drawn_h;
    if (w < 1 || h < 1 || w > s.natural_w || h > s.natural_h ||
        (w == s.natural_w && h == s.natural_h)) {
        return false;
    }
    return s.source.x == 0 && s.source.y == 0 && s.source.w == s.natural_w &&
           s.source.h == s.natural_h;
}

// The sprite's texture replaced by `picture` (its natural size) resampled to
// the drawn size. False when the renderer or memory has no room; the picture
// is then as it was unless the upload itself failed.
bool ReplaceTextureAtDrawnSize(Sprite* s, Picture* picture) {
    const int w = s->drawn_w, h = s->drawn_h;
    SDL_Texture* texture = CreateSpriteTexture(w, h);
    if (!texture) return false;
    if (!ResamplePicture(picture, w, h) ||
        SDL_UpdateTexture(texture, nullptr, picture->bgra.data(), w * 4) != 0) {
        SDL_DestroyTexture(texture);
        return false;
    }
    BeforeTextureChange(s->texture);
    SDL_DestroyTexture(s->texture);
    s->texture = texture;
    s->version = NextSpriteVersion();
    s->natural_w = w;
    s->natural_h = h;
    s->source = SDL_Rect{0, 0, w, h};
    return true;
}

}  // namespace

bool LockCanvasTarget(int target, PixelView* out) {
    Sprite* s = Sprites().Get(IdFromToken(target));
    if (!s) return false;
    if (!s->canvas_open) {
        if (s->known_blank) {
            try {
                s->canvas = TakePixels(size_t(s->natural_w) * size_t(s->natural_h) * 4);
            } catch (const std::bad_alloc&) {
                return false;
            }
            std::fill(s->canvas.begin(), s->canvas.end(), 0);
        } else if (!ReadTexturePixels(s->texture, s->natural_w, s->natural_h, &s->canvas)) {
            return false;
        }
        s->canvas_open = true;
    }
    out->bgra = s->canvas.data();
    out->width = s->natural_w;
    out->height = s->natural_h;
    out->pitch = s->natural_w * 4;
    return true;
}

void UnlockCanvasTarget(int target) {
    Sprite* s = Sprites().Get(IdFromToken(target));
    if (!s || !s->canvas_open) return;
    Picture pixels;
    pixels.width = s->natural_w;
    pixels.height = s->natural_h;
    pixels.bgra = std::move(s->canvas);
    // Kept at its drawn size: the small texture replaces the upload (a sprite
    // whose size or source changed meanwhile is uploaded whole instead).
    const bool kept = s->keep_at_drawn_size && ShrinksWhenKept(*s) && s->opacity_mask.empty() &&
                      ReplaceTextureAtDrawnSize(s, &pixels);
    s->keep_at_drawn_size = false;
    if (!kept && pixels.width == s->natural_w && pixels.height == s->natural_h) {
        BeforeTextureChange(s->texture);
        SDL_UpdateTexture(s->texture, nullptr, pixels.bgra.data(), s->natural_w * 4);
        s->version = NextSpriteVersion();
        if (s->flags & kSpriteOpacityMask) FillOpacityMask(s, pixels.bgra.data());
    }
    // Only open canvases cost memory; the buffer serves the next one.
    GivePixels(std::move(pixels.bgra));
    s->canvas.clear();
    s->canvas_open = false;
    s->known_blank = false;
}

}  // namespace detail

using detail::Display;
using detail::Sprite;
using detail::Sprites;

int CreateBlankSprite(int number, int width, int height) {
    auto& d = Display();
    SDL_Texture* texture = detail::CreateSpriteTexture(width, height);
    std::unique_ptr<Sprite> s;
    if (texture) {
        s = detail::NewSprite(texture, width, height, 0);
        bool ok = SDL_SetRenderTarget(d.renderer, texture) == 0;
        SDL_SetRenderDrawColor(d.renderer, 0, 0, 0, 0);
        ok = ok && SDL_RenderClear(d.renderer) == 0;
        SDL_SetRenderTarget(d.renderer, d.frame);
        s->known_blank = true;
        if (!ok) s.reset();
    }
    return detail::StoreSprite(number, std::move(s));
}

int SpriteFromImageDataSized(int number, const uint8_t* data, int64_t length, int flags) {
    constexpr int64_t kMaxRead = 10'000'000;
    detail::Picture picture;
    std::unique_ptr<Sprite> s;
    if (data && length > 0 && Display().renderer &&
        detail::DecodeOrTakeAhead(data, static_cast<size_t>(std::min(length, kMaxRead)), 0, 0,
                                  &picture)) {
        s = detail::SpriteFromPicture(&picture, flags);
    }
    detail::GivePixels(std::move(picture.bgra));  // uploaded: its buffer serves the next picture
    return detail::StoreSprite(number, std::move(s));
}

int SpriteFromImageData(int number, const uint8_t* block, int flags) {
    return SpriteFromImageDataSized(number, block, BlockSize(block), flags);
}

int SpriteFromImageData(int number, const uint8_t* block) {
    return SpriteFromImageData(number, block, 0);
}

namespace detail {
namespace {
bool fail_copies = false;
}  // namespace
void FailSpriteCopiesForTesting(bool fail) {
    fail_copies = fail;
}
}  // namespace detail

int DuplicateSprite(int source, int number) {
    Sprite* src = Sprites().Get(source);
    std::unique_ptr<Sprite> s;
    if (src && !detail::fail_copies) {
        SDL_Texture* texture = detail::CreateSpriteTexture(src->natural_w, src->natural_h);
        if (texture) {
            s = detail::NewSprite(texture, src->natural_w, src->natural_h, src->flags);
            s->opacity_mask = src->opacity_mask;
            s->known_blank = src->known_blank;
            // An open canvas holds the newest pixels.
            bool ok = src->canvas_open ? SDL_UpdateTexture(texture, nullptr, src->canvas.data(),
                                                           src->natural_w * 4) == 0
                                       : detail::CopyTexture(src->texture, nullptr, texture);
            if (!ok) s.reset();
        }
    }
    return detail::StoreSprite(number, std::move(s));
}

void SetSpriteSize(int sprite, int width, int height) {
    Sprite* s = Sprites().Get(sprite);
    if (!s || width < -1 || height < -1) return;
    s->drawn_w = width == -1 ? s->natural_w : width;
    s->drawn_h = height == -1 ? s->natural_h : height;
}

int KeepSpriteAtDrawnSize(int sprite) {
    Sprite* s = Sprites().Get(sprite);
    if (!s || !s->texture || !s->opacity_mask.empty() || !detail::ShrinksWhenKept(*s)) return 0;
    // An open canvas holds the pixels already: they are resampled as it closes.
    if (s->canvas_open) {
        s->keep_at_drawn_size = true;
        return 1;
    }
    detail::Picture picture;
    picture.width = s->natural_w;
    picture.height = s->natural_h;
    if (!detail::ReadTexturePixels(s->texture, picture.width, picture.height, &picture.bgra)) {
        return 0;
    }
    const bool kept = detail::ReplaceTextureAtDrawnSize(s, &picture);
    detail::GivePixels(std::move(picture.bgra));
    return kept ? 1 : 0;
}

void SetSpriteMirror(int sprite, int mode) {
    Sprite* s = Sprites().Get(sprite);
    if (!s || mode < 0 || mode > 3) return;
    s->mirror = static_cast<SDL_RendererFlip>(((mode & 1) ? SDL_FLIP_HORIZONTAL : 0) |
                                              ((mode & 2) ? SDL_FLIP_VERTICAL : 0));
}

int SpriteDrawWidth(int sprite) {
    Sprite* s = Sprites().Get(sprite);
    return s ? s->drawn_w : 0;
}

int SpriteDrawHeight(int sprite) {
    Sprite* s = Sprites().Get(sprite);
    return s ? s->drawn_h : 0;
}

void SetSpriteSourceRect(int sprite, int x, int y, int width, int height) {
    Sprite* s = Sprites().Get(sprite);
    if (!s) return;
    auto clamp = [](int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; };
    x = x == -1 ? 0 : clamp(x, 0, s->natural_w);
    y = y == -1 ? 0 : clamp(y, 0, s->natural_h);
    width = width == -1 ? s->natural_w - x : clamp(width, 0, s->natural_w - x);
    height = height == -1 ? s->natural_h - y : clamp(height, 0, s->natural_h - y);
    s->source = SDL_Rect{x, y, width, height};
    s->drawn_w = width;
    s->drawn_h = height;
}

void DrawSprite(int sprite, int x, int y) {
    detail::Draw(sprite, x, y, 255, true);
}

void DrawSpriteAlpha(int sprite, int x, int y, int opacity) {
    detail::Draw(sprite, x, y, opacity, true);
}

void DrawSpriteOpaque(int sprite, int x, int y) {
    detail::Draw(sprite, x, y, 255, false);
}

void ReleaseSprite(int sprite) {
    if (sprite == -1) {
        Sprites().ReleaseAll();
    } else {
        Sprites().Release(sprite);
    }
}

int SpriteExists(int sprite) {
    return Sprites().Get(sprite) ? 1 : 0;
}

int CaptureScreenToSprite(int number, int x, int y, int width, int height) {
    auto& d = Display();
    std::unique_ptr<Sprite> s;
    if (d.renderer && x >= 0 && y >= 0 && width >= 1 && height >= 1 && width <= d.width - x &&
        height <= d.height - y) {
        SDL_Texture* texture = detail::CreateSpriteTexture(width, height);
        if (texture) {
            s = detail::NewSprite(texture, width, height, kSpriteKeepAlpha);
            SDL_Rect rect{x, y, width, height};
            if (!detail::CopyTexture(d.frame, &rect, texture)) s.reset();
        }
    }
    return detail::StoreSprite(number, std::move(s));
}

int SaveSpriteAsBitmap(int sprite, const std::string& fileName, int flags) {
    try {
        return detail::SaveBitmap(Sprites().Get(sprite), fileName, (flags & kBitmapOpaque) != 0)
                   ? 1
                   : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int SpriteCanvas(int sprite) {
    return Sprites().Get(sprite) ? detail::TokenFromId(sprite) : 0;
}

}  // namespace engine
