// Turns the stored bytes of a Text or Memo value into output code page bytes
// and the text's sort key. Jet 4 (and later) stores UCS-2LE, optionally in
// the compressed form that starts with FF FE; Jet 3 stores bytes of the
// file's own code page. The key is built from the characters as stored,
// before the conversion to the output code page loses any of them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/CodePage.h"
#include "sortorder/SortKey.h"

namespace mdbtokvt {

class TextDecoder {
 public:
  // Decoder for Jet 4 text.
  TextDecoder(const CodePage& output, SortOrder order);
  // Decoder for Jet 3 text stored in the code page fileCodePage (only read
  // here).
  TextDecoder(const CodePage& output, const CodePage& fileCodePage, SortOrder order);

  // Converts size stored bytes into text (output code page) and key (empty
  // for a text stored plain, see CollatedText.h).
  void Decode(const uint8_t* data, size_t size, std::string& text, std::string& key);
  // The same for a text the program made itself, in ASCII.
  void DecodeAscii(std::string_view ascii, std::string& text, std::string& key);

 private:
  void StoredJet4Units(const uint8_t* data, size_t size);
  void Finish(std::string& text, std::string& key) const;

  const CodePage& output_;
  SortOrder order_;
  bool singleByte_ = false;
  std::array<char16_t, 256> fileCharacters_{};  // Jet 3: the character of each byte
  std::u16string units_;                        // the text being decoded
};

}  // namespace mdbtokvt
