// Fonts: registration of TrueType files, font objects, text layout and glyph
// coverage, all with FreeType.
//
// InstallPrivateFont reads a file into memory and records each face in it under
// its family name and style. LoadFontFace picks a registered face by name (the
// matching bold/italic style when the family has one, otherwise the regular
// face with the style synthesised), opens its own FT_Face on the shared bytes
// and sets the em to size * DPI / 72 pixels. The text cell follows the OS/2
// table's Windows ascent and descent, which is what the game's layout expects
// of a text extent.
//
// A character the face has no glyph for is taken from another installed family
// (the first one registered that has it, in registration order): the companion
// face is opened at the em that gives it the same cap height, and shares the
// font's baseline. Layout, measuring and drawing all use the same choice, so a
// text is measured exactly as it is drawn.
//
// Canvases select fonts by a native handle, a process-unique number; a font
// freed while selected stays alive until the canvas lets go of it.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <unordered_map>

#include "engine/canvas.h"
#include "engine/canvas_internal.h"
#include "engine/object_table.h"
#include "engine/platform/platform.h"

namespace engine {

namespace detail {

namespace {

using Bytes = std::vector<uint8_t>;

// A face of a registered file.
struct RegisteredFace {
    std::string family;
    bool bold = false;
    bool italic = false;
    std::shared_ptr<const Bytes> bytes;
    long index = 0;
};

// Files a font file may not exceed: far beyond any real font, small enough to read.
constexpr uint64_t kMaxFontFile = 64 << 20;
// Ems beyond this are refused: a glyph bitmap of that size is already 1 MB.
constexpr int kMaxEm = 1024;
// The slant of synthesised italics (about 12 degrees), in 16.16.
constexpr FT_Fixed kObliqueShear = 0x0366A;

// Fonts that stand in for an unknown face when nothing is installed.
constexpr const char* kSystemFonts[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
    "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf",
};

struct Library {
    FT_Library library = nullptr;
    Library() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~Library() {
        if (library) FT_Done_FreeType(library);
    }
};

}  // namespace

struct FontFace {
    FT_Face face = nullptr;
    std::shared_ptr<const Bytes> bytes;  // FreeType reads the face from these
    int native = 0;
    int em = 0;
    int ascent = 0;
    int descent = 0;
    int flags = 0;
    bool synth_bold = false;
    bool synth_italic = false;
    FT_Pos bold_strength = 0;  // 26.6
    int overhang = 0;          // pixels added to the width of italic text
    int underline_y = 0;       // rows below the baseline; thickness in rows
    int underline_size = 0;
    int strike_y = 0;  // rows above the baseline
    int strike_size = 0;
    std::unordered_map<FT_UInt, FT_Pos> advances;  // 26.6, synthesis included
    std::string family;
    // Faces of the other installed families, opened at the first character
    // this face lacks; scaled to this face's cap height.
    std::vector<std::shared_ptr<FontFace>> fallbacks;
    bool fallbacks_opened = false;

