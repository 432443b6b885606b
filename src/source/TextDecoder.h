// Turns the stored bytes of a Text or Memo value into output code page bytes.
// Jet 4 (and later) stores UCS-2LE, optionally in the compressed form that
// starts with FF FE; Jet 3 stores bytes of the file's own code page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "source/CodePage.h"

namespace mdbtokvt {

class TextDecoder {
 public:
  // Decoder for Jet 4 text.
  explicit TextDecoder(const CodePage& output);
  // Decoder for Jet 3 text stored in the code page fileCodePage.
  TextDecoder(const CodePage& output, const CodePage& fileCodePage);

  // Appends the converted text of size stored bytes to out.
  void Append(const uint8_t* data, size_t size, std::string& out) const;

 private:
  void AppendJet4(const uint8_t* data, size_t size, std::string& out) const;

  const CodePage& output_;
  bool singleByte_ = false;
  std::array<uint8_t, 256> singleByteTable_{};
};

}  // namespace mdbtokvt
