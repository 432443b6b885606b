// Turns text of the table files (bytes of a single-byte code page) into UTF-8
// for display: the terminal, JSON, CSV and the window.
#pragma once

#include <string>
#include <string_view>

namespace mdbtokvt {

// Converts bytes of codePage to UTF-8; a byte the code page leaves undefined
// becomes U+FFFD. Raises 5 for a code page iconv does not know.
class Utf8Converter {
 public:
  explicit Utf8Converter(const std::string& codePage);
  ~Utf8Converter();
  Utf8Converter(const Utf8Converter&) = delete;
  Utf8Converter& operator=(const Utf8Converter&) = delete;
  std::string operator()(std::string_view bytes) const;

 private:
  void* handle_;
};

}  // namespace mdbtokvt
