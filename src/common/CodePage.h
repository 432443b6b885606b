// A single-byte output code page: the table that turns a UTF-16 code unit
// into the one byte that stands for it, built once with iconv, and the few
// facts about the code page the rest of the source layer needs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace mdbtokvt {

class CodePage {
 public:
  // Builds the tables for an iconv code page name. Raises 5 when iconv does
  // not know the name or the code page is not one byte per character.
  static CodePage Load(std::string_view name);

  const std::string& name() const { return name_; }

  // The byte for a BMP character; a character without a form in the code
  // page gives the byte of '?'. Surrogates are not characters: callers pair
  // them up first (see AppendUtf16).
  uint8_t Encode(char16_t unit) const { return (*encode_)[unit]; }
  uint8_t QuestionMark() const { return question_; }
  // The character a byte stands for, or nothing for a byte the code page
  // leaves undefined.
  bool Decodes(uint8_t byte) const { return decode_[byte] != kUndefined; }
  char32_t Decode(uint8_t byte) const { return decode_[byte]; }

  // Appends UTF-16 text converted to this code page; a surrogate pair (or a
  // lone surrogate) becomes one '?'. Returns how many characters became '?'
  // (a '?' of the text itself is no loss).
  size_t AppendUtf16(std::u16string_view units, std::string& out) const;
  // Converts UTF-8 text (e.g. typed by a user) the same way.
  std::string FromUtf8(std::string_view utf8) const;

 private:
  static constexpr char32_t kUndefined = 0xFFFFFFFF;
  CodePage() = default;

  std::string name_;
  std::shared_ptr<const std::array<uint8_t, 65536>> encode_;
  std::array<char32_t, 256> decode_{};
  uint8_t question_ = '?';
};

}  // namespace mdbtokvt