    ~FontFace();
};

namespace {

struct FontState;
FontState& Fonts();

// A font object of the table. Freeing it withdraws its native handle at once,
// though a canvas that selected the face keeps it alive until it lets go.
struct FontObject {
    std::shared_ptr<FontFace> face;
    FontObject() = default;
    FontObject(const FontObject&) = delete;
    FontObject& operator=(const FontObject&) = delete;
    ~FontObject();
};

struct FontState {
    // Declared first so it is destroyed last, after every face.
    Library library;
    std::map<int, std::weak_ptr<FontFace>> by_handle;
    std::vector<RegisteredFace> installed;
    std::vector<RegisteredFace> system;
    bool system_scanned = false;
    int dpi = 96;
    int next_native = 1;
    std::shared_ptr<FontFace> gui_font;
    ObjectTable<FontObject> fonts;  // declared last: freed first
};

FontState& Fonts() {
    static FontState state;
    return state;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

// The whole font file, read through the system's own file calls (on Windows
// the wide-character API, so a temporary folder under a profile named in any
// alphabet works); FreeType then reads the faces from this memory.
std::shared_ptr<const Bytes> ReadFile(const std::string& path) {
    auto bytes = std::make_shared<Bytes>();
    if (!os::ReadFileBytes(path, kMaxFontFile, bytes.get()) || bytes->empty()) return nullptr;
    return bytes;
}

// Records every scalable face in `bytes`; returns how many.
int RegisterFaces(std::shared_ptr<const Bytes> bytes, std::vector<RegisteredFace>* into) {
    FT_Library library = Fonts().library.library;
    if (!library || !bytes) return 0;
    int count = 0;
    long faces = 1;
    for (long index = 0; index < faces && index < 64; ++index) {
        FT_Face face = nullptr;
        if (FT_New_Memory_Face(library, bytes->data(), static_cast<FT_Long>(bytes->size()), index,
                               &face) != 0) {
            break;
        }
        faces = face->num_faces;
        if (FT_IS_SCALABLE(face) && face->family_name && face->units_per_EM > 0) {
            into->push_back({face->family_name, (face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                             (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0, bytes, index});
            ++count;
        }
        FT_Done_Face(face);
    }
    return count;
}

const std::vector<RegisteredFace>& SystemFaces() {
    auto& fs = Fonts();
    if (!fs.system_scanned) {
        fs.system_scanned = true;
        for (const char* path : kSystemFonts) {
            if (RegisterFaces(ReadFile(path), &fs.system) > 0) break;
        }
    }
    return fs.system;
}

// The face of `family` in `list` closest to the wanted style: exact style, then
// the regular face (the style gets synthesised), then any face of the family.
const RegisteredFace* PickStyle(const std::vector<RegisteredFace>& list, std::string_view family,
                                bool bold, bool italic) {
    const RegisteredFace* best = nullptr;
    int best_score = -1;
    for (const auto& f : list) {
        if (!SameName(f.family, family)) continue;
        int score = (f.bold == bold && f.italic == italic) ? 3 : (!f.bold && !f.italic) ? 2 : 1;
        if (score > best_score) {
            best = &f;
            best_score = score;
        }
    }
    return best;
}

const RegisteredFace* FindFace(std::string_view name, bool bold, bool italic) {
    auto& fs = Fonts();
    if (auto* f = PickStyle(fs.installed, name, bold, italic)) return f;
    if (auto* f = PickStyle(SystemFaces(), name, bold, italic)) return f;
    // Unknown name: the first installed family, else the system default.
    if (!fs.installed.empty()) return PickStyle(fs.installed, fs.installed[0].family, bold, italic);
    const auto& sys = SystemFaces();
    if (!sys.empty()) return PickStyle(sys, sys[0].family, bold, italic);
    return nullptr;
}

int Scale(long font_units, int em, int units_per_em) {
    return static_cast<int>(std::lround(static_cast<double>(font_units) * em / units_per_em));
}

// The height of capital letters in font units: the OS/2 table's when it has
// one, else the top of "H" (or of the Cyrillic En or the Greek Eta, for a face
// without Latin), else 70 % of the em.
long CapHeightUnits(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->version >= 2 && os2->sCapHeight > 0) {
        return os2->sCapHeight;
    }
    for (char32_t code : {U'H', U'\u041D', U'\u0397'}) {
        FT_UInt glyph = FT_Get_Char_Index(face, code);
        if (glyph && FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) == 0 &&
            face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&face->glyph->outline, &box);
            if (box.yMax > 0) return box.yMax;
        }
    }
    return face->units_per_EM * 7 / 10;
}

std::shared_ptr<FontFace> OpenFace(const RegisteredFace& source, int em, int flags,
                                   bool with_handle = true) {
    auto& fs = Fonts();
    if (!fs.library.library) return nullptr;
    auto font = std::make_shared<FontFace>();
    font->bytes = source.bytes;
    if (FT_New_Memory_Face(fs.library.library, source.bytes->data(),
                           static_cast<FT_Long>(source.bytes->size()), source.index,
                           &font->face) != 0) {
        font->face = nullptr;
        return nullptr;
    }
    FT_Face face = font->face;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0) return nullptr;
    font->family = source.family;
    const int upem = face->units_per_EM;
    font->em = em;
    font->flags = flags;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    long ascent = face->ascender;
    long descent = -face->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    }
    font->ascent = Scale(ascent, em, upem);
    font->descent = Scale(descent, em, upem);
    font->synth_bold = (flags & kFontBold) && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    font->synth_italic = (flags & kFontItalic) && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    font->bold_strength = font->synth_bold ? std::max<FT_Pos>(64, em * 64 / 24) : 0;
    if ((flags & kFontItalic) || (face->style_flags & FT_STYLE_FLAG_ITALIC)) {
        font->overhang = static_cast<int>(std::lround(font->ascent * kObliqueShear / 65536.0));
    }
    font->underline_y = std::max(1, Scale(-face->underline_position, em, upem));
    font->underline_size = std::max(1, Scale(face->underline_thickness, em, upem));
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        font->strike_y = Scale(os2->yStrikeoutPosition, em, upem);
        font->strike_size = std::max(1, Scale(os2->yStrikeoutSize, em, upem));
    } else {
        font->strike_y = font->ascent / 3;
        font->strike_size = font->underline_size;
    }
    if (with_handle) {
        font->native = fs.next_native++;
        if (fs.next_native <= 0) fs.next_native = 1;
        fs.by_handle[font->native] = font;
    }
    return font;
}

