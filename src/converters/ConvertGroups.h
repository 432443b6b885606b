#pragma once

#include <cstdint>
#include <string_view>

#include "run/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// The names of the columns the group converter reads.
struct GroupColumns {
  std::string_view group;
  std::string_view member;
};

int32_t ConvertGroupTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                          const GroupColumns& columns);

}  // namespace mdbtokvt
