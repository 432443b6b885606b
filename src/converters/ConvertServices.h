#pragma once

#include <cstdint>
#include <string_view>

#include "run/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// The names of the columns the service converter reads. An address book
// gives the line settings in one column (settings), an MDB file in three
// (parity, dataBits, stopBits); the context's source kind says which are
// read, and how the maximum message length is read.
struct ServiceColumns {
  std::string_view name;
  std::string_view address;
  std::string_view baud;
  std::string_view settings = {};
  std::string_view parity = {};
  std::string_view dataBits = {};
  std::string_view stopBits = {};
  std::string_view maxMessage;
};

int32_t ConvertServiceTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                            const ServiceColumns& columns);

}  // namespace mdbtokvt
