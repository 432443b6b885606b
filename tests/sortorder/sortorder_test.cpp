// Access's "General" sort orders, checked against what Access itself wrote:
// the key bytes of the text indexes of Access-written files, the orders of
// those indexes, and the order of a database whose index was written the way
// Access 2000-2007 writes it; then the same orders through the whole
// conversion, and the rules of the first level in readable cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "TestSupport.h"
#include "access/MdbLibrary.h"
#include "access/SortOrderFields.h"
#include "common/CodePage.h"
#include "common/Utf16.h"
#include "common/Utf8Converter.h"
#include "converters/ConversionContext.h"
#include "readerclient/AccessDataSource.h"
#include "run/DBConvert.h"
#include "sortorder/SortKey.h"
#include "source/DataSource.h"
#include "source_test_support.h"
#include "tablefile/TableFileReader.h"

namespace mdbtokvt {
namespace {

using Json = nlohmann::json;

Json ReadJson(const std::string& relative) {
  std::ifstream in(source_test::Fixture(relative));
  return Json::parse(in);
}

// The indexes whose orders Access wrote, with their values in that order.
struct IndexOrder {
  std::string file;
  std::string table;
  std::string index;
  std::string column;
  std::vector<std::optional<std::string>> values;  // UTF-8; Null first
};

std::vector<IndexOrder> AccessIndexOrders() {
  std::vector<IndexOrder> orders;
  for (const Json& entry : ReadJson("collation/access-index-orders.json")) {
    IndexOrder order{entry["file"], entry["table"], entry["index"], entry["column"], {}};
    for (const Json& value : entry["values"]) {
      order.values.push_back(value.is_null() ? std::nullopt
                                             : std::optional(value.get<std::string>()));
    }
    orders.push_back(std::move(order));
  }
  return orders;
}

SortOrder OrderOfFile(const std::string& file) {
  // nwind.mdb is the Jet 3 file, written by Access 97.
  return file == "nwind.mdb" ? SortOrder::kGeneral97 : SortOrder::kGeneralLegacy;
}

std::string Key(SortOrder order, std::string_view utf8) { return SortKeyOfUtf8(order, utf8); }

// The entries of an index as Access wrote them into its leaf pages: a flag
// byte (7F for a value, 00 for Null), the key, then the row's page and row
// number, which are cut off here. Pages of an index hold a bit mask of
// where entries start; entries after a page's first leave out the prefix
// they share with it.
class IndexPages {
 public:
  explicit IndexPages(const std::string& path)
      : mdb_(mdb_open(path.c_str(), MDB_NOFLAGS), mdb_close) {}

  std::vector<std::string> Entries(const std::string& tableName, const std::string& indexName) {
    return Find(tableName,
                [&](const MdbIndex& index, const MdbTableDef&) { return indexName == index.name; });
  }

  // The entries of the one-column index on columnName.
  std::vector<std::string> EntriesOfColumn(const std::string& tableName,
                                           const std::string& columnName) {
    return Find(tableName, [&](const MdbIndex& index, const MdbTableDef& table) {
      if (index.num_keys != 1 || index.key_col_num[0] < 1) return false;
      const auto* column = static_cast<const MdbColumn*>(
          g_ptr_array_index(table.columns, static_cast<unsigned>(index.key_col_num[0] - 1)));
      return columnName == column->name;
    });
  }

 private:
  template <typename Wanted>
  std::vector<std::string> Find(const std::string& tableName, Wanted wanted) {
    MdbHandle* mdb = mdb_.get();
    mdb_read_catalog(mdb, MDB_TABLE);
    std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> table(
        mdb_read_table_by_name(mdb, const_cast<gchar*>(tableName.c_str()), MDB_TABLE),
        mdb_free_tabledef);
    if (!table) return {};
    mdb_read_columns(table.get());
    mdb_read_indices(table.get());
    for (unsigned i = 0; i < table->num_idxs; ++i) {
      const auto* index = static_cast<const MdbIndex*>(g_ptr_array_index(table->indices, i));
      if (wanted(*index, *table)) return Walk(index->first_pg);
    }
    return {};
  }

