// The group converter: the group query's rows in, GROUPTAB.KVT's records
// out.
#pragma once

#include <cstdint>
#include <string_view>

#include "converters/ConversionContext.h"
#include "source/Recordset.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// The names of the columns the group converter reads.
struct GroupColumns {
  std::string_view group;
  std::string_view member;
};

// Reads every row of recordset, forward from the first, ordered by group
// name: the columns named by columns (GrName and ctName of an address book,
// GroupName and UserName of an MDB source, as the group run declares them).
// Writes one group record per run of rows with the same shortened group
// name, with the member slots of context.edition (32 or 500; members past
// them are dropped and the group reported as truncated). Member names are
// shortened in context.names.receiverNames and checked against
// context.writtenReceivers, so the receiver converter of the same conversion
// runs first: otherwise a member is stored under another shortening than its
// receiver and reported as naming no receiver. Returns the number of groups.
// Raises 3265 for a column the source lacks, what the recordset and the
// table file raise, and FatalError from the record writer.
int32_t ConvertGroupTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                          const GroupColumns& columns);

}  // namespace mdbtokvt
