// System services without a screen: the millisecond clock and sleeping, local
// dates and their %-token formatter, the random generator behind the board
// shuffle, the string operations the game is written with, the string-keyed
// hash map and record list, and the machine figures written to the log.
//
// Strings are UTF-8. Lengths and 1-based positions count UTF-16 code units,
// so "é" has length 1 and an emoji length 2, as the game's texts expect.
// Invalid UTF-8 is read as U+FFFD, one per bad byte.
#pragma once

#include <cstdint>
#include <list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine {

// ---- Time ---------------------------------------------------------------

// Milliseconds since the first call (monotonic).
int64_t ElapsedMs();
// Sleeps for ms milliseconds; ms < 1 returns at once. On Windows the system
// timer resolution is raised to 1 ms on first use, until the program ends.
void SleepMs(int64_t ms);

// A date value: seconds since 1970-01-01 00:00:00 of local wall-clock time,
// counted as if that time were UTC, in 64 bits, so dates after 2038 stay
// valid. -1 is the invalid date.
using DateTime = int64_t;
inline constexpr DateTime kInvalidDate = -1;

// The local date and time now; -1 outside 1970-01-01 .. 9999-12-31 23:59:59.
DateTime CurrentDateTime();
// The date value of the given wall-clock fields; -1 when a field is out of
// range or the moment lies outside the representable span.
DateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second);
// The pattern with %yyyy, %yy, %mm, %dd, %hh, %ii, %ss (any letter case)
// replaced by the date's fields; "" for an invalid date.
std::string FormatDateTime(std::string_view pattern, DateTime date);

// ---- Random numbers -------------------------------------------------------

// Restarts the generator from a seed. Without a call, the generator seeds
// itself before the first number from the thread id and the tick count.
void SeedRandom(uint32_t seed);
// A number 0..max inclusive; max 0xFFFFFFFF gives the raw 32-bit value.
uint32_t RandomUpTo(uint32_t max);

// A random permutation of all items: each item i from the second on is swapped
// with a random item 0..i (itself included, then nothing moves).
template <typename T>
void ShuffleArray(std::span<T> items) {
    for (size_t i = 1; i < items.size(); ++i) {
        size_t j = RandomUpTo(static_cast<uint32_t>(i));
        if (j != i) std::swap(items[i], items[j]);
    }
}
template <typename T>
void ShuffleArray(std::vector<T>& items) {
    ShuffleArray(std::span<T>(items));
}

// ---- Strings --------------------------------------------------------------
// All results are new strings; positions are 1-based.

// UTF-8 <-> UTF-16. Bad input becomes U+FFFD (a lone surrogate too).
std::u16string ToUtf16(std::string_view text);
std::string FromUtf16(std::u16string_view text);
// Code point -> UTF-8 (U+FFFD for surrogates and values beyond U+10FFFF).
std::string EncodeUtf8(uint32_t code_point);

// Number of UTF-16 code units.
int TextLength(std::string_view s);
// First / last n characters, n clamped to 0..length.
std::string LeftPart(std::string_view s, int n);
std::string RightPart(std::string_view s, int n);
// `length` characters from `start` (a start below 1 counts as 1; a negative
// length means to the end); "" when start is past the end.
std::string Substring(std::string_view s, int start, int length);
// Position of needle at or after start, 0 when absent or either is empty.
int FindSubstring(std::string_view s, std::string_view needle, int start = 1);
// Number of non-overlapping occurrences of needle, left to right; 0 for "".
int CountOccurrences(std::string_view s, std::string_view needle);
// Every occurrence replaced, left to right; s unchanged for an empty find.
std::string ReplaceAll(std::string_view s, std::string_view find, std::string_view replacement);
// Every occurrence of pattern removed.
std::string RemoveAll(std::string_view s, std::string_view pattern);
// The index-th field (from 1) of s split at separator; "" when index < 1 or
// past the last field. An empty separator makes s one field.
std::string SplitField(std::string_view s, int index, std::string_view separator);
// Upper-case copy. Maps ASCII, Latin-1, Latin Extended-A, basic Greek and
// Cyrillic one character to one character, so lengths never change: "ß" has
// no single upper-case letter and stays "ß"; "ÿ" becomes "Ÿ" (U+0178).
std::string UpperCase(std::string_view s);
// n blanks ("" for n < 1).
std::string Blanks(int n);
// s cut to width characters, then padded on the left with the first character
// of pad (a blank when pad is empty) up to width.
std::string PadLeft(std::string_view s, int width, std::string_view pad);
// Decimal text, "-" for negatives.
std::string IntToText(int64_t n);
// Fixed-point text with `decimals` digits (0..512), "." as the point, rounded
// half away from zero on the exact value. decimals -1: up to 10 digits with
// trailing zeros and a trailing point removed. "+Infinity", "-Infinity", "NaN".
std::string RealToText(double x, int decimals);
// Leading blanks, optional sign, then decimal digits, "$" and hexadecimal
// digits, or "%" and binary digits, up to the first other character; 0 when
// there are no digits. Decimal overflow saturates; hex and binary keep the
// low 64 bits.
int64_t TextToInt(std::string_view s);