// The companion faces of a font: one per other installed family, in the order
// of registration, at the em that matches the font's cap height. Underline and
// strike-out stay with the font itself, which draws them across the whole text.
const std::vector<std::shared_ptr<FontFace>>& Fallbacks(FontFace& font) {
    if (font.fallbacks_opened) return font.fallbacks;
    font.fallbacks_opened = true;
    auto& fs = Fonts();
    const double cap = static_cast<double>(CapHeightUnits(font.face)) / font.face->units_per_EM;
    const bool bold = (font.flags & kFontBold) != 0, italic = (font.flags & kFontItalic) != 0;
    std::vector<std::string> seen{font.family};
    for (const RegisteredFace& candidate : fs.installed) {
        if (std::any_of(seen.begin(), seen.end(),
                        [&](const std::string& f) { return SameName(f, candidate.family); })) {
            continue;
        }
        seen.push_back(candidate.family);
        const RegisteredFace* source = PickStyle(fs.installed, candidate.family, bold, italic);
        if (!source) continue;
        // Measure the companion's cap height on a face of its own first.
        auto probe = OpenFace(*source, font.em, 0, false);
        if (!probe) continue;
        const double own_cap =
            static_cast<double>(CapHeightUnits(probe->face)) / probe->face->units_per_EM;
        long em = own_cap > 0 ? std::lround(font.em * cap / own_cap) : font.em;
        em = std::clamp<long>(em, 1, kMaxEm);
        auto companion = OpenFace(*source, static_cast<int>(em),
                                  font.flags & ~(kFontUnderline | kFontStrikeOut), false);
        if (companion) font.fallbacks.push_back(std::move(companion));
    }
    return font.fallbacks;
}

// The face that draws `code`: the font itself when it has a glyph, else the
// first companion that has one, else the font (with its missing-glyph box).
FontFace& FaceFor(FontFace& font, char32_t code, FT_UInt* glyph) {
    *glyph = FT_Get_Char_Index(font.face, code);
    if (*glyph || code < 0x20) return font;
    for (const auto& companion : Fallbacks(font)) {
        if (FT_UInt g = FT_Get_Char_Index(companion->face, code)) {
            *glyph = g;
            return *companion;
        }
    }
    return font;
}

std::shared_ptr<FontFace> CreateFont(std::string_view name, int size, int flags) {
    auto& fs = Fonts();
    double em_exact = static_cast<double>(size) * fs.dpi / 72.0;
    long em = std::lround(em_exact);  // half away from zero
    if (em < 1 || em > kMaxEm) return nullptr;
    const RegisteredFace* source =
        FindFace(name, (flags & kFontBold) != 0, (flags & kFontItalic) != 0);
    if (!source) return nullptr;
    return OpenFace(*source, static_cast<int>(em), flags);
}

