// A field value as read from the source database, and the conversions the
// converters apply to it (as text, as a 16-bit integer, as a number).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "common/ValueKind.h"

namespace mdbtokvt {

// Text is held as bytes of the output code page: it is converted when it is
// read from the source, so every length rule counts output bytes. A text the
// code page could not hold whole also keeps the source's text, in UTF-8,
// for the report of what was lost.
class Value {
 public:
  Value() = default;
  static Value Null() { return Value(); }
  static Value Integer(int64_t v) { return Value(Storage(std::in_place_index<1>, v)); }
  static Value Double(double v) { return Value(Storage(std::in_place_index<2>, v)); }
  static Value Text(std::string v) { return Value(Storage(std::in_place_index<3>, std::move(v))); }
  static Value Boolean(bool v) { return Value(Storage(std::in_place_index<4>, v)); }

  ValueKind kind() const {
    constexpr ValueKind kKindOfIndex[] = {ValueKind::kNull, ValueKind::kInteger, ValueKind::kDouble,
                                          ValueKind::kText, ValueKind::kBoolean};
    return kKindOfIndex[storage_.index()];
  }
  bool IsNull() const { return kind() == ValueKind::kNull; }
  int64_t integer() const { return std::get<1>(storage_); }
  double number() const { return std::get<2>(storage_); }
  const std::string& text() const { return std::get<3>(storage_); }
  bool boolean() const { return std::get<4>(storage_); }
  // The source's text (UTF-8) of a text that lost characters to the code
  // page; empty for every other value.
  const std::string& lostSource() const { return lostSource_; }

  // Makes this value the text, reusing the buffer of a text held before:
  // values refilled row after row then allocate nothing once warm.
  void AssignText(std::string_view text, std::string_view lostSource = {}) {
    if (auto* held = std::get_if<3>(&storage_)) {
      held->assign(text);
    } else {
      storage_.emplace<3>(text);
    }
    lostSource_.assign(lostSource);
  }
  static Value LossyText(std::string text, std::string lostSource) {
    Value value = Text(std::move(text));
    value.lostSource_ = std::move(lostSource);
    return value;
  }

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, int64_t, double, std::string, bool>;
  explicit Value(Storage s) : storage_(std::move(s)) {}
  Storage storage_;
  std::string lostSource_;
};

// The value taken as text: a text as stored; an integer in plain decimal; a
// double in its shortest form of at most 15 significant digits (no exponent for
// magnitudes from 1e-5 to below 1e15); Yes/No as "True"/"False"; Null as "".
std::string ValueAsText(const Value& value);

// The value taken as a signed 16-bit integer: numbers round half to even; a
// text is trimmed of blanks and read as a decimal number, then rounded the same
// way; Yes/No gives -1/0, and so do the texts "True" and "False" (any letter
// case), which are a Yes/No value's text form; Null gives 0. Raises 13 "Type
// mismatch" for an empty or any other non-numeric text and 6 "Overflow" outside
// -32768..32767.
int16_t ValueAsInt16(const Value& value);

// The value as a number when it is one or a text that reads as one (trimmed);
// nothing for Null, a text that is no number, or an empty text.
std::optional<double> ValueAsNumber(const Value& value);

// Formats a double as ValueAsText does.
std::string FormatDouble(double value);

// Reads a whole text (after trimming blanks) as a decimal number: optional
// sign, digits with an optional fraction, optional exponent.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace mdbtokvt
