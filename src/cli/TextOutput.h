// Turning table-file text (bytes of a single-byte code page) into UTF-8 for
// the terminal, CSV and JSON.
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

// A JSON string literal (with quotes) for UTF-8 text.
std::string JsonString(std::string_view utf8);
// A CSV field: quoted, with quotes doubled.
std::string CsvField(std::string_view utf8);

}  // namespace mdbtokvt
