// Build tool: turns the per-character data files of tables/ into the C++
// tables CharacterCodes.h declares.
//   mdbtokvt-make-code-tables GENLEG EXT_GENLEG GEN_97 MAPPINGS_97 GEN EXT_GEN OUTPUT.cpp
// Any line it cannot read ends it with status 1 and a message naming the
// file and line, so a damaged data file fails the build.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sortorder/CharacterCodes.h"

namespace {

using mdbtokvt::CharacterCode;
using mdbtokvt::CharacterKind;

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw Failure(path + ": cannot be opened");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

// Hexadecimal bytes; an odd number of digits has lost a leading 0.
std::vector<uint8_t> HexBytes(std::string hex) {
  if (hex.size() % 2 != 0) hex.insert(hex.begin(), '0');
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    size_t used = 0;
    const unsigned long value = std::stoul(hex.substr(i, 2), &used, 16);
    if (used != 2) throw std::invalid_argument("not hexadecimal");
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}

CharacterCode ParseLine(const std::string& line) {
  if (line.empty()) throw std::invalid_argument("empty line");
  const std::vector<std::string> fields = SplitFields(line.substr(1));
  auto expect = [&](size_t count) {
    if (fields.size() != count) throw std::invalid_argument("wrong number of fields");
  };
  auto inlineBytes = [&](CharacterCode& code, const std::string& hex) {
    const std::vector<uint8_t> bytes = HexBytes(hex);
    if (bytes.empty() || bytes.size() > code.inlineBytes.size()) {
      throw std::invalid_argument("in-line bytes");
    }
    code.inlineLength = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), code.inlineBytes.begin());
  };
  auto accentBytes = [&](CharacterCode& code, const std::string& hex) {
    const std::vector<uint8_t> bytes = HexBytes(hex);
    if (bytes.size() > code.accentBytes.size()) throw std::invalid_argument("accent bytes");
    code.accentLength = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), code.accentBytes.begin());
  };
  auto singleByte = [&](const std::string& hex) {
    const std::vector<uint8_t> bytes = HexBytes(hex);
    if (bytes.size() != 1) throw std::invalid_argument("one byte expected");
    return bytes[0];
  };

  CharacterCode code;
  switch (line[0]) {
    case 'X':
      code.kind = CharacterKind::kIgnored;
      break;
    case 'S':
    case 'G':
      expect(1);
      code.kind = line[0] == 'S' ? CharacterKind::kSimple : CharacterKind::kSignificant;
      inlineBytes(code, fields[0]);
      break;
    case 'I':
    case 'Z': {
      // Both carry accent bytes; a flagged character adds its flag.
      const bool flagged = line[0] == 'Z';
      expect(flagged ? 3 : 2);
      code.kind = flagged ? CharacterKind::kFlagged : CharacterKind::kAccented;
      inlineBytes(code, fields[0]);
      accentBytes(code, fields[1]);
      if (flagged) {
        code.code = fields[2] == "1" ? 2 : 3;
      } else if (code.accentLength == 0) {
        throw std::invalid_argument("accent bytes missing");
      }
      break;
    }
    case 'U':
    case 'P':
      expect(1);
      code.kind = line[0] == 'U' ? CharacterKind::kUnprintable : CharacterKind::kModifier;
      code.code = singleByte(fields[0]);
      break;
    default:
      throw std::invalid_argument("unknown kind");
  }
  return code;
}

// Reads the codes of first..last from path, one line each; surrogates have
// no line and are ignored.
void ReadCodes(const std::string& path, unsigned first, unsigned last,
               std::vector<CharacterCode>& codes) {
  const std::vector<std::string> lines = ReadLines(path);
  size_t next = 0;
  for (unsigned c = first; c <= last; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    if (next >= lines.size()) throw Failure(path + ": too few lines");
    try {
      codes[c] = ParseLine(lines[next]);
    } catch (const std::exception& e) {
      throw Failure(path + ":" + std::to_string(next + 1) + ": " + e.what());
    }
    ++next;
  }
  while (next < lines.size() && lines[next].empty()) ++next;
  if (next != lines.size()) throw Failure(path + ": too many lines");
}

// Access 97 writes a character that stands for two letters (ß, æ, œ) as
// those letters' in-line bytes, and counts each letter that may carry an
// accent as such a letter would count. The count goes into the code.
void CountSignificantLetters(std::vector<CharacterCode>& codes) {
  std::vector<bool> significant(256, false);
  for (const CharacterCode& c : codes) {
    if (c.kind == CharacterKind::kSignificant && c.inlineLength == 1) {
      significant[c.inlineBytes[0]] = true;
    }
  }
  for (CharacterCode& c : codes) {
    if (c.kind != CharacterKind::kSimple || c.inlineLength < 2) continue;
    for (size_t i = 0; i < c.inlineLength; ++i) {
      if (significant[c.inlineBytes[i]]) ++c.code;
    }
  }
}

