// Languages: the text table every visible text comes from, the list of
// available languages found in "Mnemora.languages" (a folder or a ZIP archive),
// the choice list the settings screen steps through, and the user's locale.
#pragma once

#include <cstdint>
#include <string>

namespace i18n {

// The text of a key in the loaded language; the empty string when missing.
const std::string& Text(const std::string& key);

// Fills the language list from a folder or an archive; 1 when it could be listed.
int32_t ScanLanguages(const std::string& source);
// Reads one language's file into the text table; 1 when it was read.
int32_t LoadLanguage(const std::string& source, const std::string& code);

// The available languages in the choice list's order.
int32_t LanguageCount();
std::string LanguageCodeAt(int32_t index);
std::string LanguageNameAt(int32_t index);
bool HasLanguage(const std::string& code);
// The available language nearest to a locale code: its own file ("pt_BR"),
// else the same language in its usual region ("es_MX" gives es_ES, "de_AT"
// de_DE, "nb", "nn_NO" and "no_NO" nb_NO), else the same language in any
// region, else "en_GB".
std::string NearestLanguage(const std::string& code);

// Puts the choice list on the language with this code (on its last entry when
// none matches) and returns its index, -1 for an empty list.
int32_t PositionLanguageChoice(const std::string& code);
// Moves to the next language, wrapping to the first; returns its code
// (empty for an empty list).
std::string NextLanguageChoice();
// The index of the choice list's current entry, -1 when there is none.
int32_t CurrentLanguageChoice();

// The user's locale as a language code such as "de_DE"; empty when unknown.
// Read from LC_ALL, LC_MESSAGES and LANG, the first that is set and not empty.
std::string UserLocaleCode();
// The language code of a locale name: "de_DE.UTF-8" gives "de_DE", "en-GB"
// gives "en_GB", "C" and "POSIX" give "".
std::string LocaleCodeFromName(const std::string& localeName);

// Forgets every text and language (start-up of a new run in the same process).
void ResetLanguages();

}  // namespace i18n
