// The words, quoted names and symbols of an SQL statement, for reading the
// few facts the plan of a record source is chosen by (StatementPlan.h)
// without a parser: SQLite offers none to its users.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mdbtokvt {

struct Token {
  enum class Kind { kWord, kName, kSymbol };
  Kind kind;
  std::string text;  // a quoted name without its quotes
};

// The statement as words, quoted names and single symbols; string literals
// become the symbol "'" and comments are dropped. A statement with an
// unterminated quote gives no tokens (SQLite will refuse it).
std::vector<Token> Tokenize(std::string_view sql);

// Whether token i exists and is the word (any case) or the symbol.
bool IsWord(const std::vector<Token>& tokens, size_t i, std::string_view word);
bool IsSymbol(const std::vector<Token>& tokens, size_t i, std::string_view symbol);
// Whether token i exists and can name a table or column: a quoted name, or a
// word that is not a number.
bool IsName(const std::vector<Token>& tokens, size_t i);

}  // namespace mdbtokvt