// Loads a glyph's outline with the face's synthesis applied. False when the
// font cannot give the glyph.
bool LoadGlyph(FontFace& font, FT_UInt glyph) {
    if (FT_Load_Glyph(font.face, glyph, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot slot = font.face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (font.synth_bold) FT_Outline_Embolden(&slot->outline, font.bold_strength);
        if (font.synth_italic) {
            FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
    }
    return true;
}

FT_Pos Advance(FontFace& font, FT_UInt glyph) {
    auto it = font.advances.find(glyph);
    if (it != font.advances.end()) return it->second;
    FT_Pos advance = 0;
    if (LoadGlyph(font, glyph)) {
        advance = font.face->glyph->advance.x;
        if (font.synth_bold) advance += (font.bold_strength + 32) & ~63;
    }
    font.advances.emplace(glyph, advance);
    return advance;
}

struct Placed {
    FontFace* face;  // the font, or the companion that has the character
    FT_UInt glyph;
    int64_t x;  // pixels from the text's left edge
    int64_t advance;
};

// Glyphs and pen positions; *width gets the text's width in pixels.
std::vector<Placed> Layout(FontFace& font, std::string_view text, int64_t* width) {
    std::u32string codes = DecodeUtf8(text);
    std::vector<Placed> placed;
    placed.reserve(codes.size());
    int64_t pen = 0;  // 26.6
    FT_UInt previous = 0;
    FontFace* previous_face = nullptr;
    for (char32_t code : codes) {
        // Characters no face has map to glyph 0 of the font, its missing-glyph box.
        FT_UInt glyph = 0;
        FontFace& face = FaceFor(font, code, &glyph);
        if (previous && glyph && previous_face == &face && FT_HAS_KERNING(face.face)) {
            FT_Vector delta{};
            if (FT_Get_Kerning(face.face, previous, glyph, FT_KERNING_DEFAULT, &delta) == 0) {
                pen += delta.x;
            }
        }
        FT_Pos advance = Advance(face, glyph);
        placed.push_back({&face, glyph, (pen + 32) >> 6, (advance + 63) >> 6});
        pen += advance;
        previous = glyph;
        previous_face = &face;
    }
    *width = codes.empty() ? 0 : std::max<int64_t>(0, (pen + 32) >> 6) + font.overhang;
    return placed;
}

void FillRows(uint8_t* coverage, int clip_x, int clip_y, int clip_w, int clip_h, int64_t x0,
              int64_t x1, int64_t y0, int64_t y1) {
    x0 = std::max<int64_t>(x0, clip_x);
    x1 = std::min<int64_t>(x1, int64_t{clip_x} + clip_w);
    y0 = std::max<int64_t>(y0, clip_y);
    y1 = std::min<int64_t>(y1, int64_t{clip_y} + clip_h);
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x = x0; x < x1; ++x)
            coverage[(y - clip_y) * clip_w + (x - clip_x)] = 255;
    }
}

}  // namespace

FontObject::~FontObject() {
    if (face) Fonts().by_handle.erase(face->native);
}

FontFace::~FontFace() {
    if (face) FT_Done_Face(face);
    if (native) Fonts().by_handle.erase(native);
}

std::shared_ptr<FontFace> FontForHandle(int native_handle) {
    auto& fs = Fonts();
    if (native_handle == -1) {
        // The interface font: the system default at 8 points, as a dialog's.
        if (!fs.gui_font) fs.gui_font = CreateFont("", 8, 0);
        return fs.gui_font;
    }
    auto it = fs.by_handle.find(native_handle);
    return it == fs.by_handle.end() ? nullptr : it->second.lock();
}

int FontEmPixels(const FontFace& font) {
    return font.em;
}
int FontAscent(const FontFace& font) {
    return font.ascent;
}
int FontCellHeight(const FontFace& font) {
    return font.ascent + font.descent;
}

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        uint8_t lead = s[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        int need;
        char32_t code;
        uint8_t lo = 0x80, hi = 0xBF;  // the range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            code = lead & 0x0F;
            if (lead == 0xE0) lo = 0xA0;  // no overlong forms
            if (lead == 0xED) hi = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            code = lead & 0x07;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;  // nothing beyond U+10FFFF
        } else {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            uint8_t b = j < n ? s[j] : 0;
            uint8_t min = k == 0 ? lo : 0x80;
            uint8_t max = k == 0 ? hi : 0xBF;
            if (j >= n || b < min || b > max) {
                ok = false;
                break;
            }
            code = (code << 6) | (b & 0x3F);
        }
        out.push_back(ok ? code : U'\uFFFD');
        i = j;  // past the sequence, or past its longest valid beginning
    }
    return out;
}

