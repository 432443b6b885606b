#include "source_test_support.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/CodePage.h"
#include "common/Error.h"
#include "query/SqliteDatabase.h"
#include "readerclient/AccessDataSource.h"
#include "sortorder/CollatedText.h"
#include "source/DataSource.h"

namespace mdbtokvt::source_test {

std::string Fixture(std::string_view relative) {
  return std::string(MDBTOKVT_TEST_DATA) + "/fixtures/" + std::string(relative);
}

void AppendName(LoadedColumn& column, std::string_view utf8) {
  static const CodePage cp1252 = CodePage::Load("WINDOWS-1252");
  column.AppendText(cp1252.FromUtf8(utf8), SortKeyOfUtf8(SortOrder::kGeneralLegacy, utf8));
}

std::vector<std::string> SqlRows(sqlite3* db, const std::string& sql) {
  SqliteStatement statement = PrepareSql(db, sql);
  std::vector<std::string> rows;
  while (sqlite3_step(statement.get()) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement.get()); ++i) {
      const auto* text = sqlite3_column_text(statement.get(), i);
      const auto size = static_cast<size_t>(sqlite3_column_bytes(statement.get(), i));
      // Texts of the loaded tables carry their sort keys.
      row += std::string(text ? CollatedTextOf({reinterpret_cast<const char*>(text), size})
                              : "<null>") +
             "|";
    }
    rows.push_back(row);
  }
  return rows;
}

Result ReadAll(const std::string& path, std::string_view recordSource, const std::string& codePage,
               const RecordPlan& plan) {
  auto source = CreateAccessDataSource(codePage);
  source->Open(path, recordSource, plan);
  Recordset& rs = source->recordset();
  Result result;
  int width = -1;
  while (!rs.Eof()) {
    if (width < 0) {
      // The recordset names no columns; a position past the last raises 3265.
      width = 0;
      try {
        for (;; ++width) rs.FieldValue(width);
      } catch (const ConversionError& e) {
        if (e.code() != ErrorNumber::kItemNotFound) throw;
      }
    }
    std::vector<Value> row;
    for (int i = 0; i < width; ++i) row.push_back(rs.FieldValue(i));
    result.rows.push_back(std::move(row));
    rs.MoveNext();
  }
  result.recordCount = rs.RecordCount();
  return result;
}

std::vector<std::string> Column(const Result& result, size_t index) {
  std::vector<std::string> texts;
  for (const auto& row : result.rows) {
    texts.push_back(row.at(index).IsNull() ? "<Null>" : ValueAsText(row.at(index)));
  }
  return texts;
}

CsvTable ReadCsv(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string data = buffer.str();

  std::vector<std::vector<CsvField>> lines(1);
  CsvField field;
  size_t i = 0;
  auto endField = [&] {
    lines.back().push_back(field);
    field = {};
  };
  while (i < data.size()) {
    const char c = data[i];
    if (c == '"') {
      field.quoted = true;
      ++i;
      while (i < data.size()) {
        if (data[i] == '"') {
          if (i + 1 < data.size() && data[i + 1] == '"') {
            field.text.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field.text.push_back(data[i++]);
      }
    } else if (c == ',') {
      endField();
      ++i;
    } else if (c == '\n') {
      endField();
      lines.emplace_back();
      ++i;
    } else {
      field.text.push_back(c);
      ++i;
    }
  }
  if (lines.back().empty()) lines.pop_back();

  CsvTable table;
  for (const CsvField& header : lines.front()) {
    const size_t colon = header.text.rfind(':');
    table.names.push_back(header.text.substr(0, colon));
    std::string type = header.text.substr(colon + 1);
    table.types.push_back(type.substr(0, type.find('(')));
  }
  table.rows.assign(lines.begin() + 1, lines.end());
  return table;
}

namespace {

// Proleptic Gregorian date of a day count from 1970-01-01.
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

}  // namespace

std::string FormatAccessDate(double days) {
  constexpr int64_t kDaysFrom1970To1899_12_30 = -25569;
  auto day = static_cast<int64_t>(std::trunc(days));
  auto ms = static_cast<int64_t>(std::llround(std::fabs(days - std::trunc(days)) * 86400000.0));
  if (ms >= 86400000) {
    ms -= 86400000;
    day += days < 0 ? -1 : 1;
  }
  int64_t y;
  unsigned m, d;
  CivilFromDays(day + kDaysFrom1970To1899_12_30, y, m, d);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                static_cast<long long>(y), m, d, static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60));
  std::string result = text;
  if (ms % 1000 != 0) {
    std::snprintf(text, sizeof text, ".%03lld", static_cast<long long>(ms % 1000));
    result += text;
  }
  return result;
}

}  // namespace mdbtokvt::source_test
