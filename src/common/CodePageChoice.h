// Which single-byte code page the table files' text is written in (and read
// back through): by default the Windows ANSI code page of the user's locale,
// as on the Windows system the table files are made for; or the one the
// user names. Both front ends and all commands make the choice this way.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mdbtokvt {

struct CodePageChoice {
  std::string iconvName;    // e.g. "WINDOWS-1250": what CodePage and Utf8Converter take
  std::string displayName;  // e.g. "Windows-1250"
  std::string origin;       // e.g. "from the locale pl_PL.UTF-8", "from --codepage"
  // One line when the locale's own Windows code page could not be used (it
  // is not single-byte); empty otherwise.
  std::string note;

  // E.g. "Windows-1250, from the locale pl_PL.UTF-8".
  std::string Description() const { return displayName + ", " + origin; }
};

// An environment variable's value, or null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;
// The process's own environment.
const char* ProcessEnvironment(const char* name);

// The locale the C library takes for character handling: the first of
// LC_ALL, LC_CTYPE and LANG that is set and not empty; "C" when none is.
std::string TextLocaleName(const EnvironmentLookup& lookup);

// The number of the Windows ANSI code page Windows gives a locale such as
// "pl_PL.UTF-8", "sr_RS@latin" or "ja_JP"; 0 for a locale Windows keeps
// Unicode-only; nothing for C, POSIX and locales the table does not know.
std::optional<unsigned> WindowsAnsiCodePageOfLocale(std::string_view locale);

// The default: the locale's code page when it is single-byte, else
// Windows-1252 (with a note when the locale has a code page of its own).
CodePageChoice CodePageOfLocale(const EnvironmentLookup& lookup = ProcessEnvironment);

// A code page the user names: a Windows code page number ("1250"), "cp1250",
// "windows-1250" (any letter case), or any name iconv knows. Nothing when it
// is unknown or not single-byte. origin says where the name came from.
std::optional<CodePageChoice> CodePageOfName(std::string_view name, std::string origin);

// The accepted forms, for a usage message.
inline constexpr std::string_view kCodePageForms =
    "a Windows code page number (1250), cp1250, windows-1250, or the name of a "
    "single-byte code page iconv knows (ISO-8859-2)";

}  // namespace mdbtokvt