  bool Jet3() const { return mdb_->f->jet_version == MDB_VER_JET3; }
  size_t MaskStart() const { return Jet3() ? 0x16 : 0x1B; }
  size_t FirstEntry() const { return Jet3() ? 0xF8 : 0x1E0; }
  size_t SharedPrefixAt() const { return Jet3() ? 20 : 24; }
  size_t NextPageAt() const { return Jet3() ? 12 : 16; }
  const uint8_t* Read(uint32_t page) {
    if (mdb_read_pg(mdb_.get(), page) <= 0) return nullptr;
    return reinterpret_cast<const uint8_t*>(mdb_->pg_buf);
  }

  std::vector<size_t> EntryStarts(const uint8_t* page) const {
    std::vector<size_t> starts{FirstEntry()};
    const size_t bits = (FirstEntry() - MaskStart()) * 8;
    for (size_t bit = 1; bit < bits; ++bit) {
      if (page[MaskStart() + bit / 8] & (1 << (bit % 8))) starts.push_back(FirstEntry() + bit);
    }
    return starts;  // the last start is where the data ends
  }

  std::vector<std::string> Walk(uint32_t page) {
    // Down the first entries of the index pages (type 3) to the first leaf
    // (type 4); an index page entry ends in its child's page number, most
    // significant byte first.
    const uint8_t* bytes = Read(page);
    while (bytes != nullptr && bytes[0] == 0x03) {
      const size_t end = EntryStarts(bytes).at(1);
      page = (uint32_t{bytes[end - 4]} << 24) | (bytes[end - 3] << 16) | (bytes[end - 2] << 8) |
             bytes[end - 1];
      bytes = Read(page);
    }
    std::vector<std::string> entries;
    // Then from leaf to leaf.
    while (bytes != nullptr && bytes[0] == 0x04) {
      const size_t sharedPrefix = bytes[SharedPrefixAt()] | (bytes[SharedPrefixAt() + 1] << 8);
      const std::vector<size_t> starts = EntryStarts(bytes);
      std::string first;
      for (size_t k = 0; k + 1 < starts.size(); ++k) {
        std::string entry(reinterpret_cast<const char*>(bytes) + starts[k],
                          starts[k + 1] - starts[k]);
        if (k == 0) {
          first = entry;
        } else {
          entry = first.substr(0, sharedPrefix) + entry;
        }
        entries.push_back(entry.substr(0, entry.size() - 4));
      }
      uint32_t next = 0;
      std::memcpy(&next, bytes + NextPageAt(), sizeof next);
      bytes = next != 0 ? Read(next) : nullptr;
    }
    return entries;
  }

