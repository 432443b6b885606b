// The receiver converter: the receiver query's rows in, USERTAB.KVT's
// records out.
#pragma once

#include <cstdint>

#include "converters/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// Reads every row of recordset, forward from the first: ctName, ctAddress and
// poName of an address book (context.addressBookSource), UserName, PagerID
// and pgname of an MDB source. Writes one receiver record per row to file,
// shortens receiver names in context.names.receiverNames and service names
// in context.names.serviceNames, adds each receiver name written to
// context.writtenReceivers, and reports a service name that is not in
// context.writtenServices: run it after the service converter of the same
// conversion. Returns the number of rows. Raises 3265 for a column the
// source lacks, what the recordset and the table file raise, and FatalError
// from the record writer.
int32_t ConvertReceiverTable(ConversionContext& context, Recordset& recordset, TableFile& file);

}  // namespace mdbtokvt
