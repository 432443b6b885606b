// Turns the stored bytes of a Text or Memo value into output code page bytes
// and the text's sort key. Jet 4 (and later) stores UCS-2LE, optionally in
// the compressed form that starts with FF FE; Jet 3 stores bytes of the
// file's own code page. The key is built from the characters as stored,
// before the conversion to the output code page loses any of them; a text
// that loses characters also keeps them, in UTF-8, for the report.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/CodePage.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

// A decoded text: its bytes in the output code page, its sort key (empty
// for a text stored plain, see CollatedText.h), and the text as stored in
// UTF-8 when the code page could not hold every character of it (else
// empty).
struct DecodedText {
  std::string text;
  std::string key;
  std::string lostSource;
};

class TextDecoder {
 public:
  // Decoder for Jet 4 text.
  explicit TextDecoder(const CodePage& output);
  // Decoder for Jet 3 text stored in the code page fileCodePage (only read
  // here).
  TextDecoder(const CodePage& output, const CodePage& fileCodePage);

  // Decodes size stored bytes of a text that sorts in order.
  void Decode(const uint8_t* data, size_t size, SortOrder order, DecodedText& out);
  // The same for a text the program made itself, in ASCII.
  void DecodeAscii(std::string_view ascii, SortOrder order, DecodedText& out);

 private:
  void StoredJet4Units(const uint8_t* data, size_t size);
  void Finish(SortOrder order, DecodedText& out) const;

  const CodePage& output_;
  bool singleByte_ = false;
  std::array<char16_t, 256> fileCharacters_{};  // Jet 3: the character of each byte
  std::u16string units_;                        // the text being decoded
};

}  // namespace mdbtokvt