  std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> mdb_;
};

TEST(SortKeys, KeysAreTheOnesAccessWroteIntoItsIndexes) {
  size_t compared = 0;
  for (const IndexOrder& order : AccessIndexOrders()) {
    IndexPages pages(source_test::Fixture("real/" + order.file));
    const std::vector<std::string> entries = pages.Entries(order.table, order.index);
    // Indexes that only stand for another one (of relationships) have no
    // pages of their own.
    if (entries.empty()) continue;
    ASSERT_EQ(entries.size(), order.values.size()) << order.file << " " << order.index;
    for (size_t i = 0; i < entries.size(); ++i) {
      const std::optional<std::string>& value = order.values[i];
      const std::string expected =
          value ? "\x7F" + Key(OrderOfFile(order.file), *value) : std::string(1, '\0');
      EXPECT_EQ(entries[i], expected) << order.file << " " << order.table << "." << order.index
                                      << " entry " << i << ": " << value.value_or("<Null>");
    }
    compared += entries.size();
  }
  // Both files, every Windows-1252 character, control characters, Greek,
  // Cyrillic and CJK text among them.
  EXPECT_GE(compared, 3900u);
}

// Runs of values with equal keys, which may come in either order.
std::vector<std::vector<std::string>> TiedRuns(SortOrder order,
                                               const std::vector<std::string>& values) {
  std::vector<std::vector<std::string>> runs;
  std::string previous;
  for (const std::string& value : values) {
    const std::string key = Key(order, value);
    if (runs.empty() || key != previous) runs.emplace_back();
    runs.back().push_back(value);
    previous = key;
  }
  return runs;
}

TEST(SortKeys, OrdersOfAccessIndexes) {
  auto expectSorted = [](SortOrder order, const std::vector<std::string>& values,
                         const std::string& what) {
    for (size_t i = 1; i < values.size(); ++i) {
      EXPECT_LE(CompareSortKeys(Key(order, values[i - 1]), Key(order, values[i])), 0)
          << what << ": '" << values[i - 1] << "' before '" << values[i] << "'";
    }
  };
  for (const IndexOrder& order : AccessIndexOrders()) {
    std::vector<std::string> values;
    for (const auto& value : order.values) {
      if (value) values.push_back(*value);
    }
    expectSorted(OrderOfFile(order.file), values, order.file + " " + order.index);
  }
  const std::vector<std::string> shared = ReadJson("collation/collation-shared.mdb.order.json");
  ASSERT_EQ(shared.size(), 350u);
  expectSorted(SortOrder::kGeneralLegacy, shared, "collation-shared.mdb");
  // Names equal but for letter case or trailing spaces tie; nothing else does.
  EXPECT_EQ(TiedRuns(SortOrder::kGeneralLegacy, shared).size(), 305u);
}

// Values as the data source gives them (Windows-1252), run by run of equal
// keys, each run sorted: two orders that differ only within ties compare equal.
std::vector<std::vector<std::string>> Normalized(const std::vector<std::vector<std::string>>& runs,
                                                 const CodePage& cp1252) {
  std::vector<std::vector<std::string>> out;
  for (const auto& run : runs) {
    std::vector<std::string> converted;
    for (const std::string& value : run) converted.push_back(cp1252.FromUtf8(value));
    std::sort(converted.begin(), converted.end());
    out.push_back(converted);
  }
  return out;
}

// Splits sorted values into the runs expected holds, by count.
std::vector<std::vector<std::string>> LikeRuns(const std::vector<std::string>& values,
                                               const std::vector<std::vector<std::string>>& runs) {
  std::vector<std::vector<std::string>> out;
  size_t at = 0;
  for (const auto& run : runs) {
    std::vector<std::string> part(
        values.begin() + static_cast<ptrdiff_t>(std::min(at, values.size())),
        values.begin() + static_cast<ptrdiff_t>(std::min(at + run.size(), values.size())));
    std::sort(part.begin(), part.end());
    out.push_back(part);
    at += run.size();
  }
  return out;
}

TEST(SortKeys, QueriesSortAsAccessIndexes) {
  // ORDER BY on the column of each index, through the reader process and
  // SQLite: keys from the characters as stored (Greek, Cyrillic and CJK
  // sort in place although they are written as '?'), Access 97's order
  // for the Jet 3 file.
  const CodePage cp1252 = CodePage::Load("WINDOWS-1252");
  for (const IndexOrder& order : AccessIndexOrders()) {
    const std::string sql =
        "SELECT [" + order.column + "] FROM [" + order.table + "] ORDER BY [" + order.column + "]";
    const auto result = source_test::ReadAll(source_test::Fixture("real/" + order.file), sql);
    ASSERT_EQ(result.rows.size(), order.values.size()) << sql;
    std::vector<std::string> expected;
    std::vector<std::string> got;
    for (size_t i = 0; i < order.values.size(); ++i) {
      EXPECT_EQ(order.values[i].has_value(), !result.rows[i][0].IsNull()) << sql << " row " << i;
      if (order.values[i]) expected.push_back(*order.values[i]);
      if (!result.rows[i][0].IsNull()) got.push_back(result.rows[i][0].text());
    }
    const auto runs = TiedRuns(OrderOfFile(order.file), expected);
    EXPECT_EQ(LikeRuns(got, runs), Normalized(runs, cp1252)) << order.file << " " << sql;
  }
}

// Converts a collation fixture of 350 groups of one member each and checks
// that the group table lists them in the order of the Access-written index
// on their names (the fixture's .order.json), the ties of order aside.
void ExpectGroupTableInIndexOrder(const std::string& fixture, SortOrder order) {
  test::TempFolder out;
  NameTables nameTables;
  ConversionContext context(nameTables);
  auto dataSource = CreateAccessDataSource();
  ConvertDatabase(context, *dataSource, source_test::Fixture(fixture), out.str());
  const TableFileContents groups = ReadTableFile((out.path() / "GROUPTAB.KVT").string());
  std::vector<std::string> names;
  for (const GroupRecord& group : groups.groups) names.push_back(group.name);
  const std::vector<std::string> indexOrder = ReadJson(fixture + ".order.json");
  const auto runs = TiedRuns(order, indexOrder);
  EXPECT_EQ(LikeRuns(names, runs), Normalized(runs, CodePage::Load("WINDOWS-1252"))) << fixture;
  EXPECT_TRUE(context.report.sourceNotes.empty()) << fixture;
}

TEST(SortKeys, GroupTableInAccessOrder) {
  ExpectGroupTableInIndexOrder("collation/collation-shared.mdb", SortOrder::kGeneralLegacy);
}

TEST(SortKeys, Access2010KeysAreTheOnesAccessWrote) {
  // The index on the group names of a file whose header names version 1 of
  // sort order 1033: its keys, entry by entry, and their order.
  IndexPages pages(source_test::Fixture("collation/collation-ace2010.accdb"));
  const std::vector<std::string> entries = pages.EntriesOfColumn("GROUPS", "GroupName");
  const std::vector<std::string> order = ReadJson("collation/collation-ace2010.accdb.order.json");
  ASSERT_EQ(entries.size(), order.size());
  ASSERT_EQ(order.size(), 350u);
  size_t legacyKeys = 0;
  size_t legacyInversions = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i], "\x7F" + Key(SortOrder::kGeneral, order[i]))
        << "entry " << i << ": " << order[i];
    if (entries[i] == "\x7F" + Key(SortOrder::kGeneralLegacy, order[i])) ++legacyKeys;
    if (i > 0 && CompareSortKeys(Key(SortOrder::kGeneralLegacy, order[i - 1]),
                                 Key(SortOrder::kGeneralLegacy, order[i])) > 0) {
      ++legacyInversions;
    }
  }
  // Access 2010 gives the characters codes of its own, and a few names
  // another place: the 2000-2007 keys would not sort this index.
  EXPECT_EQ(legacyKeys, 0u);
  EXPECT_GT(legacyInversions, 0u);
}