std::vector<uint8_t> ReadMappings(const std::string& path) {
  using mdbtokvt::code_tables::kFirstMapped97;
  using mdbtokvt::code_tables::kLastMapped97;
  std::vector<uint8_t> mapped(kLastMapped97 - kFirstMapped97 + 1, 0);
  const std::vector<std::string> lines = ReadLines(path);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::vector<std::string> fields = SplitFields(lines[i]);
    try {
      if (fields.size() != 2) throw std::invalid_argument("two numbers expected");
      const unsigned long from = std::stoul(fields[0]);
      const unsigned long to = std::stoul(fields[1]);
      if (from < kFirstMapped97 || from > kLastMapped97 || to > 0xFF) {
        throw std::invalid_argument("out of range");
      }
      mapped[from - kFirstMapped97] = static_cast<uint8_t>(to);
    } catch (const std::exception& e) {
      throw Failure(path + ":" + std::to_string(i + 1) + ": " + e.what());
    }
  }
  return mapped;
}

// The short name the generated tables give each kind, to keep them small;
// the generated file defines each short name as its kind.
struct KindSpelling {
  CharacterKind kind;
  const char* shortName;
  const char* enumerator;
};
constexpr KindSpelling kKindSpellings[] = {
    {CharacterKind::kIgnored, "I0", "kIgnored"},
    {CharacterKind::kSimple, "S", "kSimple"},
    {CharacterKind::kSignificant, "G", "kSignificant"},
    {CharacterKind::kAccented, "A", "kAccented"},
    {CharacterKind::kFlagged, "F", "kFlagged"},
    {CharacterKind::kUnprintable, "U", "kUnprintable"},
    {CharacterKind::kModifier, "M", "kModifier"},
};

const char* KindName(CharacterKind kind) {
  for (const KindSpelling& spelling : kKindSpellings) {
    if (spelling.kind == kind) return spelling.shortName;
  }
  return "I0";
}

void WriteCodes(std::ostream& out, const char* name, const std::vector<CharacterCode>& codes) {
  out << "const CharacterCode " << name << "[" << codes.size() << "] = {\n";
  for (const CharacterCode& c : codes) {
    out << "{" << KindName(c.kind) << "," << int(c.inlineLength) << "," << int(c.accentLength)
        << "," << int(c.code) << ",{";
    for (const uint8_t b : c.inlineBytes) out << int(b) << ",";
    out << "},{";
    for (const uint8_t b : c.accentBytes) out << int(b) << ",";
    out << "}},\n";
  }
  out << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fputs(
        "usage: mdbtokvt-make-code-tables GENLEG EXT_GENLEG GEN_97 MAPPINGS_97 GEN EXT_GEN "
        "OUT.cpp\n",
        stderr);
    return 2;
  }
  try {
    std::vector<CharacterCode> legacy(65536);
    ReadCodes(argv[1], 0x0000, 0x00FF, legacy);
    ReadCodes(argv[2], 0x0100, 0xFFFF, legacy);
    std::vector<CharacterCode> general97(256);
    ReadCodes(argv[3], 0x0000, 0x00FF, general97);
    CountSignificantLetters(general97);
    const std::vector<uint8_t> mapped = ReadMappings(argv[4]);
    std::vector<CharacterCode> general(65536);
    ReadCodes(argv[5], 0x0000, 0x00FF, general);
    ReadCodes(argv[6], 0x0100, 0xFFFF, general);

    std::ostringstream out;
    out << "// Generated by mdbtokvt-make-code-tables from src/sortorder/tables; do not edit.\n"
           "#include \"sortorder/CharacterCodes.h\"\n\n"
           "namespace mdbtokvt::code_tables {\n\n"
           "namespace {\n";
    for (const KindSpelling& spelling : kKindSpellings) {
      out << "constexpr CharacterKind " << spelling.shortName
          << " = CharacterKind::" << spelling.enumerator << ";\n";
    }
    out << "}  // namespace\n\n";
    WriteCodes(out, "kGeneralLegacy", legacy);
    WriteCodes(out, "kGeneral", general);
    WriteCodes(out, "kGeneral97", general97);
    out << "const uint8_t kGeneral97Mapped[" << mapped.size() << "] = {";
    for (size_t i = 0; i < mapped.size(); ++i)
      out << (i % 32 == 0 ? "\n" : "") << int(mapped[i]) << ",";
    out << "\n};\n\n}  // namespace mdbtokvt::code_tables\n";

    std::ofstream file(argv[7], std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush()) throw Failure(std::string(argv[7]) + ": cannot be written");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mdbtokvt-make-code-tables: %s\n", e.what());
    return 1;
  }
  return 0;
}
