#pragma once

#include <cstdint>

#include "converters/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

int32_t ConvertGroupTable(ConversionContext& context, Recordset& recordset, TableFile& file);

}  // namespace mdbtokvt
