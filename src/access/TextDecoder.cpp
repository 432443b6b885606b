#include "access/TextDecoder.h"

#include "common/Utf16.h"
#include "sortorder/CollatedText.h"

namespace mdbtokvt {

TextDecoder::TextDecoder(const CodePage& output) : output_(output) {}

TextDecoder::TextDecoder(const CodePage& output, const CodePage& fileCodePage)
    : output_(output), singleByte_(true) {
  for (int byte = 0; byte < 256; ++byte) {
    const auto b = static_cast<uint8_t>(byte);
    const char32_t c = fileCodePage.Decode(b);
    // A byte the code page leaves undefined reads as '?', as it is written.
    fileCharacters_[byte] =
        fileCodePage.Decodes(b) && c <= 0xFFFF ? static_cast<char16_t>(c) : u'?';
  }
}

void TextDecoder::Decode(const uint8_t* data, size_t size, SortOrder order, DecodedText& out) {
  units_.clear();
  if (singleByte_) {
    units_.reserve(size);
    for (size_t i = 0; i < size; ++i) units_.push_back(fileCharacters_[data[i]]);
  } else {
    StoredJet4Units(data, size);
  }
  Finish(order, out);
}

void TextDecoder::DecodeAscii(std::string_view ascii, SortOrder order, DecodedText& out) {
  units_.assign(ascii.begin(), ascii.end());
  Finish(order, out);
}

void TextDecoder::StoredJet4Units(const uint8_t* data, size_t size) {
  auto appendUcs2 = [&](const uint8_t* from, size_t units) {
    for (size_t i = 0; i < units; ++i) {
      units_.push_back(static_cast<char16_t>(from[2 * i] | (from[2 * i + 1] << 8)));
    }
  };
  if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) {
    appendUcs2(data, size / 2);
    return;
  }
  // Compressed: segments of one byte per character (U+0001..U+00FF) and of
  // plain UCS-2, each 00 byte switching from one kind to the other. The text
  // starts in the one-byte kind.
  bool oneByte = true;
  size_t segment = 2;
  for (size_t i = 2; i <= size; ++i) {
    if (i < size && data[i] != 0) continue;
    if (oneByte) {
      for (size_t k = segment; k < i; ++k) units_.push_back(data[k]);
    } else {
      appendUcs2(data + segment, (i - segment) / 2);
    }
    oneByte = !oneByte;
    segment = i + 1;
  }
}

void TextDecoder::Finish(SortOrder order, DecodedText& out) const {
  out.text.clear();
  const size_t lost = output_.AppendUtf16(units_, out.text);
  out.lostSource.clear();
  if (lost > 0) out.lostSource = Utf8FromUtf16(units_);
  out.key.clear();
  // A text stored plain gets its key from its bytes when it is compared.
  if (!TextStaysPlain(out.text)) AppendSortKey(order, units_, out.key);
}

}  // namespace mdbtokvt
