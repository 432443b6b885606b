// The service converter: the service table's rows in, TERMTAB.KVT's records
// out.
#pragma once

#include <cstdint>
#include <string_view>

#include "converters/ConversionContext.h"
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

// Reads every row of recordset, forward from the first: the columns named by
// columns (poname, poAddress, pObaud, poCommSettings and poTypeData1 of an
// address book, pgname, pgTermPhone, pgbaud, pgparity, pgdatabits,
// pgstopbits and pgmaxmsg of an MDB source, as the service run declares
// them), each looked up the first time a row needs it. Writes one service
// record per row to file, shortens names in context.names.serviceNames, adds
// each name written to context.writtenServices (which the receiver converter
// checks against) and notes what it changed in context.report. Returns the
// number of rows. Raises 3265 for a column the source lacks, what the
// recordset and the table file raise, and FatalError from the record writer.
int32_t ConvertServiceTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                            const ServiceColumns& columns);

}  // namespace mdbtokvt
