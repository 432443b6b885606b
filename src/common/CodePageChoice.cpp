#include "common/CodePageChoice.h"

#include <array>
#include <cstdlib>

#include "common/CodePage.h"
#include "common/Error.h"

namespace mdbtokvt {

namespace {

constexpr unsigned kUnicodeOnly = 0;
// A locale Windows has no counterpart of (e.g. Belarusian in Latin script):
// it takes the rule for unknown locales.
constexpr unsigned kNoWindowsLocale = 1;
constexpr unsigned kFallbackCodePage = 1252;

struct LocaleCodePage {
  std::string_view language;   // ISO 639 code, as in a POSIX locale name
  std::string_view territory;  // empty: any
  std::string_view modifier;   // "latin", "cyrillic"...; empty: none
  unsigned codePage;
};

// The default ANSI code page Windows gives each locale: the value of
// LOCALE_IDEFAULTANSICODEPAGE (GetLocaleInfoEx), as Microsoft documents it
// per locale (the NLS locale tables of the Windows documentation, e.g. the
// "Locale Code Table" on learn.microsoft.com), for the locales of current
// Windows versions. Where a language is written in two scripts, the POSIX
// locale names the one it does not use by default with a modifier (sr_RS is
// Cyrillic, sr_RS@latin Latin; uz_UZ is Latin, uz_UZ@cyrillic Cyrillic), and
// the script decides the code page. A language not listed here, C and POSIX
// get Windows-1252.
constexpr std::array kLocaleCodePages = std::to_array<LocaleCodePage>({
    // Central European
    {"cs", "", "", 1250},
    {"hr", "", "", 1250},
    {"hu", "", "", 1250},
    {"pl", "", "", 1250},
    {"ro", "", "", 1250},
    {"sk", "", "", 1250},
    {"sl", "", "", 1250},
    {"sq", "", "", 1250},
    {"bs", "", "", 1250},  // Bosnian, Latin script
    {"bs", "", "cyrillic", 1251},
    {"sr", "", "latin", 1250},
    {"tk", "", "", 1250},  // Turkmen
    // Cyrillic
    {"ru", "", "", 1251},
    {"uk", "", "", 1251},
    {"be", "", "", 1251},
    {"be", "", "latin", kNoWindowsLocale},
    {"bg", "", "", 1251},
    {"mk", "", "", 1251},
    {"sr", "", "", 1251},  // Serbian, Cyrillic script
    {"kk", "", "", 1251},  // Kazakh
    {"ky", "", "", 1251},  // Kyrgyz
    {"tt", "", "", 1251},  // Tatar
    {"tt", "", "iqtelif", kNoWindowsLocale},
    {"mn", "", "", 1251},   // Mongolian, Cyrillic script
    {"ba", "", "", 1251},   // Bashkir
    {"sah", "", "", 1251},  // Yakut
    {"tg", "", "", 1251},   // Tajik
    {"uz", "", "cyrillic", 1251},
    {"az", "", "cyrillic", 1251},
    // Greek
    {"el", "", "", 1253},
    // Turkish
    {"tr", "", "", 1254},
    {"az", "", "", 1254},  // Azerbaijani, Latin script
    {"uz", "", "", 1254},  // Uzbek, Latin script
    // Hebrew
    {"he", "", "", 1255},
    // Arabic script
    {"ar", "", "", 1256},
    {"fa", "", "", 1256},
    {"ur", "", "", 1256},
    {"ug", "", "", 1256},
    {"pa", "PK", "", 1256},  // Punjabi in Pakistan, Arabic script
    // Baltic
    {"et", "", "", 1257},
    {"lt", "", "", 1257},
    {"lv", "", "", 1257},
    // Vietnamese
    {"vi", "", "", 1258},
    // Thai
    {"th", "", "", 874},
    // Not single-byte
    {"ja", "", "", 932},
    {"ko", "", "", 949},
    {"zh", "", "", 936},
    {"zh", "TW", "", 950},
    {"zh", "HK", "", 950},
    {"zh", "MO", "", 950},
    // Unicode-only: no ANSI code page at all
    {"am", "", "", kUnicodeOnly},
    {"as", "", "", kUnicodeOnly},
    {"bn", "", "", kUnicodeOnly},
    {"bo", "", "", kUnicodeOnly},
    {"dv", "", "", kUnicodeOnly},
    {"gu", "", "", kUnicodeOnly},
    {"hi", "", "", kUnicodeOnly},
    {"hy", "", "", kUnicodeOnly},
    {"iu", "", "", kUnicodeOnly},
    {"ka", "", "", kUnicodeOnly},
    {"km", "", "", kUnicodeOnly},
    {"kn", "", "", kUnicodeOnly},
    {"kok", "", "", kUnicodeOnly},
    {"lo", "", "", kUnicodeOnly},
    {"ml", "", "", kUnicodeOnly},
    {"mr", "", "", kUnicodeOnly},
    {"mt", "", "", kUnicodeOnly},
    {"ne", "", "", kUnicodeOnly},
    {"or", "", "", kUnicodeOnly},
    {"pa", "", "", kUnicodeOnly},  // Punjabi in India, Gurmukhi script
    {"sa", "", "", kUnicodeOnly},
    {"si", "", "", kUnicodeOnly},
    {"syr", "", "", kUnicodeOnly},
    {"ta", "", "", kUnicodeOnly},
    {"te", "", "", kUnicodeOnly},
    // Western European and the other Latin-script languages Windows gives
    // 1252 are left to the rule for unlisted languages.
});

struct LocaleParts {
  std::string_view language;
  std::string_view territory;
  std::string_view modifier;
};

// language[_territory][.codeset][@modifier]
LocaleParts SplitLocale(std::string_view locale) {
  LocaleParts parts;
  const size_t at = locale.find('@');
  if (at != std::string_view::npos) {
    parts.modifier = locale.substr(at + 1);
    locale = locale.substr(0, at);
  }
  locale = locale.substr(0, locale.find('.'));
  const size_t underscore = locale.find('_');
  parts.language = locale.substr(0, underscore);
  if (underscore != std::string_view::npos) parts.territory = locale.substr(underscore + 1);
  return parts;
}

bool IsWindowsAnsiSingleByte(unsigned number) {
  return number == 874 || (number >= 1250 && number <= 1258);
}

std::string DisplayName(unsigned number) {
  return (IsWindowsAnsiSingleByte(number) ? "Windows-" : "CP") + std::to_string(number);
}

std::string IconvName(unsigned number) {
  return (IsWindowsAnsiSingleByte(number) ? "WINDOWS-" : "CP") + std::to_string(number);
}

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The number of "1250", "cp1250" or "windows-1250" (lower case).
std::optional<unsigned> WindowsNumber(std::string_view lower) {
  for (const std::string_view prefix : {"windows-", "cp"}) {
    if (lower.substr(0, prefix.size()) == prefix) {
      lower.remove_prefix(prefix.size());
      break;
    }
  }
  if (lower.empty() || lower.size() > 5) return std::nullopt;
  unsigned number = 0;
  for (const char c : lower) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

bool IsSingleByteCodePage(const std::string& iconvName) {
  try {
    CodePage::Load(iconvName);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

}  // namespace

const char* ProcessEnvironment(const char* name) { return std::getenv(name); }

std::string TextLocaleName(const EnvironmentLookup& lookup) {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = lookup(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

std::optional<unsigned> WindowsAnsiCodePageOfLocale(std::string_view locale) {
  const LocaleParts parts = SplitLocale(locale);
  // The most specific entry first: territory and modifier, then modifier,
  // then territory, then the language alone.
  for (int pass = 0; pass < 4; ++pass) {
    const bool withTerritory = pass == 0 || pass == 2;
    const bool withModifier = pass <= 1;
    if (withModifier && parts.modifier.empty()) continue;
    if (withTerritory && parts.territory.empty()) continue;
    for (const LocaleCodePage& entry : kLocaleCodePages) {
      if (entry.language != parts.language) continue;
      if (entry.territory != (withTerritory ? parts.territory : std::string_view())) continue;
      if (entry.modifier != (withModifier ? parts.modifier : std::string_view())) continue;
      if (entry.codePage == kNoWindowsLocale) return std::nullopt;
      return entry.codePage;
    }
  }
  return std::nullopt;
}

CodePageChoice CodePageOfLocale(const EnvironmentLookup& lookup) {
  const std::string locale = TextLocaleName(lookup);
  CodePageChoice choice{IconvName(kFallbackCodePage),
                        DisplayName(kFallbackCodePage),
                        "from the locale " + locale,
                        {}};
  const std::optional<unsigned> number = WindowsAnsiCodePageOfLocale(locale);
  if (!number) return choice;
  if (IsWindowsAnsiSingleByte(*number)) {
    choice.iconvName = IconvName(*number);
    choice.displayName = DisplayName(*number);
  } else if (*number == kUnicodeOnly) {
    choice.note = "The locale " + locale +
                  " has no single-byte Windows code page; text is written in Windows-1252.";
  } else {
    choice.note = "The locale " + locale + " has Windows code page " + std::to_string(*number) +
                  ", which is not single-byte; text is written in Windows-1252.";
  }
  return choice;
}

std::optional<CodePageChoice> CodePageOfName(std::string_view name, std::string origin) {
  const std::string lower = Lowercase(name);
  CodePageChoice choice;
  choice.origin = std::move(origin);
  if (const std::optional<unsigned> number = WindowsNumber(lower)) {
    choice.iconvName = IconvName(*number);
    choice.displayName = DisplayName(*number);
  } else {
    choice.iconvName = std::string(name);
    choice.displayName = std::string(name);
    for (char& c : choice.displayName) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (!IsSingleByteCodePage(choice.iconvName)) return std::nullopt;
  return choice;
}

}  // namespace mdbtokvt
