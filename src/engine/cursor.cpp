// Window cursors from Windows cursor files: an icon container of type 2 whose
// directory entries carry the hotspot, each image a PNG or a device-independent
// bitmap (32 bits with alpha, or 24 bits with the AND mask for transparency).
// The largest image that decodes becomes an SDL colour cursor.
#include <SDL.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "engine/display.h"
#include "engine/display_internal.h"
#include "engine/platform/platform.h"

namespace engine {
namespace detail {

namespace {

constexpr int kMaxCursorSide = 1024;
constexpr int kMaxEntries = 64;

uint32_t U32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// A bitmap image of a cursor: header, colour rows, then the 1-bit AND mask,
// both bottom-up; the header's height counts both.
bool DecodeCursorBitmap(const uint8_t* data, size_t size, Picture* out) {
    if (size < 40) return false;
    uint32_t header = U32(data);
    int32_t width = static_cast<int32_t>(U32(data + 4));
    int32_t double_height = static_cast<int32_t>(U32(data + 8));
    uint16_t bits = U16(data + 14);
    uint32_t compression = U32(data + 16);
    if (header < 40 || header > size || U16(data + 12) != 1 || compression != 0) return false;
    if (bits != 32 && bits != 24) return false;
    if (width < 1 || width > kMaxCursorSide || double_height < 2 ||
        double_height > 2 * kMaxCursorSide) {
        return false;
    }
    int height = double_height / 2;
    size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    size_t mask_stride = (size_t(width) + 31) / 32 * 4;
    size_t colour_end = header + stride * height;
    if (colour_end > size) return false;
    bool has_mask = colour_end + mask_stride * height <= size;
    if (bits == 24 && !has_mask) return false;

    out->width = width;
    out->height = height;
    out->bgra.assign(size_t(width) * height * 4, 0);
    bool any_alpha = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = data + header + stride * size_t(height - 1 - y);
        uint8_t* dst = out->bgra.data() + size_t(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            dst[x * 4 + 0] = src[x * (bits / 8) + 0];
            dst[x * 4 + 1] = src[x * (bits / 8) + 1];
            dst[x * 4 + 2] = src[x * (bits / 8) + 2];
            dst[x * 4 + 3] = bits == 32 ? src[x * 4 + 3] : 0;
            any_alpha = any_alpha || dst[x * 4 + 3] != 0;
        }
    }
    // Old-style images have no alpha: the AND mask says which pixels show.
    if (!any_alpha) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* mask =
                has_mask ? data + colour_end + mask_stride * size_t(height - 1 - y) : nullptr;
            uint8_t* dst = out->bgra.data() + size_t(y) * width * 4;
            for (int x = 0; x < width; ++x) {
                bool transparent = mask && ((mask[x / 8] >> (7 - x % 8)) & 1);
                dst[x * 4 + 3] = transparent ? 0 : 255;
            }
        }
    }
    return true;
}

struct CursorObject {
    SDL_Cursor* cursor = nullptr;
    ~CursorObject() {
        if (cursor && Display().video_ready) SDL_FreeCursor(cursor);
    }
};

ObjectTable<CursorObject>& Cursors() {
    static auto* table = new ObjectTable<CursorObject>;  // never destroyed: no exit-order issues
    return *table;
}

}  // namespace

bool ParseCursorFile(const uint8_t* data, size_t size, CursorPicture* out) {
    *out = CursorPicture{};
    if (!data || size < 6 || U16(data) != 0 || U16(data + 2) != 2) return false;
    int count = U16(data + 4);
    if (count < 1 || count > kMaxEntries || size < 6 + size_t(count) * 16) return false;
    bool found = false;
    int best_width = 0;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = data + 6 + i * 16;
        int entry_width = entry[0] ? entry[0] : 256;
        if (found && entry_width <= best_width) continue;
        uint32_t length = U32(entry + 8);
        uint32_t offset = U32(entry + 12);
        if (offset >= size || length == 0) continue;
        if (length > size - offset) length = static_cast<uint32_t>(size - offset);
        const uint8_t* image = data + offset;
        CursorPicture candidate;
        bool ok = false;
        if (length >= 8 && image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' &&
            image[3] == 'G') {
            ok = DecodePng(image, length, &candidate.picture) &&
                 candidate.picture.width <= kMaxCursorSide &&
                 candidate.picture.height <= kMaxCursorSide;
        } else {
            ok = DecodeCursorBitmap(image, length, &candidate.picture);
        }
        if (!ok) continue;
        candidate.hot_x = std::min<int>(U16(entry + 4), candidate.picture.width - 1);
        candidate.hot_y = std::min<int>(U16(entry + 6), candidate.picture.height - 1);
        *out = std::move(candidate);
        best_width = entry_width;
        found = true;
    }
    return found;
}

}  // namespace detail

int LoadCursorData(const uint8_t* data, int64_t length) {
    detail::CursorPicture parsed;
    if (!detail::Display().video_ready || !data || length < 1 ||
        !detail::ParseCursorFile(data, static_cast<size_t>(length), &parsed)) {
        return 0;
    }
    detail::Picture& p = parsed.picture;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        p.bgra.data(), p.width, p.height, 32, p.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) return 0;
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, parsed.hot_x, parsed.hot_y);
    SDL_FreeSurface(surface);
    if (!cursor) return 0;
    auto object = std::make_unique<detail::CursorObject>();
    object->cursor = cursor;
    return detail::Cursors().Insert(AutoId, std::move(object));
}

int LoadCursorFile(const std::string& fileName) {
    // A cursor file is a few kilobytes; a large file is not one.
    std::vector<uint8_t> bytes;
    if (!os::ReadFileBytes(fileName, uint64_t{16} << 20, &bytes)) return 0;
    return LoadCursorData(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void SetAppWindowCursor(int window, int cursor) {
    if (!detail::Display().video_ready || !AppWindowExists(window)) return;
    detail::CursorObject* c = detail::Cursors().Get(cursor);
    SDL_SetCursor(c ? c->cursor : SDL_GetDefaultCursor());
}

void ReleaseCursor(int cursor) {
    if (cursor == -1) {
        detail::Cursors().ReleaseAll();
    } else {
        detail::Cursors().Release(cursor);
    }
}

}  // namespace engine
