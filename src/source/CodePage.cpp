#include "source/CodePage.h"

#include <iconv.h>

#include <cerrno>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

// Closes an iconv descriptor when the builder is done with it.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

[[noreturn]] void ThrowBadCodePage(std::string_view name, std::string_view why) {
  throw ConversionError(kErrInvalidArgument, "Invalid procedure call or argument: the code page '" +
                                                 std::string(name) + "' " + std::string(why) + ".");
}

// What one byte of the code page decodes to: a character, an undefined byte,
// or the start of a longer sequence (which rules the code page out).
enum class ByteKind { kCharacter, kUndefined, kMultiByte };

ByteKind DecodeByte(iconv_t cd, uint8_t byte, char32_t& out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char in[1] = {static_cast<char>(byte)};
  char buffer[16];
  char* inPtr = in;
  size_t inLeft = 1;
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  if (result == static_cast<size_t>(-1)) {
    return errno == EILSEQ ? ByteKind::kUndefined : ByteKind::kMultiByte;
  }
  // A stateful code page may hold the byte back; flush to see it.
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  const size_t produced = sizeof buffer - outLeft;
  if (produced != 4) return ByteKind::kMultiByte;
  const auto* b = reinterpret_cast<const uint8_t*>(buffer);
  out = static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                              (static_cast<uint32_t>(b[3]) << 24));
  return ByteKind::kCharacter;
}

// The lower-case form of the capital letters the fold table knows: Latin
// (basic, Latin-1 and Latin Extended-A), Greek and Cyrillic. Anything else
// is returned unchanged.
char32_t LowerCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;  // Y with diaeresis
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (c % 2 == 0) ? c + 1 : c;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

}  // namespace

CodePage CodePage::Load(std::string_view name) {
  const std::string nameText(name);
  // An empty name would mean the locale's charset to iconv, and a "//"
  // suffix changes its behaviour: neither names a code page.
  if (nameText.empty() || nameText.find('/') != std::string::npos) {
    ThrowBadCodePage(name, "is not known");
  }
  IconvHandle decoder("UTF-32LE", nameText.c_str());
  if (!decoder.valid()) ThrowBadCodePage(name, "is not known");

  CodePage page;
  page.name_ = nameText;
  for (int byte = 0; byte < 256; ++byte) {
    char32_t c = 0;
    switch (DecodeByte(decoder.get(), static_cast<uint8_t>(byte), c)) {
      case ByteKind::kCharacter:
        page.decode_[byte] = c;
        break;
      case ByteKind::kUndefined:
        page.decode_[byte] = kUndefined;
        break;
      case ByteKind::kMultiByte:
        ThrowBadCodePage(name, "is not a single-byte code page");
    }
  }

  auto encode = std::make_shared<std::array<uint8_t, 65536>>();
  // '?' for every character the code page lacks; the lowest byte wins where
  // two bytes decode to the same character.
  page.question_ = '?';
  for (int byte = 255; byte >= 0; --byte) {
    if (page.decode_[byte] == U'?') page.question_ = static_cast<uint8_t>(byte);
  }
  encode->fill(page.question_);
  for (int byte = 255; byte >= 0; --byte) {
    const char32_t c = page.decode_[byte];
    if (c != kUndefined && c <= 0xFFFF) (*encode)[c] = static_cast<uint8_t>(byte);
  }
  page.encode_ = std::move(encode);
  page.BuildFoldTable();
  return page;
}

void CodePage::BuildFoldTable() {
  for (int byte = 0; byte < 256; ++byte) {
    fold_[byte] = static_cast<uint8_t>(byte);
    const char32_t c = decode_[byte];
    if (c == kUndefined) continue;
    const char32_t lower = LowerCase(c);
    if (lower == c || lower > 0xFFFF) continue;
    const uint8_t target = Encode(static_cast<char16_t>(lower));
    if (decode_[target] == lower) fold_[byte] = target;
  }
}

void CodePage::AppendUtf16Le(const uint8_t* data, size_t units, std::string& out) const {
  const auto& table = *encode_;
  for (size_t i = 0; i < units; ++i) {
    const char16_t unit = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      // A character outside the BMP has no single-byte form: one '?' for the
      // pair, and one for a surrogate that has no partner.
      if (unit <= 0xDBFF && i + 1 < units) {
        const char16_t next = static_cast<char16_t>(data[2 * i + 2] | (data[2 * i + 3] << 8));
        if (next >= 0xDC00 && next <= 0xDFFF) ++i;
      }
      out.push_back(static_cast<char>(question_));
      continue;
    }
    out.push_back(static_cast<char>(table[unit]));
  }
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<uint8_t>(utf8[i]);
    int length = lead < 0x80         ? 1
                 : (lead >> 5) == 6  ? 2
                 : (lead >> 4) == 14 ? 3
                 : (lead >> 3) == 30 ? 4
                                     : 0;
    if (length == 0 || i + length > utf8.size()) {
      out.push_back(static_cast<char>(question_));
      ++i;
      continue;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto cont = static_cast<uint8_t>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!valid) {
      out.push_back(static_cast<char>(question_));
      ++i;
      continue;
    }
    i += length;
    const bool inBmp = c <= 0xFFFF && !(c >= 0xD800 && c <= 0xDFFF);
    out.push_back(static_cast<char>(inBmp ? Encode(static_cast<char16_t>(c)) : question_));
  }
  return out;
}

std::array<uint8_t, 256> TranscodeTable(const CodePage& from, const CodePage& to) {
  std::array<uint8_t, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<uint8_t>(byte);
    const char32_t c = from.Decode(b);
    table[byte] =
        (from.Decodes(b) && c <= 0xFFFF) ? to.Encode(static_cast<char16_t>(c)) : to.QuestionMark();
  }
  return table;
}

}  // namespace mdbtokvt
