// woff2ttf: converts a WOFF 1.0 font into the TrueType/OpenType file it was
// made from, without changing any table.
//
//   woff2ttf INPUT.woff OUTPUT.ttf [--expect-family NAME]
//
// Prints the font's family, version, copyright and licence lines from its name
// table. With --expect-family, fails unless the family name is NAME. Exits 0 on
// success and 1 on any failure (the output file is then not written).
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "woff.h"

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--expect-family") == 0)) {
        std::fprintf(stderr, "usage: woff2ttf INPUT.woff OUTPUT.ttf [--expect-family NAME]\n");
        return 1;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "woff2ttf: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<uint8_t> woff_bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    std::vector<uint8_t> sfnt;
    std::string error;
    if (!woff::WoffToSfnt(woff_bytes, sfnt, error)) {
        std::fprintf(stderr, "woff2ttf: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    const std::string family = woff::NameRecord(sfnt, 1);
    if (argc == 5 && family != argv[4]) {
        std::fprintf(stderr, "woff2ttf: %s: family is '%s', expected '%s'\n", argv[1],
                     family.c_str(), argv[4]);
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(sfnt.data()), std::streamsize(sfnt.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "woff2ttf: cannot write %s\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    std::printf("woff2ttf: %s -> %s (%zu bytes)\n", argv[1], argv[2], sfnt.size());
    const int ids[] = {1, 5, 0, 13};
    const char* labels[] = {"family", "version", "copyright", "licence"};
    for (int i = 0; i < 4; ++i)
        std::printf("  %-9s %s\n", labels[i], woff::NameRecord(sfnt, ids[i]).c_str());
    return 0;
}