// ---- StringMap --------------------------------------------------------------

// The hash of a key: h = h * 65599 + unit over its UTF-16 code units, 32-bit.
uint32_t StringMapHash(std::string_view key);

// A hash map from exact (case-sensitive) string keys to values, with a bucket
// count fixed at creation. New keys go to the head of their bucket's chain and
// iteration walks the buckets in ascending order, each chain from its head, so
// the order of iteration depends only on the keys and the order they came in.
template <typename V>
class StringMap {
  public:
    explicit StringMap(uint32_t bucket_count = 512) : buckets_(bucket_count ? bucket_count : 1) {}

    struct Element {
        std::string key;
        V value{};
    };

    // The element of key, or nullptr.
    Element* Find(std::string_view key) {
        for (auto& element : buckets_[Bucket(key)]) {
            if (element.key == key) return &element;
        }
        return nullptr;
    }
    // The value of key, adding the key with a default value when absent.
    V& Slot(std::string_view key) {
        if (Element* found = Find(key)) return found->value;
        ++size_;
        return buckets_[Bucket(key)].emplace_front(Element{std::string(key), V{}}).value;
    }
    size_t Size() const { return size_; }
    uint32_t BucketCount() const { return static_cast<uint32_t>(buckets_.size()); }
    uint32_t Bucket(std::string_view key) const { return StringMapHash(key) % BucketCount(); }

    // Iteration: Rewind goes before the first element, Advance steps to the
    // next one and returns false after the last. Current is valid after a true
    // Advance. Adding keys during an iteration is allowed; whether the walk
    // meets them depends on their bucket.
    void Rewind() { started_ = false; }
    bool Advance() {
        size_t bucket = bucket_;
        typename Chain::iterator next;
        if (!started_) {
            started_ = true;
            finished_ = false;
            bucket = 0;
            next = buckets_[0].begin();
        } else if (finished_) {
            return false;
        } else {
            next = std::next(cursor_);
        }
        while (next == buckets_[bucket].end()) {
            if (++bucket == buckets_.size()) {
                finished_ = true;
                return false;
            }
            next = buckets_[bucket].begin();
        }
        bucket_ = bucket;
        cursor_ = next;
        return true;
    }
    Element& Current() { return *cursor_; }

    void Clear() {
        for (auto& chain : buckets_)
            chain.clear();
        size_ = 0;
        started_ = false;
    }

  private:
    using Chain = std::list<Element>;
    std::vector<Chain> buckets_;
    size_t size_ = 0;
    bool started_ = false;
    bool finished_ = false;
    size_t bucket_ = 0;
    typename Chain::iterator cursor_;
};

