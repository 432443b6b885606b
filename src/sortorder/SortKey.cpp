#include "sortorder/SortKey.h"

#include <algorithm>
#include <cstring>

#include "common/Utf16.h"
#include "sortorder/CharacterCodes.h"

namespace mdbtokvt {

namespace {

constexpr size_t kIndexedCharacters = 255;
constexpr char kEndOfText = 0x01;
constexpr char kEndOfKey = 0x00;
// An accent code standing for "no accent" on a character before an accented one.
constexpr uint8_t kNoAccent = 0x02;

// The part of a text an index key covers: at most 255 code units, without
// trailing spaces.
std::u16string_view KeyedPart(std::u16string_view text) {
  text = text.substr(0, kIndexedCharacters);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// In-line bytes go straight into room made for them (at most eight a
// character): this loop runs for every character of every text read.
void WriteInline(const CharacterCode& code, char*& out) {
  std::memcpy(out, code.inlineBytes.data(), code.inlineBytes.size());
  out += code.inlineLength;
}

// Access 2000-2007, and 2010 and later with their own codes (CodeOf). The
// key is the in-line bytes of every character, an end mark, then (only when
// there is any) the accent codes, the flags of the flagged characters and
// the unprintable characters with their positions, then a final 00.
template <const CharacterCode& (*CodeOf)(char16_t)>
class GeneralKeyBuilder {
 public:
  explicit GeneralKeyBuilder(std::string& key) : key_(key) {}

  void Add(char16_t unit, char*& out) {
    const CharacterCode& code = CodeOf(unit);
    // Positions count the characters with in-line bytes before this one.
    const size_t position = inlineCharacters_;
    if (code.inlineLength > 0) {
      WriteInline(code, out);
      ++inlineCharacters_;
    }
    switch (code.kind) {
      case CharacterKind::kIgnored:
      case CharacterKind::kSimple:
      case CharacterKind::kSignificant:
        return;
      case CharacterKind::kAccented:
      case CharacterKind::kFlagged:
        if (code.accentLength > 0) AddAccent(position, code);
        if (code.kind == CharacterKind::kFlagged) flags_.push_back(static_cast<char>(code.code));
        return;
      case CharacterKind::kModifier:
        if (code.code != 0) AddModifier(position, code.code);
        return;
      case CharacterKind::kUnprintable:
        AddUnprintable(position, code.code);
        return;
    }
  }

  void Finish() {
    key_.push_back(kEndOfText);
    // Characters after the last accented one need no "no accent" code.
    while (!accents_.empty() && static_cast<uint8_t>(accents_.back()) <= kNoAccent) {
      accents_.pop_back();
    }
    key_ += accents_;
    if (!flags_.empty() || !unprintables_.empty()) {
      key_.push_back(kEndOfText);
      key_.push_back(kEndOfText);
      if (!flags_.empty()) AppendFlags();
      if (!unprintables_.empty()) {
        key_.push_back(kEndOfText);
        key_ += unprintables_;
      }
    }
    key_.push_back(kEndOfKey);
  }

 private:
  // Brings the accent codes up to the characters before position, each
  // without an accent.
  void PadAccents(size_t position) {
    if (accentCharacters_ < position) {
      accents_.append(position - accentCharacters_, static_cast<char>(kNoAccent));
      accentCharacters_ = position;
    }
  }

  void AddAccent(size_t position, const CharacterCode& code) {
    PadAccents(position);
    accents_.append(reinterpret_cast<const char*>(code.accentBytes.data()), code.accentLength);
    ++accentCharacters_;
  }

  void AddModifier(size_t position, uint8_t value) {
    PadAccents(position);
    if (!accents_.empty()) {
      accents_.back() = static_cast<char>(static_cast<uint8_t>(accents_.back()) + value);
    } else {
      // Nothing to modify: the value opens the accent codes, and positions
      // of unprintable characters do not count it.
      accents_.push_back(static_cast<char>(value));
      leadingModifiers_ = 1;
    }
  }

  void AddUnprintable(size_t position, uint8_t code) {
    // Once accent codes have begun, the position counts in accent codes,
    // including the "no accent" ones still to be written.
    size_t at = position;
    if (!accents_.empty()) at = accents_.size() + position - accentCharacters_ - leadingModifiers_;
    const unsigned mark = (7 + 4 * static_cast<unsigned>(at)) | 0x8000;
    unprintables_.push_back(static_cast<char>((mark >> 8) & 0xFF));
    unprintables_.push_back(static_cast<char>(mark & 0xFF));
    unprintables_.push_back(0x06);
    unprintables_.push_back(static_cast<char>(code));
  }

  // The flags, two bits each and three to a byte under a leading 10 bit
  // pair, trailing flags of 3 left out, then a fixed suffix.
  void AppendFlags() {
    std::string_view flags = flags_;
    while (!flags.empty() && flags.back() == 3) flags.remove_suffix(1);
    for (size_t i = 0; i < flags.size(); i += 3) {
      uint8_t byte = 0x80;
      for (size_t k = 0; k < 3 && i + k < flags.size(); ++k) {
        byte |= static_cast<uint8_t>(flags[i + k] << ((2 - k) * 2));
      }
      key_.push_back(static_cast<char>(byte));
    }
    static constexpr char kFlagsEnd[] = {'\xFF', '\x02', '\x80', '\xFF', '\x80'};
    key_.append(kFlagsEnd, sizeof kFlagsEnd);
    if (!unprintables_.empty()) key_.push_back('\xFF');
  }

  std::string& key_;
  size_t inlineCharacters_ = 0;
  std::string accents_;
  size_t accentCharacters_ = 0;  // characters the accent codes account for
  size_t leadingModifiers_ = 0;
  std::string flags_;
  std::string unprintables_;
};

// Access 97. The key is the in-line bytes of every character, then either
// 00 or, when a character carries an accent, the accent codes as 4-bit
// values between two 0 values: for each accented character, a "no accent"
// value for each letter since the previous accented one, then its own.
class Key97Builder {
 public:
  explicit Key97Builder(std::string& key) : key_(key) {}

  void Add(char16_t unit, char*& out) {
    const CharacterCode& code = General97Code(unit);
    WriteInline(code, out);
    if (code.kind == CharacterKind::kSignificant) {
      ++lettersSinceAccent_;
    } else if (code.kind == CharacterKind::kSimple) {
      lettersSinceAccent_ += code.code;
    } else if (code.kind == CharacterKind::kAccented) {
      if (nibbles_.empty()) nibbles_.push_back(0);
      nibbles_.append(lettersSinceAccent_, static_cast<char>(kNoAccent));
      nibbles_.push_back(static_cast<char>(code.accentBytes[0] & 0x0F));
      lettersSinceAccent_ = 0;
    }
  }

  void Finish() {
    if (nibbles_.empty()) {
      key_.push_back(kEndOfKey);
      return;
    }
    nibbles_.push_back(0);
    for (size_t i = 0; i < nibbles_.size(); i += 2) {
      const uint8_t high = static_cast<uint8_t>(nibbles_[i]);
      const uint8_t low = i + 1 < nibbles_.size() ? static_cast<uint8_t>(nibbles_[i + 1]) : 0;
      key_.push_back(static_cast<char>((high << 4) | low));
    }
  }

 private:
  std::string& key_;
  size_t lettersSinceAccent_ = 0;
  std::string nibbles_;
};

template <typename Builder>
void BuildKey(std::u16string_view text, std::string& key) {
  text = KeyedPart(text);
  const size_t start = key.size();
  key.resize(start + sizeof(CharacterCode::inlineBytes) * text.size());
  char* const first = key.data() + start;
  char* out = first;
  Builder builder(key);
  for (const char16_t unit : text) builder.Add(unit, out);
  key.resize(start + static_cast<size_t>(out - first));
  builder.Finish();
}

}  // namespace

void AppendSortKey(SortOrder order, std::u16string_view text, std::string& key) {
  switch (order) {
    case SortOrder::kGeneral97:
      BuildKey<Key97Builder>(text, key);
      return;
    case SortOrder::kGeneralLegacy:
      BuildKey<GeneralKeyBuilder<GeneralLegacyCode>>(text, key);
      return;
    case SortOrder::kGeneral:
      BuildKey<GeneralKeyBuilder<GeneralCode>>(text, key);
      return;
  }
}

std::string SortKeyOfUtf8(SortOrder order, std::string_view utf8) {
  std::string key;
  AppendSortKey(order, Utf16FromUtf8(utf8), key);
  return key;
}

}  // namespace mdbtokvt
