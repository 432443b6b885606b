// The kinds of a value on its way from the Access file to the converters,
// one enum for every step: a decoded field (access/FieldDecoder.h), a
// loaded value (query/LoadedTables.h, which stores it as this number) and a
// recordset's value (Value.h). A Yes/No field is decoded and loaded as the
// integer 1 or 0 and becomes a Boolean only in a recordset; a blob is
// decoded and loaded, and reaches a recordset as Null.
#pragma once

#include <cstdint>

namespace mdbtokvt {

enum class ValueKind : uint8_t { kNull, kInteger, kDouble, kText, kBlob, kBoolean };

}  // namespace mdbtokvt
