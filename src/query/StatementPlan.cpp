#include "query/StatementPlan.h"

#include <algorithm>
#include <optional>

#include "common/NamesEqual.h"
#include "query/SqlTokens.h"

namespace mdbtokvt {

namespace {

// Sets the plan's order column from the first term of the last ORDER BY
// outside parentheses, when it is a plain column reference.
bool ReadLeadingOrderTerm(const std::vector<Token>& tokens, StatementPlan& plan) {
  std::optional<size_t> start;
  int depth = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (IsSymbol(tokens, i, "(")) ++depth;
    if (IsSymbol(tokens, i, ")")) --depth;
    if (depth == 0 && IsWord(tokens, i, "ORDER") && IsWord(tokens, i + 1, "BY")) start = i + 2;
  }
  if (!start || !IsName(tokens, *start)) return false;
  size_t i = *start;
  std::string table;
  std::string column = tokens[i].text;
  if (IsSymbol(tokens, i + 1, ".")) {
    if (!IsName(tokens, i + 2)) return false;
    table = tokens[i].text;
    column = tokens[i + 2].text;
    i += 2;
  }
  const size_t next = i + 1;
  const bool ends = next == tokens.size() || IsSymbol(tokens, next, ",") ||
                    IsSymbol(tokens, next, ";") || IsWord(tokens, next, "ASC") ||
                    IsWord(tokens, next, "DESC");
  if (!ends) return false;
  plan.orderTable = std::move(table);
  plan.orderColumn = std::move(column);
  return true;
}

// Whether the statement is a plain join sorted ascending by its leading
// column; then sets the plan's FROM names.
bool ReadPlainOrderedJoin(const std::vector<Token>& tokens, StatementPlan& plan) {
  size_t selects = 0;
  std::optional<size_t> from;
  std::optional<size_t> orderBy;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (IsSymbol(tokens, i, "(")) return false;
    if (tokens[i].kind != Token::Kind::kWord) continue;
    // An outer join would give a row of another table once per part.
    for (const std::string_view word :
         {"DISTINCT", "GROUP", "HAVING", "LIMIT", "OFFSET", "UNION", "INTERSECT", "EXCEPT", "WITH",
          "WINDOW", "NULLS", "JOIN", "ON", "USING", "NATURAL"}) {
      if (NamesEqual(tokens[i].text, word)) return false;
    }
    if (NamesEqual(tokens[i].text, "SELECT")) ++selects;
    if (NamesEqual(tokens[i].text, "FROM")) from = i + 1;
    if (IsWord(tokens, i, "ORDER") && IsWord(tokens, i + 1, "BY")) orderBy = i + 2;
  }
  if (selects != 1 || !from || !orderBy) return false;
  // The leading term: a name, or table.name, then no DESC.
  size_t next = *orderBy + 1;
  if (IsSymbol(tokens, next, ".")) next += 2;
  if (IsWord(tokens, next, "DESC")) return false;
  for (size_t i = *from;
       i < tokens.size() && !IsWord(tokens, i, "WHERE") && !IsWord(tokens, i, "ORDER"); ++i) {
    if (tokens[i].kind != Token::Kind::kSymbol) plan.fromNames.push_back(tokens[i].text);
  }
  return true;
}

}  // namespace

StatementPlan PlanStatement(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  StatementPlan plan;
  if (!ReadLeadingOrderTerm(tokens, plan)) return plan;
  plan.kind =
      ReadPlainOrderedJoin(tokens, plan) ? PlanKind::kOrderedTableInParts : PlanKind::kOrderedTable;
  return plan;
}

bool IsPlainOrderedJoin(const StatementPlan& plan, std::string_view orderedTable) {
  if (plan.kind != PlanKind::kOrderedTableInParts) return false;
  const auto mentions =
      std::count_if(plan.fromNames.begin(), plan.fromNames.end(),
                    [&](const std::string& name) { return NamesEqual(name, orderedTable); });
  return mentions == 1;
}

std::string DescribePlan(const StatementPlan& plan) {
  if (plan.kind == PlanKind::kPlain) return "plain";
  std::string text = "ordered table by ";
  if (!plan.orderTable.empty()) text += plan.orderTable + ".";
  text += plan.orderColumn;
  if (plan.kind == PlanKind::kOrderedTableInParts) text += ", in two parts";
  return text;
}

}  // namespace mdbtokvt
