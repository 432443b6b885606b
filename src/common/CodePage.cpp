#include "common/CodePage.h"

#include <iconv.h>

#include <cerrno>

#include "common/Error.h"
#include "common/Utf16.h"

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
  throw ConversionError(ErrorNumber::kInvalidArgument,
                        ClassicDescription(ErrorNumber::kInvalidArgument) + ": the code page '" +
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
  return page;
}

size_t CodePage::AppendUtf16(std::u16string_view units, std::string& out) const {
  const auto& table = *encode_;
  const char32_t questionCharacter = decode_[question_];
  size_t lost = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      // A character outside the BMP has no single-byte form: one '?' for the
      // pair, and one for a surrogate that has no partner.
      if (unit <= 0xDBFF && i + 1 < units.size()) {
        const char16_t next = units[i + 1];
        if (next >= 0xDC00 && next <= 0xDFFF) ++i;
      }
      out.push_back(static_cast<char>(question_));
      ++lost;
      continue;
    }
    const uint8_t byte = table[unit];
    if (byte == question_ && unit != questionCharacter) ++lost;
    out.push_back(static_cast<char>(byte));
  }
  return lost;
}

std::string CodePage::FromUtf8(std::string_view utf8) const {
  std::string out;
  AppendUtf16(Utf16FromUtf8(utf8), out);
  return out;
}

}  // namespace mdbtokvt
