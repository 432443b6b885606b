#include "common/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/Error.h"

namespace mdbtokvt {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsIgnoringCase(std::string_view text, std::string_view lowerWord) {
  if (text.size() != lowerWord.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c) != lowerWord[i]) return false;
  }
  return true;
}

// A Yes/No value taken as text reads "True" or "False"; read back as a number
// it keeps its value, -1 or 0.
std::optional<int16_t> YesNoWordValue(std::string_view text) {
  const std::string_view word = TrimBlanks(text);
  if (EqualsIgnoringCase(word, "true")) return -1;
  if (EqualsIgnoringCase(word, "false")) return 0;
  return std::nullopt;
}

int16_t RoundToInt16(double v) {
  if (std::isnan(v)) ThrowOverflow();
  const double r = std::nearbyint(v);  // default rounding mode: half to even
  if (r < -32768.0 || r > 32767.0) ThrowOverflow();
  return static_cast<int16_t>(r);
}

}  // namespace

std::optional<double> ParseDecimal(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  // Validate the shape first: from_chars alone would accept "inf" and "nan".
  size_t i = 0;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && IsDigit(s[j])) ++j, ++expDigits;
    if (expDigits == 0) return std::nullopt;
    i = j;
  }
  if (i != s.size()) return std::nullopt;
  double value = 0;
  std::string_view body = s;
  if (!body.empty() && body.front() == '.') {
    // from_chars wants a digit before the point in some library versions.
    std::string padded = "0" + std::string(body);
    auto r = std::from_chars(padded.data(), padded.data() + padded.size(), value);
    if (r.ec == std::errc::invalid_argument) return std::nullopt;
  } else {
    auto r = std::from_chars(body.data(), body.data() + body.size(), value);
    if (r.ec == std::errc::invalid_argument) return std::nullopt;
    if (r.ec == std::errc::result_out_of_range) value = HUGE_VAL;
  }
  return negative ? -value : value;
}

std::string FormatDouble(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";
  // Round to 15 significant digits, then lay the digits out ourselves so the
  // result does not depend on the locale or on printf's exponent rules.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p && *p != 'e'; ++p) {
    if (IsDigit(*p)) digits.push_back(*p);
  }
  int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = value < 0 ? "-" : "";
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e-5 && exponent < 15) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out += digits;
    } else if (static_cast<size_t>(exponent) + 1 >= digits.size()) {
      out += digits;
      out.append(static_cast<size_t>(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, static_cast<size_t>(exponent) + 1);
      out += '.';
      out += digits.substr(static_cast<size_t>(exponent) + 1);
    }
    return out;
  }
  out += digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  out += exponent < 0 ? "E-" : "E+";
  out += std::to_string(std::abs(exponent));
  return out;
}

std::string ValueAsText(const Value& value) {
  switch (value.kind()) {
    case ValueKind::kNull:
    case ValueKind::kBlob:  // never held
      return {};
    case ValueKind::kInteger:
      return std::to_string(value.integer());
    case ValueKind::kDouble:
      return FormatDouble(value.number());
    case ValueKind::kText:
      return value.text();
    case ValueKind::kBoolean:
      return value.boolean() ? "True" : "False";
  }
  return {};
}

int16_t ValueAsInt16(const Value& value) {
  switch (value.kind()) {
    case ValueKind::kNull:
    case ValueKind::kBlob:  // never held
      return 0;
    case ValueKind::kInteger:
      if (value.integer() < -32768 || value.integer() > 32767) ThrowOverflow();
      return static_cast<int16_t>(value.integer());
    case ValueKind::kDouble:
      return RoundToInt16(value.number());
    case ValueKind::kText: {
      if (const auto yesNo = YesNoWordValue(value.text())) return *yesNo;
      const auto parsed = ParseDecimal(value.text());
      if (!parsed) ThrowTypeMismatch();
      return RoundToInt16(*parsed);
    }
    case ValueKind::kBoolean:
      return value.boolean() ? -1 : 0;
  }
  return 0;
}

std::optional<double> ValueAsNumber(const Value& value) {
  switch (value.kind()) {
    case ValueKind::kNull:
    case ValueKind::kBlob:  // never held
      return std::nullopt;
    case ValueKind::kInteger:
      return static_cast<double>(value.integer());
    case ValueKind::kDouble:
      return value.number();
    case ValueKind::kText:
      return ParseDecimal(value.text());
    case ValueKind::kBoolean:
      return value.boolean() ? -1.0 : 0.0;
  }
  return std::nullopt;
}

}  // namespace mdbtokvt
