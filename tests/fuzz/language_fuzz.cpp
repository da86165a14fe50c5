// Fuzz target for the language loader: the input is the language source, as
// a ZIP archive when it starts with "PK", else as the one file of a language
// folder. Scanning and loading must never crash, never write outside the
// temporary folder, and list only plain codes.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "i18n/language.h"

namespace {

std::string scratch;

void RemoveScratch() {
    std::remove((scratch + "folder/xx_XX.language").c_str());
    rmdir((scratch + "folder").c_str());
    std::remove((scratch + "archive.zip").c_str());
    rmdir(scratch.c_str());
}

const std::string& Scratch() {
    if (scratch.empty()) {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/language-fuzz-XXXXXX"
                                                            : "/tmp/language-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        scratch = pattern + "/";
        mkdir((scratch + "folder").c_str(), 0700);
        std::atexit(RemoveScratch);
    }
    return scratch;
}

void WriteAll(const std::string& path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) std::abort();
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = Scratch();
    const bool zip = size >= 2 && data[0] == 'P' && data[1] == 'K';
    const std::string source = zip ? root + "archive.zip" : root + "folder";
    WriteAll(zip ? source : source + "/xx_XX.language", data, size);

    i18n::ResetLanguages();
    i18n::ScanLanguages(source);
    for (int32_t i = 0; i < i18n::LanguageCount(); ++i) {
        const std::string code = i18n::LanguageCodeAt(i);
        if (code.find('/') != std::string::npos) std::abort();
        i18n::LoadLanguage(source, code);
    }
    i18n::PositionLanguageChoice("xx_XX");
    i18n::NextLanguageChoice();
    i18n::Text("tMenuSTART");
    return 0;
}
