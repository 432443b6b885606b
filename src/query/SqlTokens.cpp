#include "query/SqlTokens.h"

#include <algorithm>

#include "common/NamesEqual.h"

namespace mdbtokvt {

namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || c >= 0x80;
}

}  // namespace

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  bool unterminated = false;
  auto quoted = [&](char close) {
    std::string text;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] != close) {
        text.push_back(sql[i]);
      } else if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
        text.push_back(close);
        ++i;
      } else {
        ++i;
        return text;
      }
    }
    unterminated = true;
    return text;
  };
  while (i < sql.size()) {
    const auto c = static_cast<unsigned char>(sql[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      i = std::min(sql.size(), sql.find('\n', i));
    } else if (sql.substr(i, 2) == "/*") {
      const size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else if (c == '"' || c == '`') {
      tokens.push_back({Token::Kind::kName, quoted(static_cast<char>(c))});
    } else if (c == '[') {
      tokens.push_back({Token::Kind::kName, quoted(']')});
    } else if (c == '\'') {
      quoted('\'');
      tokens.push_back({Token::Kind::kSymbol, "'"});
    } else if (IsWordByte(c)) {
      const size_t start = i;
      while (i < sql.size() && IsWordByte(static_cast<unsigned char>(sql[i]))) ++i;
      tokens.push_back({Token::Kind::kWord, std::string(sql.substr(start, i - start))});
    } else {
      tokens.push_back({Token::Kind::kSymbol, std::string(1, sql[i])});
      ++i;
    }
  }
  if (unterminated) tokens.clear();
  return tokens;
}

bool IsWord(const std::vector<Token>& tokens, size_t i, std::string_view word) {
  return i < tokens.size() && tokens[i].kind == Token::Kind::kWord &&
         NamesEqual(tokens[i].text, word);
}

bool IsSymbol(const std::vector<Token>& tokens, size_t i, std::string_view symbol) {
  return i < tokens.size() && tokens[i].kind == Token::Kind::kSymbol && tokens[i].text == symbol;
}

bool IsName(const std::vector<Token>& tokens, size_t i) {
  if (i >= tokens.size()) return false;
  const Token& token = tokens[i];
  if (token.kind == Token::Kind::kName) return true;
  // A word starting with a digit is a number: ORDER BY 1 names a result column.
  return token.kind == Token::Kind::kWord && !(token.text[0] >= '0' && token.text[0] <= '9');
}

}  // namespace mdbtokvt
