// Stand-ins for the shell and the languages until they are built, so the other
// subsystems link. The shell's work replaces this file.
#include <cstdlib>

#include "app/shell.h"
#include "i18n/language.h"

namespace app {
int RunGame(int, char**) {
    return 0;
}
int ApplyPendingSettings() {
    return 0;
}
void EndProgram(int code) {
    std::exit(code);
}
}  // namespace app

namespace i18n {
const std::string& Text(const std::string&) {
    static const std::string empty;
    return empty;
}
int32_t ScanLanguages(const std::string&) {
    return 0;
}
int32_t LoadLanguage(const std::string&, const std::string&) {
    return 0;
}
int32_t LanguageCount() {
    return 0;
}
std::string LanguageCodeAt(int32_t) {
    return {};
}
std::string LanguageNameAt(int32_t) {
    return {};
}
bool HasLanguage(const std::string&) {
    return false;
}
int32_t PositionLanguageChoice(const std::string&) {
    return -1;
}
std::string NextLanguageChoice() {
    return {};
}
int32_t CurrentLanguageChoice() {
    return -1;
}
std::string UserLocaleCode() {
    return {};
}
}  // namespace i18n
