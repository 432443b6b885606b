// The service converter: the service table's rows in, TERMTAB.KVT's records
// out.
#pragma once

#include <cstdint>

#include "converters/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// Reads every row of recordset, forward from the first: the columns poname,
// poAddress, pObaud, poCommSettings and poTypeData1 of an address book
// (context.addressBookSource), pgname, pgTermPhone, pgbaud, pgparity,
// pgdatabits, pgstopbits and pgmaxmsg of an MDB source, each looked up the
// first time a row needs it. Writes one service record per row to file,
// shortens names in context.names.serviceNames, adds each name written to
// context.writtenServices (which the receiver converter checks against) and
// notes what it changed in context.report. Returns the number of rows.
// Raises 3265 for a column the source lacks, what the recordset and the
// table file raise, and FatalError from the record writer.
int32_t ConvertServiceTable(ConversionContext& context, Recordset& recordset, TableFile& file);

}  // namespace mdbtokvt
