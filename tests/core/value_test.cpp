#include "common/Value.h"

#include <gtest/gtest.h>

#include "common/Error.h"

namespace mdbtokvt {
namespace {

int ErrorOf(const Value& v) {
  try {
    ValueAsInt16(v);
  } catch (const ConversionError& e) {
    return e.number();
  }
  return 0;
}

TEST(ValueConversion, NumbersAsText) {
  EXPECT_EQ(ValueAsText(Value::Integer(9600)), "9600");
  EXPECT_EQ(ValueAsText(Value::Integer(-32768)), "-32768");
  EXPECT_EQ(ValueAsText(Value::Double(9600.0)), "9600");
  EXPECT_EQ(ValueAsText(Value::Double(12.5)), "12.5");
  EXPECT_EQ(ValueAsText(Value::Double(9600.5)), "9600.5");
  EXPECT_EQ(ValueAsText(Value::Double(-94.43)), "-94.43");
  EXPECT_EQ(ValueAsText(Value::Double(0.1 + 0.2)), "0.3");
  EXPECT_EQ(ValueAsText(Value::Double(1e-5)), "0.00001");
  EXPECT_EQ(ValueAsText(Value::Double(123456789012345.0)), "123456789012345");
  EXPECT_EQ(ValueAsText(Value::Double(1e15)), "1E+15");
  EXPECT_EQ(ValueAsText(Value::Double(1.5e-6)), "1.5E-6");
  EXPECT_EQ(ValueAsText(Value::Double(0.0)), "0");
  EXPECT_EQ(ValueAsText(Value::Boolean(true)), "True");
  EXPECT_EQ(ValueAsText(Value::Boolean(false)), "False");
  EXPECT_EQ(ValueAsText(Value::Null()), "");
  EXPECT_EQ(ValueAsText(Value::Text(" E,7,1 ")), " E,7,1 ");
}

TEST(ValueConversion, Int16RoundsHalfToEven) {
  EXPECT_EQ(ValueAsInt16(Value::Double(12.5)), 12);
  EXPECT_EQ(ValueAsInt16(Value::Double(13.5)), 14);
  EXPECT_EQ(ValueAsInt16(Value::Double(-2.5)), -2);
  EXPECT_EQ(ValueAsInt16(Value::Double(0.5)), 0);
  EXPECT_EQ(ValueAsInt16(Value::Double(1.5)), 2);
  EXPECT_EQ(ValueAsInt16(Value::Double(32767.49)), 32767);
  EXPECT_EQ(ValueAsInt16(Value::Text(" 12.5 ")), 12);
  EXPECT_EQ(ValueAsInt16(Value::Text("-3.5e1")), -35);
  EXPECT_EQ(ValueAsInt16(Value::Text("+160")), 160);
  EXPECT_EQ(ValueAsInt16(Value::Text(".5")), 0);
  EXPECT_EQ(ValueAsInt16(Value::Integer(-32768)), -32768);
  EXPECT_EQ(ValueAsInt16(Value::Boolean(true)), -1);
  EXPECT_EQ(ValueAsInt16(Value::Boolean(false)), 0);
  EXPECT_EQ(ValueAsInt16(Value::Null()), 0);
}

TEST(ValueConversion, Int16Errors) {
  EXPECT_EQ(ErrorOf(Value::Text("")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("   ")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("abc")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("12abc")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("inf")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("1e")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Integer(40000)), NumberOf(ErrorNumber::kOverflow));
  EXPECT_EQ(ErrorOf(Value::Integer(-32769)), NumberOf(ErrorNumber::kOverflow));
  EXPECT_EQ(ErrorOf(Value::Double(32767.5)), NumberOf(ErrorNumber::kOverflow));
  EXPECT_EQ(ErrorOf(Value::Text("1e10")), NumberOf(ErrorNumber::kOverflow));
}

// A Yes/No value goes through its text form ("True"/"False") on some paths;
// read back as a 16-bit number it must keep its value. No other word names one.
TEST(ValueConversion, Int16ReadsYesNoWords) {
  EXPECT_EQ(ValueAsInt16(Value::Text(ValueAsText(Value::Boolean(true)))), -1);
  EXPECT_EQ(ValueAsInt16(Value::Text(ValueAsText(Value::Boolean(false)))), 0);
  EXPECT_EQ(ValueAsInt16(Value::Text("TRUE")), -1);
  EXPECT_EQ(ValueAsInt16(Value::Text(" false\t")), 0);
  EXPECT_EQ(ErrorOf(Value::Text("Yes")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("No")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("Tru")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("True1")), NumberOf(ErrorNumber::kTypeMismatch));
  EXPECT_EQ(ErrorOf(Value::Text("-True")), NumberOf(ErrorNumber::kTypeMismatch));
}

TEST(ValueConversion, AsNumber) {
  EXPECT_EQ(ValueAsNumber(Value::Text(" 7 ")), 7.0);
  EXPECT_EQ(ValueAsNumber(Value::Integer(1)), 1.0);
  EXPECT_FALSE(ValueAsNumber(Value::Text("seven")));
  EXPECT_FALSE(ValueAsNumber(Value::Text("")));
  EXPECT_FALSE(ValueAsNumber(Value::Null()));
}

}  // namespace
}  // namespace mdbtokvt