TEST(SortKeys, GroupTableInAccess2010Order) {
  // The same groups in the Access 2010 file: the group table lists them in
  // the order of its index, which is not the 2000-2007 order.
  ExpectGroupTableInIndexOrder("collation/collation-ace2010.accdb", SortOrder::kGeneral);
}

TEST(SortKeys, WhereAccess2010SortsOtherwise) {
  auto compare = [](SortOrder order, std::string_view a, std::string_view b) {
    const int c = CompareSortKeys(SortKeyOfUtf8(order, a), SortKeyOfUtf8(order, b));
    return c < 0 ? '<' : (c > 0 ? '>' : '=');
  };
  constexpr SortOrder kNew = SortOrder::kGeneral;
  constexpr SortOrder kOld = SortOrder::kGeneralLegacy;
  // \u00FC sorts as "ue", wholly: M\u00FCller and Mueller are one name, both before
  // Muller. Before 2010 it was an accented u, after Muller.
  const std::string mueller = "M\xC3\xBCller";
  EXPECT_EQ(compare(kNew, mueller, "Mueller"), '=');
  EXPECT_EQ(compare(kNew, "M\xC3\x9CLLER", "mueller"), '=');
  EXPECT_EQ(compare(kNew, mueller, "Muller"), '<');
  EXPECT_EQ(compare(kOld, mueller, "Mueller"), '>');
  EXPECT_EQ(compare(kOld, mueller, "Muller"), '>');
  EXPECT_EQ(compare(kOld, "Mueller", "Muller"), '<');
  // \u00E4 and \u00F6 stay accented letters in both; \u00DF is "ss" in both.
  EXPECT_EQ(compare(kNew, "B\xC3\xB6hm", "Boehm"), '>');
  EXPECT_EQ(compare(kNew, "B\xC3\xA4r", "Baer"), '>');
  EXPECT_EQ(compare(kNew,
                    "Stra\xC3\x9F"
                    "e",
                    "Strasse"),
            '=');
  EXPECT_EQ(compare(kOld,
                    "Stra\xC3\x9F"
                    "e",
                    "Strasse"),
            '=');
  // The soft hyphen no longer counts at all; the hyphen still breaks ties.
  EXPECT_EQ(compare(kNew, "co\xC2\xADop", "coop"), '=');
  EXPECT_EQ(compare(kOld, "co\xC2\xADop", "coop"), '>');
  EXPECT_EQ(compare(kNew, "co-op", "coop"), '>');
  // Symbols that changed places: the euro sign now before the plus-minus
  // sign, the ellipsis before the bullet.
  EXPECT_EQ(compare(kNew, "\xE2\x82\xAC", "\xC2\xB1"), '<');
  EXPECT_EQ(compare(kOld, "\xE2\x82\xAC", "\xC2\xB1"), '>');
  EXPECT_EQ(compare(kNew, "\xE2\x80\xA6", "\xE2\x80\xA2"), '<');
  EXPECT_EQ(compare(kOld, "\xE2\x80\xA6", "\xE2\x80\xA2"), '>');
}

