#include "common/Utf8Converter.h"

#include <iconv.h>

#include "common/Error.h"

namespace mdbtokvt {

Utf8Converter::Utf8Converter(const std::string& codePage) {
  iconv_t cd = iconv_open("UTF-8", codePage.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw ConversionError(ErrorNumber::kInvalidArgument, "Unknown code page \"" + codePage + "\"");
  }
  handle_ = cd;
}

Utf8Converter::~Utf8Converter() { iconv_close(static_cast<iconv_t>(handle_)); }

std::string Utf8Converter::operator()(std::string_view bytes) const {
  std::string out;
  auto cd = static_cast<iconv_t>(handle_);
  // One byte at a time: a single-byte code page maps each byte on its own,
  // and an undefined byte can be replaced without losing the rest.
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(c);
      continue;
    }
    char in[1] = {c};
    char buf[8];
    char* inPtr = in;
    size_t inLeft = 1;
    char* outPtr = buf;
    size_t outLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      out += "\xEF\xBF\xBD";
    } else {
      out.append(buf, static_cast<size_t>(outPtr - buf));
    }
  }
  return out;
}

}  // namespace mdbtokvt
