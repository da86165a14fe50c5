// The pack codec against zlib on a corpus shaped like the game's data: text,
// TrueType fonts, PNG pictures and Ogg Vorbis sounds, at least 20 MB.
//
// Nothing is downloaded: text comes from the repository's own sources and
// documents plus generated prose; fonts are the .ttf files found in the game
// folder and /usr/share/fonts; PNGs are drawn here and written with zlib;
// Oggs are the .ogg files of the game folder, topped up with tones encoded
// here by libvorbisenc when it is linked in.
//
// For each share it prints the ratio our encoder reaches (entries that do not
// shrink are stored, as the pack tool does), packing speed, and unpacking
// speed beside zlib's inflate on the same bytes (zlib level 6), both in MB of
// output per second, best of several runs.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "brieflz_encode.h"

#ifdef MNEMORA_BENCH_VORBISENC
#include <vorbis/vorbisenc.h>
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kLevel = 6;  // the pack tool's default
constexpr int kRuns = 5;

struct File {
    std::string share;  // "text", "font", "png", "ogg"
    std::string name;
    Bytes data;
};

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ---- Text: the repository's sources and documents, then generated prose.

Bytes RepositoryText(const fs::path& root) {
    Bytes all;
    std::error_code ec;
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        std::string name = p.filename().string();
        if (it->is_directory() && (name == ".git" || name.rfind("build", 0) == 0)) {
            it.disable_recursion_pending();
            continue;
        }
        std::string ext = p.extension().string();
        if (it->is_regular_file() &&
            (ext == ".cpp" || ext == ".h" || ext == ".md" || ext == ".txt" || ext == ".svg" ||
             ext == ".cmake" || name == "CMakeLists.txt" || ext == ".language")) {
            paths.push_back(p);
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const fs::path& p : paths) {
        Bytes b = ReadFile(p);
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

Bytes Prose(size_t size, uint32_t seed) {
    static const char* kWords[] = {
        "the",    "a",      "tile",    "memory",  "player", "turns",   "two",      "pictures",
        "board",  "level",  "clock",   "runs",    "out",    "pair",    "fades",    "matched",
        "of",     "and",    "in",      "to",      "is",     "with",    "before",   "after",
        "screen", "menu",   "music",   "sound",   "light",  "garden",  "river",    "morning",
        "quiet",  "bright", "slowly",  "while",   "window", "picture", "remember", "again",
        "small",  "every",  "finds",   "wins",    "opens",  "next",    "map",      "shows",
        "time",   "bar",    "shrinks", "careful", "quick",  "colour",  "shape",    "friend"};
    constexpr size_t kCount = sizeof kWords / sizeof kWords[0];
    std::mt19937 rng(seed);
    // Skewed word choice, like natural text.
    std::geometric_distribution<int> pick(0.08);
    Bytes out;
    out.reserve(size);
    bool start = true;
    int in_sentence = 0;
    while (out.size() < size) {
        std::string w = kWords[static_cast<size_t>(pick(rng)) % kCount];
        if (start) w[0] = static_cast<char>(std::toupper(w[0]));
        start = false;
        out.insert(out.end(), w.begin(), w.end());
        ++in_sentence;
        if (in_sentence > 5 && rng() % 6 == 0) {
            out.push_back('.');
            start = true;
            in_sentence = 0;
            out.push_back(rng() % 5 == 0 ? '\n' : ' ');
        } else {
            out.push_back(rng() % 9 == 0 ? ',' : ' ');
            if (out.back() == ',') out.push_back(' ');
        }
    }
    out.resize(size);
    return out;
}

// ---- PNG pictures drawn here and written with zlib.

void PutU32Be(Bytes& out, uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
    PutU32Be(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    PutU32Be(out, static_cast<uint32_t>(crc));
}

Bytes Picture(int width, int height, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double cx = width * unit(rng), cy = height * unit(rng);
    const double r = std::min(width, height) * (0.2 + 0.3 * unit(rng));
    const int hue = static_cast<int>(rng() % 256);
    // Rows with the Sub filter (type 1), as PNG encoders pick for gradients.
    Bytes raw;
    raw.reserve(static_cast<size_t>(height) * (width * 4 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(1);
        uint8_t prev[4] = {0, 0, 0, 0};
        for (int x = 0; x < width; ++x) {
            double d = std::hypot(x - cx, y - cy);
            double shade = d < r ? 1.0 - 0.5 * d / r : 0.3 + 0.2 * std::sin(x * 0.05 + y * 0.03);
            int noise = static_cast<int>(rng() % 7) - 3;  // grain, as in painted art
            uint8_t px[4] = {
                static_cast<uint8_t>(
                    std::clamp(static_cast<int>(shade * (hue + 60)) + noise, 0, 255)),
                static_cast<uint8_t>(std::clamp(static_cast<int>(shade * 200) + noise, 0, 255)),
                static_cast<uint8_t>(
                    std::clamp(static_cast<int>(shade * (255 - hue)) + noise, 0, 255)),
                static_cast<uint8_t>(d < r * 1.4 ? 255 : 0)};
            for (int c = 0; c < 4; ++c) {
                raw.push_back(static_cast<uint8_t>(px[c] - prev[c]));
                prev[c] = px[c];
            }
        }
    }
    uLongf zsize = compressBound(static_cast<uLong>(raw.size()));
    Bytes z(zsize);
    compress2(z.data(), &zsize, raw.data(), static_cast<uLong>(raw.size()), 9);
    z.resize(zsize);

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutU32Be(ihdr, static_cast<uint32_t>(width));
    PutU32Be(ihdr, static_cast<uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

// ---- Ogg Vorbis tones, when libvorbisenc is available.

#ifdef MNEMORA_BENCH_VORBISENC
Bytes Tones(double seconds, uint32_t seed) {
    const int rate = 44100;
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_init_vbr(&vi, 2, rate, 0.4f);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, static_cast<int>(seed));
    Bytes out;
    auto drain = [&](bool flush) {
        ogg_page og;
        while (flush ? ogg_stream_flush(&os, &og) : ogg_stream_pageout(&os, &og)) {
            out.insert(out.end(), og.header, og.header + og.header_len);
            out.insert(out.end(), og.body, og.body + og.body_len);
        }
    };
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    drain(true);

    std::mt19937 rng(seed);
    const long total = static_cast<long>(seconds * rate);
    double freq = 220.0;
    for (long done = 0; done < total;) {
        const int n = static_cast<int>(std::min<long>(4096, total - done));
        float** buf = vorbis_analysis_buffer(&vd, n);
        for (int i = 0; i < n; ++i) {
            long t = done + i;
            if (t % (rate / 4) == 0) freq = 220.0 * std::pow(2.0, (rng() % 24) / 12.0);
            double s = 0.3 * std::sin(2 * M_PI * freq * t / rate) +
                       0.1 * std::sin(2 * M_PI * freq * 1.5 * t / rate) +
                       0.02 * (static_cast<double>(rng() % 2000) / 1000.0 - 1.0);
            buf[0][i] = static_cast<float>(s);
            buf[1][i] = static_cast<float>(s * 0.8);
        }
        vorbis_analysis_wrote(&vd, n);
        done += n;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                drain(false);
            }
        }
    }
    vorbis_analysis_wrote(&vd, 0);
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
        vorbis_analysis(&vb, nullptr);
        vorbis_bitrate_addblock(&vb);
        ogg_packet op;
        while (vorbis_bitrate_flushpacket(&vd, &op))
            ogg_stream_packetin(&os, &op);
    }
    drain(true);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}
#endif

std::vector<File> BuildCorpus(const char* source_dir, const char* game_dir) {
    std::vector<File> files;
    auto total = [&](const std::string& share) {
        size_t n = 0;
        for (const File& f : files)
            n += f.share == share ? f.data.size() : 0;
        return n;
    };

    // Text: about 8 MB, half repository text (repeated), half prose.
    Bytes repo = source_dir ? RepositoryText(source_dir) : Bytes();
    if (!repo.empty()) {
        Bytes big;
        while (big.size() < (4u << 20))
            big.insert(big.end(), repo.begin(), repo.end());
        big.resize(4u << 20);
        files.push_back({"text", "sources", big});
    }
    for (uint32_t i = 0; total("text") < (8u << 20); ++i) {
        files.push_back({"text", "prose" + std::to_string(i), Prose(1u << 20, 100 + i)});
    }

    // Fonts: every .ttf found, up to about 5 MB.
    std::vector<fs::path> fonts, oggs;
    for (const char* dir : {game_dir, "/usr/share/fonts"}) {
        std::error_code ec;
        if (!dir || !fs::is_directory(dir, ec)) continue;
        for (auto it = fs::recursive_directory_iterator(dir, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::string ext = it->path().extension().string();
            if (ext == ".ttf") fonts.push_back(it->path());
            if (ext == ".ogg") oggs.push_back(it->path());
        }
    }
    std::sort(fonts.begin(), fonts.end());
    std::sort(oggs.begin(), oggs.end());
    for (const fs::path& p : fonts) {
        if (total("font") >= (5u << 20)) break;
        files.push_back({"font", p.filename().string(), ReadFile(p)});
    }

    // PNG: drawn pictures until about 5 MB.
    for (uint32_t i = 0; total("png") < (5u << 20); ++i) {
        int w = 256 + 128 * static_cast<int>(i % 5), h = 256 + 96 * static_cast<int>(i % 4);
        files.push_back({"png", "picture" + std::to_string(i) + ".png", Picture(w, h, i)});
    }

    // Ogg: the game's, then generated tones up to about 2.5 MB.
    for (const fs::path& p : oggs) {
        if (total("ogg") >= (5u << 19)) break;
        files.push_back({"ogg", p.filename().string(), ReadFile(p)});
    }
#ifdef MNEMORA_BENCH_VORBISENC
    for (uint32_t i = 0; total("ogg") < (5u << 19); ++i) {
        files.push_back({"ogg", "tones" + std::to_string(i) + ".ogg", Tones(30.0, 7 + i)});
    }
#endif
    return files;
}

struct Result {
    size_t original = 0, packed = 0, compressed_entries_size = 0;
    double pack_s = 0, unpack_s = 0, inflate_s = 0, copy_s = 0;
};

}  // namespace

int main() {
    const char* source_dir = std::getenv("MNEMORA_SOURCE_DIR");
    const char* game_dir = std::getenv("MNEMORA_GAME_DIR");
    std::vector<File> files = BuildCorpus(source_dir, game_dir);

    std::vector<std::string> shares = {"text", "font", "png", "ogg"};
    std::printf("corpus:");
    size_t corpus = 0;
    for (const std::string& s : shares) {
        size_t n = 0, count = 0;
        for (const File& f : files) {
            if (f.share == s) n += f.data.size(), ++count;
        }
        corpus += n;
        std::printf(" %s %.1f MB (%zu files)", s.c_str(), n / 1048576.0, count);
    }
    std::printf(", total %.1f MB\n", corpus / 1048576.0);
    for (const char* share : {"font", "ogg"}) {
        std::printf("%s files:", share);
        for (const File& f : files) {
            if (f.share == share) std::printf(" %s", f.name.c_str());
        }
        std::printf("\n");
    }

    std::vector<Result> results(shares.size());
    engine::blz::Encoder encoder(kLevel);
    bool ok = true;
    for (const File& f : files) {
        Result& r = results[std::find(shares.begin(), shares.end(), f.share) - shares.begin()];
        r.original += f.data.size();

        double t0 = Now();
        Bytes stream = encoder.EncodeStream(f.data.data(), f.data.size());
        r.pack_s += Now() - t0;
        const bool stored = stream.size() >= f.data.size();
        r.packed += stored ? f.data.size() : stream.size();

        Bytes out(f.data.size() + 1);
        double best = 1e9;
        for (int run = 0; run < kRuns; ++run) {
            t0 = Now();
            if (stored) {
                std::memcpy(out.data(), f.data.data(), f.data.size());
            } else {
                int64_t n =
                    engine::blz::DecodeStream(stream.data(), stream.size(), out.data(), out.size());
                ok = ok && n == static_cast<int64_t>(f.data.size());
            }
            best = std::min(best, Now() - t0);
        }
        (stored ? r.copy_s : r.unpack_s) += best;
        ok = ok && std::memcmp(out.data(), f.data.data(), f.data.size()) == 0;
        if (!stored) r.compressed_entries_size += f.data.size();

        uLongf zsize = compressBound(static_cast<uLong>(f.data.size()));
        Bytes z(zsize);
        compress2(z.data(), &zsize, f.data.data(), static_cast<uLong>(f.data.size()), 6);
        best = 1e9;
        for (int run = 0; run < kRuns; ++run) {
            uLongf outsize = static_cast<uLongf>(out.size());
            t0 = Now();
            int zr = uncompress(out.data(), &outsize, z.data(), zsize);
            best = std::min(best, Now() - t0);
            ok = ok && zr == Z_OK;
        }
        r.inflate_s += best;
    }

    auto mbps = [](size_t bytes, double s) { return s > 0 ? bytes / 1048576.0 / s : 0.0; };
    std::printf("level %d; unpack = our bounds-checked decoder (stored entries: a copy)\n", kLevel);
    std::printf("%-10s %8s %7s %9s %10s %10s %12s %8s\n", "share", "MB", "ratio", "pack MB/s",
                "unpack MB/s", "inflate MB/s", "decode-only MB/s", "vs inflate");
    Result text_font, all;
    auto add = [](Result& a, const Result& b) {
        a.original += b.original, a.packed += b.packed;
        a.compressed_entries_size += b.compressed_entries_size;
        a.pack_s += b.pack_s, a.unpack_s += b.unpack_s, a.inflate_s += b.inflate_s;
        a.copy_s += b.copy_s;
    };
    auto row = [&](const char* name, const Result& r) {
        double unpack = mbps(r.original, r.unpack_s + r.copy_s);
        double inflate = mbps(r.original, r.inflate_s);
        char decode_only[32] = "-";  // no entry of the share was compressed
        if (r.compressed_entries_size > 0) {
            std::snprintf(decode_only, sizeof decode_only, "%.1f",
                          mbps(r.compressed_entries_size, r.unpack_s));
        }
        std::printf("%-10s %8.2f %7.3f %9.1f %11.1f %12.1f %16s %7.2fx\n", name,
                    r.original / 1048576.0, static_cast<double>(r.packed) / r.original,
                    mbps(r.original, r.pack_s), unpack, inflate, decode_only, unpack / inflate);
    };
    for (size_t i = 0; i < shares.size(); ++i) {
        row(shares[i].c_str(), results[i]);
        if (shares[i] == "text" || shares[i] == "font") add(text_font, results[i]);
        add(all, results[i]);
    }
    row("text+font", text_font);
    row("all", all);
    if (!ok) std::printf("ROUND TRIP FAILED\n");
    return ok ? 0 : 1;
}