TEST(SortKeys, FirstLevelRules) {
  auto before = [](std::string_view a, std::string_view b,
                   SortOrder order = SortOrder::kGeneralLegacy) {
    return CompareSortKeys(SortKeyOfUtf8(order, a), SortKeyOfUtf8(order, b)) < 0;
  };
  auto same = [](std::string_view a, std::string_view b,
                 SortOrder order = SortOrder::kGeneralLegacy) {
    return SortKeyOfUtf8(order, a) == SortKeyOfUtf8(order, b);
  };
  for (const SortOrder order :
       {SortOrder::kGeneral97, SortOrder::kGeneralLegacy, SortOrder::kGeneral}) {
    // Letter case does not count at all; trailing spaces neither.
    EXPECT_TRUE(same("Anna Moller", "ANNA moller", order));
    EXPECT_TRUE(same("Day", "day  ", order));
    EXPECT_TRUE(before(" Day", "Day", order));
    // An accent counts only when all else is equal.
    EXPECT_TRUE(before("Aaron Gomez", "Aaron G\xC3\xB3mez", order));
    EXPECT_TRUE(before("Aaron G\xC3\xB3mez", "Aaron Moller", order));
    EXPECT_TRUE(
        before("Br\xC3\xA4"
               "cke",
               "Brandenburg", order));
    // Numbers in text sort as text; symbols before digits, digits before letters.
    EXPECT_TRUE(before("Group 10", "Group 100", order));
    EXPECT_TRUE(before("Group 100", "Group 11", order));
    EXPECT_TRUE(before("(Night) Crew", "0", order));
    EXPECT_TRUE(before("9th Floor", "A", order));
    // Only the first 255 characters count.
    EXPECT_TRUE(same(std::string(255, 'x') + "a", std::string(255, 'x') + "b", order));
    EXPECT_TRUE(before(std::string(254, 'x') + "a", std::string(254, 'x') + "b", order));
  }
  // Access 2000-2007: hyphens and apostrophes count only to break ties.
  EXPECT_TRUE(before("Annalena Gomez", "Anna-Lena Moller"));
  EXPECT_TRUE(before("Smithjones", "Smith-Jones"));
  EXPECT_TRUE(before("Smith-Jones", "Smithk"));
  EXPECT_TRUE(before("0", "-ab"));
  EXPECT_TRUE(before("ab", "'ab"));
  // Access 97: they are symbols like the others.
  EXPECT_TRUE(before("-ab", "0", SortOrder::kGeneral97));
  EXPECT_TRUE(before("Smith-Jones", "Smithjones", SortOrder::kGeneral97));
}

