// mnemora-cursor OUT.cur IN.png HOTX HOTY
//
// Writes a Windows cursor file: the ICO container with resource type 2 and one
// directory entry whose two "planes / bit count" fields hold the hotspot, and
// the PNG picture itself as the image (cursor files may carry PNG payloads).
// The PNG is not decoded; its signature and IHDR chunk (with its CRC) are
// checked so that the width and height in the directory entry are the
// picture's own, and a file that is not a PNG is refused.
//
// The file is written next to OUT and renamed into place, so a failed run never
// leaves a half-written cursor behind. Exit status 0 on success, 1 on any
// failure with one line on stderr.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Cursor pictures are at most 256 x 256; an entry stores 256 as 0.
constexpr uint32_t kMaxSide = 256;
// Far above any cursor picture; keeps the 32-bit size field honest.
constexpr size_t kMaxInputBytes = 16u << 20;
constexpr uint32_t kHeaderBytes = 6 + 16;

uint32_t ReadBigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void PutLittleEndian16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutLittleEndian32(std::vector<uint8_t>& out, uint32_t value) {
    PutLittleEndian16(out, value & 0xFFFF);
    PutLittleEndian16(out, value >> 16);
}

// A whole decimal number in 0..65535, nothing else ("7x", "-1", "" fail).
bool ParseCoordinate(const char* text, uint32_t* out) {
    if (*text == '\0') return false;
    uint32_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > 0xFFFF) return false;
    }
    *out = value;
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "mnemora-cursor: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return Fail("usage: mnemora-cursor OUT.cur IN.png HOTX HOTY");
    const std::filesystem::path out_path = argv[1];
    const char* in_path = argv[2];

    uint32_t hot_x = 0;
    uint32_t hot_y = 0;
    if (!ParseCoordinate(argv[3], &hot_x) || !ParseCoordinate(argv[4], &hot_y)) {
        return Fail("hotspot must be two whole numbers, got '" + std::string(argv[3]) + "' '" +
                    argv[4] + "'");
    }

    std::ifstream in(in_path, std::ios::binary);
    if (!in) return Fail(std::string("cannot read ") + in_path + ": " + std::strerror(errno));
    std::vector<uint8_t> png;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        png.insert(png.end(), buffer, buffer + in.gcount());
        if (png.size() > kMaxInputBytes) return Fail(std::string(in_path) + " is too large");
    }
    if (in.bad()) return Fail(std::string("cannot read ") + in_path);

    // Signature, then the IHDR chunk: length 13, type, width, height, 5 more
    // bytes of header, CRC over type and data.
    if (png.size() < 8 + 8 + 13 + 4 || std::memcmp(png.data(), kPngSignature, 8) != 0 ||
        ReadBigEndian32(&png[8]) != 13 || std::memcmp(&png[12], "IHDR", 4) != 0) {
        return Fail(std::string(in_path) + " is not a PNG picture");
    }
    if (Crc32(&png[12], 4 + 13) != ReadBigEndian32(&png[12 + 4 + 13])) {
        return Fail(std::string(in_path) + " has a damaged PNG header");
    }
    const uint32_t width = ReadBigEndian32(&png[16]);
    const uint32_t height = ReadBigEndian32(&png[20]);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        return Fail(std::string(in_path) + " is " + std::to_string(width) + " x " +
                    std::to_string(height) + "; a cursor is at most 256 x 256");
    }
    if (hot_x >= width || hot_y >= height) {
        return Fail("hotspot (" + std::to_string(hot_x) + ", " + std::to_string(hot_y) +
                    ") lies outside the " + std::to_string(width) + " x " + std::to_string(height) +
                    " picture");
    }

    std::vector<uint8_t> file;
    file.reserve(kHeaderBytes + png.size());
    PutLittleEndian16(file, 0);  // reserved
    PutLittleEndian16(file, 2);  // resource type: cursor
    PutLittleEndian16(file, 1);  // one image
    file.push_back(static_cast<uint8_t>(width == kMaxSide ? 0 : width));
    file.push_back(static_cast<uint8_t>(height == kMaxSide ? 0 : height));
    file.push_back(0);  // palette colours: none
    file.push_back(0);  // reserved
    PutLittleEndian16(file, hot_x);
    PutLittleEndian16(file, hot_y);
    PutLittleEndian32(file, static_cast<uint32_t>(png.size()));
    PutLittleEndian32(file, kHeaderBytes);
    file.insert(file.end(), png.begin(), png.end());

    std::filesystem::path temp_path = out_path;
    temp_path += ".part";
    {
        std::ofstream out(temp_path, std::ios::binary | std::ios::trunc);
        if (!out) return Fail("cannot write " + temp_path.string() + ": " + std::strerror(errno));
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temp_path, ignored);
            return Fail("cannot write " + temp_path.string());
        }
    }
    std::error_code error;
    std::filesystem::rename(temp_path, out_path, error);
    if (error) {
        std::filesystem::remove(temp_path, error);
        return Fail("cannot replace " + out_path.string());
    }
    return 0;
}
