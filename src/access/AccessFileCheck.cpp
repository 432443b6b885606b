#include "access/AccessFileCheck.h"

#include <array>
#include <cstring>
#include <fstream>
#include <string>

#include "access/PageLayout.h"
#include "common/Error.h"

namespace mdbtokvt {

namespace {

constexpr size_t kJet3PageSize = 2048;
constexpr size_t kJet4PageSize = 4096;
constexpr size_t kVersionOffset = 0x14;
constexpr size_t kHeaderBytes = kVersionOffset + 1;
constexpr unsigned char kJet3Version = 0;
constexpr unsigned char kNewestVersion = 6;  // Access 2019
constexpr size_t kMinimumPages = 3;
constexpr char kTableDefinitionPageType = 0x02;

}  // namespace

size_t AccessPageSize(std::string_view header) {
  if (header.size() < kHeaderBytes) return 0;
  static constexpr char kMagic[4] = {0x00, 0x01, 0x00, 0x00};
  if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) return 0;
  const std::string_view format = header.substr(4, 15);
  if (format != "Standard Jet DB" && format != "Standard ACE DB") return 0;
  const auto version = static_cast<unsigned char>(header[kVersionOffset]);
  if (version > kNewestVersion) return 0;
  return version == kJet3Version ? kJet3PageSize : kJet4PageSize;
}

void ThrowCannotOpen(std::string_view databasePath) {
  throw ConversionError(ErrorNumber::kCannotOpen,
                        ClassicDescription(ErrorNumber::kCannotOpen, databasePath));
}

AccessFileFacts CheckAccessFile(std::string_view databasePath) {
  namespace fs = std::filesystem;
  const std::string path(databasePath);
  std::error_code error;
  AccessFileFacts facts;
  facts.absolutePath = fs::absolute(fs::path(path), error);
  if (error || path.empty() || !fs::exists(facts.absolutePath, error)) ThrowDatabaseNotFound(path);
  if (!fs::is_regular_file(facts.absolutePath, error)) ThrowUnrecognizedFormat(path);
  facts.size = fs::file_size(facts.absolutePath, error);
  if (error) ThrowUnrecognizedFormat(path);

  std::ifstream in(facts.absolutePath, std::ios::binary);
  if (!in) ThrowCannotOpen(path);
  std::array<char, kHeaderBytes> header{};
  if (!in.read(header.data(), header.size())) ThrowUnrecognizedFormat(path);
  facts.pageSize = AccessPageSize({header.data(), header.size()});
  if (facts.pageSize == 0 || facts.size % facts.pageSize != 0 ||
      facts.size < kMinimumPages * facts.pageSize) {
    ThrowUnrecognizedFormat(path);
  }
  char pageType = 0;
  in.seekg(static_cast<std::streamoff>(kCatalogDefinitionPage * facts.pageSize));
  if (!in.get(pageType) || pageType != kTableDefinitionPageType) ThrowUnrecognizedFormat(path);
  return facts;
}

}  // namespace mdbtokvt