// A copy of a fixture whose header names the sort order of language 1049
// (Russian) instead of 1033 ("General"). The field is stored masked; the
// mask is undone by flipping the same bits.
std::string WithRussianSortOrder(const test::TempFolder& folder, const std::string& fixture,
                                 size_t offset) {
  std::string bytes = test::ReadFile(source_test::Fixture(fixture));
  bytes[offset] = static_cast<char>(bytes[offset] ^ (0x0409 ^ 0x0419));
  const std::string path = (folder.path() / std::filesystem::path(fixture).filename()).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(SortKeys, AnotherSortOrderIsNamedInTheReport) {
  test::TempFolder folder;
  for (const auto& [fixture, offset] :
       {std::pair<std::string, size_t>{"sample.mdb", 0x6E}, {"real/nwind.mdb", 0x3A}}) {
    const std::string path = WithRussianSortOrder(folder, fixture, offset);
    auto dataSource = CreateAccessDataSource();
    dataSource->Open(path, "SELECT 1");
    EXPECT_EQ(dataSource->notes(),
              (std::vector<std::string>{"The database names the sort order of language 1049; its "
                                        "text was sorted in Access's General order."}))
        << fixture;
  }
  // Through a conversion: one line in the report, however many record
  // sources read the file.
  const std::string path = WithRussianSortOrder(folder, "sample.mdb", 0x6E);
  test::TempFolder out;
  NameTables nameTables;
  ConversionContext context(nameTables);
  auto dataSource = CreateAccessDataSource();
  ConvertDatabase(context, *dataSource, path, out.str());
  EXPECT_EQ(context.report.sourceNotes.size(), 1u);
  EXPECT_FALSE(context.report.empty());
}

}  // namespace
}  // namespace mdbtokvt
namespace mdbtokvt {
namespace {

TEST(SortKeys, HeaderNamesTheVersionOfItsSortOrder) {
  // The field is masked in the header; both files name language 1033.
  const auto named = [](const std::string& fixture) {
    return HeaderSortOrder(test::ReadFile(source_test::Fixture(fixture)).substr(0, 4096)).value();
  };
  const NamedSortOrder ace2010 = named("collation/collation-ace2010.accdb");
  const NamedSortOrder jet4 = named("collation/collation-shared.mdb");
  EXPECT_EQ(ace2010.language, 1033u);
  EXPECT_EQ(ace2010.version, 1u);
  EXPECT_EQ(jet4.language, 1033u);
  EXPECT_EQ(jet4.version, 0u);
  EXPECT_EQ(GeneralOrderOf(ace2010, SortOrder::kGeneralLegacy), SortOrder::kGeneral);
  EXPECT_EQ(GeneralOrderOf(jet4, SortOrder::kGeneral), SortOrder::kGeneralLegacy);
  EXPECT_EQ(GeneralOrderOf({0, 0}, SortOrder::kGeneral), SortOrder::kGeneral);
  EXPECT_FALSE(HeaderSortOrder(std::string(0x70, '\0')).has_value());
}

TEST(SortKeys, AColumnsOwnSortOrderApplies) {
  // The Access 2010 file with the group name column's definition naming
  // version 0 (the 2000-2007 order) while the header still names version 1.
  constexpr size_t kGroupNameVersion = 0x5C072;  // GROUPS' definition page, GroupName's block
  test::TempFolder folder;
  std::string bytes = test::ReadFile(source_test::Fixture("collation/collation-ace2010.accdb"));
  ASSERT_EQ(bytes[kGroupNameVersion], 1);
  bytes[kGroupNameVersion] = 0;
  const std::string path = (folder.path() / "column-legacy.accdb").string();
  std::ofstream(path, std::ios::binary) << bytes;

  auto sortedIn = [](SortOrder order, const std::vector<std::string>& values) {
    for (size_t i = 1; i < values.size(); ++i) {
      if (CompareSortKeys(Key(order, values[i - 1]), Key(order, values[i])) > 0) return false;
    }
    return true;
  };
  auto namesOf = [](const std::string& file) {
    const auto result =
        source_test::ReadAll(file, "SELECT GroupName FROM GROUPS ORDER BY GroupName");
    std::vector<std::string> names;
    const Utf8Converter toUtf8("WINDOWS-1252");
    for (const auto& row : result.rows) names.push_back(toUtf8(row[0].text()));
    return names;
  };
  const std::vector<std::string> legacy = namesOf(path);
  ASSERT_EQ(legacy.size(), 350u);
  EXPECT_TRUE(sortedIn(SortOrder::kGeneralLegacy, legacy));
  EXPECT_FALSE(sortedIn(SortOrder::kGeneral, legacy));
  const std::vector<std::string> general =
      namesOf(source_test::Fixture("collation/collation-ace2010.accdb"));
  EXPECT_TRUE(sortedIn(SortOrder::kGeneral, general));
  EXPECT_FALSE(sortedIn(SortOrder::kGeneralLegacy, general));
}

}  // namespace
}  // namespace mdbtokvt
