// The string operations of the game: UTF-8 strings measured and cut in UTF-16
// code units, number formatting and parsing, upper-casing, and the StringMap
// hash. Cutting works on the UTF-16 form and converts back, so a cut through a
// surrogate pair yields U+FFFD rather than broken UTF-8.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "engine/system.h"

namespace engine {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i], advancing i; bad sequences (stray
// continuation bytes, overlong forms, surrogates, values past U+10FFFF,
// truncated sequences) yield U+FFFD and consume one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + extra >= s.size()) {  // truncated at the end
        ++i;
        return kReplacement;
    }
    for (int k = 1; k <= extra; ++k) {
        unsigned char c = byte(i + k);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += 1 + extra;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;
    if (cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Upper case of one code point, one to one.
char32_t UpperChar(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c < 0xB5) return c;
    if (c == 0xB5) return 0x039C;  // micro sign -> Greek capital mu
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0xFF) return 0x0178;  // y diaeresis
    if (c >= 0x0100 && c <= 0x017F) {
        if (c == 0x0131) return 'I';  // dotless i
        if (c == 0x017F) return 'S';  // long s
        if (c == 0x0130 || c == 0x0138 || c == 0x0149) return c;
        bool odd_lower = (c <= 0x0137) || (c >= 0x014A && c <= 0x0177);
        if (odd_lower) return (c & 1) ? c - 1 : c;
        return (c & 1) ? c : c - 1;  // 0139..0148 and 0179..017E: even is lower
    }
    if (c >= 0x03B1 && c <= 0x03CB && c != 0x03C2) return c - 0x20;  // Greek
    if (c == 0x03C2) return 0x03A3;                                  // final sigma
    // Greek written in capitals drops the tonos: ά and Ά both become Α, ΐ Ϊ.
    switch (c) {
        case 0x0386:
        case 0x03AC:
            return 0x0391;
        case 0x0388:
        case 0x03AD:
            return 0x0395;
        case 0x0389:
        case 0x03AE:
            return 0x0397;
        case 0x038A:
        case 0x03AF:
            return 0x0399;
        case 0x038C:
        case 0x03CC:
            return 0x039F;
        case 0x038E:
        case 0x03CD:
            return 0x03A5;
        case 0x038F:
        case 0x03CE:
            return 0x03A9;
        case 0x0390:
            return 0x03AA;
        case 0x03B0:
            return 0x03AB;
        default:
            break;
    }
    if (c >= 0x0430 && c <= 0x044F) return c - 0x20;  // Cyrillic
    if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
    if (c == 0x0491) return 0x0490;  // Ukrainian ghe with upturn
    return c;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = DecodeUtf8(text, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, cp);  // a lone surrogate becomes U+FFFD
    }
    return out;
}

std::string EncodeUtf8(uint32_t code_point) {
    std::string out;
    AppendUtf8(out, code_point);
    return out;
}

int TextLength(std::string_view s) {
    return static_cast<int>(ToUtf16(s).size());
}

std::string LeftPart(std::string_view s, int n) {
    std::u16string u = ToUtf16(s);
    size_t count = static_cast<size_t>(std::clamp(n, 0, static_cast<int>(u.size())));
    return FromUtf16(std::u16string_view(u).substr(0, count));
}

std::string RightPart(std::string_view s, int n) {
    std::u16string u = ToUtf16(s);
    size_t count = static_cast<size_t>(std::clamp(n, 0, static_cast<int>(u.size())));
    return FromUtf16(std::u16string_view(u).substr(u.size() - count));
}

std::string Substring(std::string_view s, int start, int length) {
    std::u16string u = ToUtf16(s);
    size_t from = static_cast<size_t>(std::max(start, 1) - 1);
    if (from >= u.size() || length == 0) return {};
    size_t count = length < 0 ? std::u16string::npos : static_cast<size_t>(length);
    return FromUtf16(std::u16string_view(u).substr(from, count));
}

int FindSubstring(std::string_view s, std::string_view needle, int start) {
    if (s.empty() || needle.empty()) return 0;
    std::u16string u = ToUtf16(s);
    std::u16string n = ToUtf16(needle);
    size_t from = static_cast<size_t>(std::max(start, 1) - 1);
    if (from >= u.size()) return 0;
    size_t at = u.find(n, from);
    return at == std::u16string::npos ? 0 : static_cast<int>(at) + 1;
}

