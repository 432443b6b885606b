#pragma once

#include <cstdint>
#include <string_view>

#include "run/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// The names of the columns the receiver converter reads.
struct ReceiverColumns {
  std::string_view receiver;
  std::string_view pager;
  std::string_view service;
};

int32_t ConvertReceiverTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                             const ReceiverColumns& columns);

}  // namespace mdbtokvt