// The element of key, added with a default value when absent (so looking up a
// missing text id yields an empty text and adds the id).
template <typename V>
V& MapSlot(StringMap<V>& map, std::string_view key) {
    return map.Slot(key);
}
// Goes before the first element.
template <typename V>
void MapRewind(StringMap<V>& map) {
    map.Rewind();
}
// Steps to the next element: 1, or 0 after the last.
template <typename V>
int MapAdvance(StringMap<V>& map) {
    return map.Advance() ? 1 : 0;
}
// The current element's key and value (after a successful MapAdvance).
template <typename V>
const std::string& MapKey(StringMap<V>& map) {
    return map.Current().key;
}
template <typename V>
V& MapValue(StringMap<V>& map) {
    return map.Current().value;
}

// ---- RecordList -----------------------------------------------------------

// A list of records with a current-element cursor. Index is 0-based; -1 means
// no current record (before the first).
template <typename T>
class RecordList {
  public:
    // Adds a record after the current one (at the start when none is current)
    // and makes it current, so repeated adds append in order. Returns it.
    T& Add(T record = T{}) {
        typename std::list<T>::iterator at;
        if (index_ < 0) {
            at = items_.insert(items_.begin(), std::move(record));
            index_ = 0;
        } else {
            at = items_.insert(std::next(cursor_), std::move(record));
            ++index_;
        }
        cursor_ = at;
        return *at;
    }
    // Makes the first record current; false when the list is empty.
    bool First() {
        Reset();
        return Next();
    }
    // Makes the next record current (the first after a reset); false at the end,
    // which leaves no record current.
    bool Next() {
        if (index_ < 0) {
            if (items_.empty()) return false;
            cursor_ = items_.begin();
            index_ = 0;
            return true;
        }
        ++cursor_;
        if (cursor_ == items_.end()) {
            index_ = -1;
            return false;
        }
        ++index_;
        return true;
    }
    void Reset() { index_ = -1; }
    // Makes record i current; false (and no record current) when out of range.
    bool Select(int i) {
        if (i < 0 || static_cast<size_t>(i) >= items_.size()) {
            index_ = -1;
            return false;
        }
        cursor_ = std::next(items_.begin(), i);
        index_ = i;
        return true;
    }
    int Index() const { return index_; }
    int Size() const { return static_cast<int>(items_.size()); }
    // The current record, or nullptr.
    T* Current() { return index_ < 0 ? nullptr : &*cursor_; }
    void Clear() {
        items_.clear();
        index_ = -1;
    }

  private:
    std::list<T> items_;
    typename std::list<T>::iterator cursor_;
    int index_ = -1;
};

// ---- System figures for the log ---------------------------------------------

// The processor's brand string, leading blanks and tabs removed; "Unknown CPU".
std::string CpuBrandString();
// Processors available: kind 0 the whole system (all online CPUs), 1 this
// process's affinity mask; 1 when neither can be read.
int ProcessorCount(int kind);
// Memory figures in bytes; 0 when unavailable or for an unknown kind:
// 0 total physical, 1 available physical, 2 total virtual address space,
// 3 available virtual address space, 4 total commit space (RAM + swap),
// 5 available commit space, 6 page size, 7 private bytes of this process.
int64_t MemoryFigure(int kind);
// The operating-system version code: on Windows from the kernel's true version
// (10.0 below build 22000 is 110, from 22000 on 120, ...); 200 on Linux.
int OsVersionCode();
// The user's locale name as the system gives it: on Linux the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty ("de_DE.UTF-8"); on Windows
// the user's default locale name ("de-DE"). "" when there is none.
std::string UserLocaleName();
// Number of displays; 1 when the display service is not running.
int CountDesktops();
// Current mode of display i in pixels; 0 out of range. Display 0 is the
// primary one. When the display service is not running, one nominal
// 1920 x 1080 display.
int DesktopPixelWidth(int i);
int DesktopPixelHeight(int i);
// The desktop's logical dots per inch (the scaling setting: 96 at 100 %, 144
// at 150 %); 96 on Linux, which has no one such setting, and when unknown.
int DesktopDpi();

// Marks the program as running for as long as the process lives, so that its
// installer and uninstaller can tell (on Windows a named mutex; nothing on
// Linux, where the package manager replaces a running program safely).
void MarkProgramRunning();

}  // namespace engine
