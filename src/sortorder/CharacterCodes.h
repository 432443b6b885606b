// What one character contributes to the sort key of a text in Access's
// "General" sort orders: bytes written in line (the first level of the
// order), an accent code kept for a later part of the key, or a code kept
// with the character's position for the last part. The tables are built
// from the data files in tables/ (see tables/README.md).
#pragma once

#include <array>
#include <cstdint>

namespace mdbtokvt {

enum class CharacterKind : uint8_t {
  kIgnored,      // adds nothing
  kSimple,       // in-line bytes only
  kSignificant,  // in-line bytes; a letter that may carry an accent (Access 97)
  kAccented,     // in-line bytes and an accent code
  kFlagged,      // in-line bytes, an optional accent code and a two-bit flag
  kUnprintable,  // nothing in line; its code and position go to the last part
  kModifier,     // adds its value to the accent code of the character before
};

struct CharacterCode {
  CharacterKind kind = CharacterKind::kIgnored;
  uint8_t inlineLength = 0;
  uint8_t accentLength = 0;
  // The unprintable code, the modifier's value, or the flag (2 or 3); for a
  // simple character of Access 97 that stands for two letters (ß, æ, œ), how
  // many of them may carry an accent.
  uint8_t code = 0;
  std::array<uint8_t, 8> inlineBytes{};
  std::array<uint8_t, 3> accentBytes{};
};

namespace code_tables {

// Access 2000-2007: every UTF-16 code unit (surrogates are ignored).
extern const CharacterCode kGeneralLegacy[65536];
// Access 2010 and later: every UTF-16 code unit (surrogates are ignored).
extern const CharacterCode kGeneral[65536];
// Access 97: U+0000-U+00FF.
extern const CharacterCode kGeneral97[256];
// Access 97: the character of U+0000-U+00FF that U+0152 + i sorts as, 0 for
// none (U+0000 is ignored).
inline constexpr char16_t kFirstMapped97 = 0x0152;
inline constexpr char16_t kLastMapped97 = 0x2122;
extern const uint8_t kGeneral97Mapped[kLastMapped97 - kFirstMapped97 + 1];

}  // namespace code_tables

inline const CharacterCode& GeneralLegacyCode(char16_t unit) {
  return code_tables::kGeneralLegacy[unit];
}

inline const CharacterCode& GeneralCode(char16_t unit) { return code_tables::kGeneral[unit]; }

inline const CharacterCode& General97Code(char16_t unit) {
  if (unit <= 0xFF) return code_tables::kGeneral97[unit];
  if (unit < code_tables::kFirstMapped97 || unit > code_tables::kLastMapped97) {
    return code_tables::kGeneral97[0];
  }
  return code_tables::kGeneral97[code_tables::kGeneral97Mapped[unit - code_tables::kFirstMapped97]];
}

}  // namespace mdbtokvt
