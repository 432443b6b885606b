// How SQLite is set up to run a record source's statement, read from the
// statement's text before any table is loaded. There are three plans:
//
//   plain              every loaded table is a virtual table
//                      (LoadedTableModule.h); SQLite sorts what it must.
//   ordered table      the table of the column the ORDER BY sorts by first
//                      is stored by SQLite with an index on that column
//                      (OrderedTable.h), so SQLite reads it in order and
//                      sorts only each run of rows sharing its value.
//   ... in two parts   the same on two connections at once, each with every
//                      other value of that column, their rows merged on it
//                      (MergedRecordset.h).
//
// The text gives the most a statement may get; what the loaded tables are
// like can only take a plan down a step: the ordered table needs the column
// to name exactly one loaded column, of a table of at most 100,000 rows; two
// parts need that table named once in FROM, the column to hold text of at
// least 256 distinct values and to be a result column, and a second core.
//
// The ordered table gives the rows the plain plan gives, whichever column
// it is stored by: a wrong or missing reading changes only the speed. Two
// parts give them only for a plain join sorted ascending by that column, so
// the text must show one, as far as the tokens can tell (SqlTokens.h); any
// doubt leaves the statement on one connection. SQLite has no parser its
// users can call, and these few facts are all a plan needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

enum class PlanKind { kPlain, kOrderedTable, kOrderedTableInParts };

struct StatementPlan {
  PlanKind kind = PlanKind::kPlain;
  // The first term of the ORDER BY, a plain column reference (not plain).
  std::string orderTable;  // its table or alias as written; empty when none
  std::string orderColumn;
  // The names of the FROM clause, tables and aliases (in two parts).
  std::vector<std::string> fromNames;
};

// The plan sql's text allows. Not plain when the first term of its last
// ORDER BY outside parentheses is a plain column reference ("NAME" or
// "TABLE.NAME", then nothing but ASC, DESC, "," or ";"). In two parts when,
// besides, sql is one SELECT over tables joined by commas, with WHERE and
// ORDER BY only: no aggregate, DISTINCT, GROUP BY, LIMIT, JOIN clause,
// compound or subquery (nothing in parentheses at all), and that term is
// not DESC. Each row of such a statement comes from one row of the ordered
// table, so running it on parts of that table and merging the parts'
// results on the leading column gives its rows in its order.
StatementPlan PlanStatement(std::string_view sql);

// Whether plan runs in two parts with orderedTable, the loaded table its
// order column was found in: a plan in two parts naming that table once in
// FROM (twice, each part would pair its rows only with its own).
bool IsPlainOrderedJoin(const StatementPlan& plan, std::string_view orderedTable);

// The plan in words, e.g. "ordered table by GRNAME, in two parts".
std::string DescribePlan(const StatementPlan& plan);

}  // namespace mdbtokvt
