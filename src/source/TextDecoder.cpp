#include "source/TextDecoder.h"

namespace mdbtokvt {

TextDecoder::TextDecoder(const CodePage& output) : output_(output) {}

TextDecoder::TextDecoder(const CodePage& output, const CodePage& fileCodePage)
    : output_(output), singleByte_(true), singleByteTable_(TranscodeTable(fileCodePage, output)) {}

void TextDecoder::Append(const uint8_t* data, size_t size, std::string& out) const {
  if (!singleByte_) {
    AppendJet4(data, size, out);
    return;
  }
  const size_t base = out.size();
  out.resize(base + size);
  for (size_t i = 0; i < size; ++i) out[base + i] = static_cast<char>(singleByteTable_[data[i]]);
}

void TextDecoder::AppendJet4(const uint8_t* data, size_t size, std::string& out) const {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) {
    output_.AppendUtf16Le(data, size / 2, out);
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
      for (size_t k = segment; k < i; ++k)
        out.push_back(static_cast<char>(output_.Encode(data[k])));
    } else {
      output_.AppendUtf16Le(data + segment, (i - segment) / 2, out);
    }
    oneByte = !oneByte;
    segment = i + 1;
  }
}

}  // namespace mdbtokvt