int CountOccurrences(std::string_view s, std::string_view needle) {
    if (needle.empty()) return 0;
    int count = 0;
    for (size_t at = s.find(needle); at != std::string_view::npos;
         at = s.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

std::string ReplaceAll(std::string_view s, std::string_view find, std::string_view replacement) {
    if (find.empty()) return std::string(s);
    std::string out;
    size_t from = 0;
    for (size_t at = s.find(find); at != std::string_view::npos; at = s.find(find, from)) {
        out.append(s.substr(from, at - from));
        out.append(replacement);
        from = at + find.size();
    }
    out.append(s.substr(from));
    return out;
}

std::string RemoveAll(std::string_view s, std::string_view pattern) {
    return ReplaceAll(s, pattern, "");
}

std::string SplitField(std::string_view s, int index, std::string_view separator) {
    if (index < 1) return {};
    if (separator.empty()) return index == 1 ? std::string(s) : std::string();
    size_t from = 0;
    for (int field = 1; field < index; ++field) {
        size_t at = s.find(separator, from);
        if (at == std::string_view::npos) return {};
        from = at + separator.size();
    }
    size_t end = s.find(separator, from);
    return std::string(s.substr(from, end == std::string_view::npos ? end : end - from));
}

std::string UpperCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();)
        AppendUtf8(out, UpperChar(DecodeUtf8(s, i)));
    return out;
}

std::string Blanks(int n) {
    return n < 1 ? std::string() : std::string(n, ' ');
}

std::string PadLeft(std::string_view s, int width, std::string_view pad) {
    if (width < 1) return {};
    std::u16string u = ToUtf16(s);
    if (u.size() >= static_cast<size_t>(width))
        return FromUtf16(std::u16string_view(u).substr(0, width));
    std::u16string fill = pad.empty() ? std::u16string(u" ") : ToUtf16(pad);
    std::u16string out(width - u.size(), fill[0]);
    return FromUtf16(out + u);
}

std::string IntToText(int64_t n) {
    return std::to_string(n);
}

std::string RealToText(double x, int decimals) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "+Infinity" : "-Infinity";
    bool trim = decimals < 0;
    int places = trim ? 10 : std::min(decimals, 512);
    // glibc prints the exact binary value; 1100 places hold every digit of any
    // double, so rounding the digit string below is exact.
    std::vector<char> exact(1500);
    int len = std::snprintf(exact.data(), exact.size(), "%.1100f", std::fabs(x));
    if (len <= 0 || static_cast<size_t>(len) >= exact.size()) return "0";
    std::string digits(exact.data(), len);
    size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string frac = digits.substr(point + 1, places);
    // Half away from zero: the first dropped digit decides.
    if (digits[point + 1 + places] >= '5') {
        std::string all = whole + frac;
        int k = static_cast<int>(all.size()) - 1;
        while (k >= 0 && all[k] == '9')
            all[k--] = '0';
        if (k < 0) {
            all.insert(all.begin(), '1');
        } else {
            ++all[k];
        }
        whole = all.substr(0, all.size() - frac.size());
        frac = all.substr(all.size() - frac.size());
    }
    if (trim) {
        while (!frac.empty() && frac.back() == '0')
            frac.pop_back();
    }
    bool zero = whole.find_first_not_of('0') == std::string::npos &&
                frac.find_first_not_of('0') == std::string::npos;
    std::string out = (x < 0 && !zero) ? "-" : "";
    out += whole;
    if (!frac.empty()) out += "." + frac;
    return out;
}

int64_t TextToInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    uint64_t value = 0;
    if (i < s.size() && (s[i] == '$' || s[i] == '%')) {
        int base = s[i++] == '$' ? 16 : 2;
        for (; i < s.size(); ++i) {
            char c = s[i];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : 99;
            if (digit >= base) break;
            value = value * base + digit;  // wraps: the low 64 bits
        }
        return static_cast<int64_t>(negative ? 0 - value : value);
    }
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        uint64_t digit = static_cast<uint64_t>(s[i] - '0');
        if (value > (limit - digit) / 10) {
            value = limit;  // saturate
            break;
        }
        value = value * 10 + digit;
    }
    if (negative)
        return value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                            : -static_cast<int64_t>(value);
    return static_cast<int64_t>(value);
}

uint32_t StringMapHash(std::string_view key) {
    uint32_t h = 0;
    for (char16_t unit : ToUtf16(key))
        h = h * 65599u + unit;
    return h;
}

}  // namespace engine
