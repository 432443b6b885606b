// The receiver converter: the receiver query's rows in, USERTAB.KVT's
// records out.
#pragma once

#include <cstdint>
#include <string_view>

#include "converters/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// The names of the columns the receiver converter reads.
struct ReceiverColumns {
  std::string_view receiver;
  std::string_view pager;
  std::string_view service;
};

// Reads every row of recordset, forward from the first: the columns named by
// columns (ctName, ctAddress and poName of an address book, UserName, PagerID
// and pgname of an MDB source, as the receiver run declares them). Writes one
// receiver record per row to file, shortens receiver names in
// context.names.receiverNames and service names in context.names.serviceNames,
// adds each receiver name written to context.writtenReceivers, and reports a
// service name that is not in context.writtenServices: run it after the
// service converter of the same conversion. Returns the number of rows.
// Raises 3265 for a column the source lacks, what the recordset and the table
// file raise, and FatalError from the record writer.
int32_t ConvertReceiverTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                             const ReceiverColumns& columns);

}  // namespace mdbtokvt