int64_t TextWidth(FontFace& font, std::string_view text) {
    int64_t width = 0;
    Layout(font, text, &width);
    return width;
}

int64_t RenderTextCoverage(FontFace& font, std::string_view text, int64_t x, int64_t y, int clip_x,
                           int clip_y, int clip_w, int clip_h, uint8_t* coverage) {
    int64_t width = 0;
    std::vector<Placed> placed = Layout(font, text, &width);
    if (clip_w <= 0 || clip_h <= 0) return width;
    const int64_t baseline = y + font.ascent;
    const int64_t clip_right = int64_t{clip_x} + clip_w;
    const int64_t clip_bottom = int64_t{clip_y} + clip_h;
    for (const Placed& g : placed) {
        const int64_t gx = x + g.x;
        const int64_t margin = 2 * int64_t{g.face->em} + 2;  // ink may stray past the advance
        if (gx + g.advance + margin < clip_x || gx - margin >= clip_right) continue;
        if (!LoadGlyph(*g.face, g.glyph)) continue;
        FT_GlyphSlot slot = g.face->face->glyph;
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
        const FT_Bitmap& bm = slot->bitmap;
        if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || !bm.buffer) continue;
        const int64_t left = gx + slot->bitmap_left;
        const int64_t top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const int64_t py = top + row;
            if (py < clip_y || py >= clip_bottom) continue;
            const uint8_t* src =
                bm.pitch >= 0 ? bm.buffer + static_cast<int64_t>(row) * bm.pitch
                              : bm.buffer + static_cast<int64_t>(bm.rows - 1 - row) * -bm.pitch;
            uint8_t* dst = coverage + (py - clip_y) * clip_w;
            const int64_t from = std::max<int64_t>(left, clip_x);
            const int64_t to = std::min<int64_t>(left + bm.width, clip_right);
            for (int64_t px = from; px < to; ++px) {
                uint8_t c = src[px - left];
                uint8_t& d = dst[px - clip_x];
                if (c > d) d = c;
            }
        }
    }
    if (font.flags & kFontUnderline) {
        FillRows(coverage, clip_x, clip_y, clip_w, clip_h, x, x + width,
                 baseline + font.underline_y, baseline + font.underline_y + font.underline_size);
    }
    if (font.flags & kFontStrikeOut) {
        FillRows(coverage, clip_x, clip_y, clip_w, clip_h, x, x + width, baseline - font.strike_y,
                 baseline - font.strike_y + font.strike_size);
    }
    return width;
}

}  // namespace detail

void SetFontDpi(int dpi) {
    detail::Fonts().dpi = dpi >= 1 ? dpi : 96;
}
int FontDpi() {
    return detail::Fonts().dpi;
}

int InstallPrivateFont(const std::string& file_path) {
    auto& fs = detail::Fonts();
    return detail::RegisterFaces(detail::ReadFile(file_path), &fs.installed) > 0 ? 1 : 0;
}

int LoadFontFace(int id, const std::string& face_name, int size, int flags) {
    auto& fs = detail::Fonts();
    if (id != AutoId) fs.fonts.Release(id);
    auto font = detail::CreateFont(face_name, size, flags);
    if (!font) return 0;
    auto object = std::make_unique<detail::FontObject>();
    object->face = std::move(font);
    return fs.fonts.Insert(id, std::move(object));
}

int FontNativeHandle(int font) {
    auto* f = detail::Fonts().fonts.Get(font);
    return f && f->face ? f->face->native : 0;
}

uint32_t FirstMissingCharacter(int font, const std::string& text) {
    auto* f = detail::Fonts().fonts.Get(font);
    if (!f || !f->face) return 0;
    for (char32_t code : detail::DecodeUtf8(text)) {
        FT_UInt glyph = 0;
        detail::FaceFor(*f->face, code, &glyph);
        if (glyph == 0) return static_cast<uint32_t>(code);
    }
    return 0;
}

void ReleaseFont(int font) {
    auto& fs = detail::Fonts();
    if (font == -1) {
        fs.fonts.ReleaseAll();
    } else {
        fs.fonts.Release(font);
    }
}

}  // namespace engine
