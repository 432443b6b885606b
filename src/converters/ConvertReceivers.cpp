// Receiver table: one 352-byte record per row of the receiver query.
#include "converters/ConvertReceivers.h"

#include "converters/ConverterSupport.h"
#include "converters/RecordWriters.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

namespace {
constexpr std::string_view kTable = "USERTAB.KVT";
}

int32_t ConvertReceiverTable(ConversionContext& context, Recordset& recordset, TableFile& file) {
  if (recordset.Bof() && recordset.Eof()) return 0;
  recordset.MoveFirst();
  const bool addressBook = context.addressBookSource;
  LazyField receiverColumn(addressBook ? "ctName" : "UserName");
  LazyField pagerColumn(addressBook ? "ctAddress" : "PagerID");
  LazyField serviceColumn(addressBook ? "poName" : "pgname");
  int32_t row = 0;
  while (!recordset.Eof()) {
    ++row;
    const std::string receiverName = ShortenAndNote(
        context, context.receiverNames, kTable,
        TextOf(context, receiverColumn.Read(recordset), kTable, row, receiverColumn.name()));
    const Value& pager = pagerColumn.Read(recordset);
    const std::string serviceName = ShortenAndNote(
        context, context.serviceNames, kTable,
        TextOf(context, serviceColumn.Read(recordset), kTable, row, serviceColumn.name()));
    const std::string pagerId = TextOf(context, pager, kTable, row, pagerColumn.name());

    WriteKVTReceiver(context.reportFatal, file, kSchemaMajor, kSchemaMinor, kSchemaPatch,
                     receiverName, pagerId, serviceName);
    context.writtenReceivers.insert(receiverName);
    if (!context.writtenServices.contains(serviceName)) {
      context.report.unknownServices.push_back({std::string(kTable), receiverName, serviceName});
    }
    recordset.MoveNext();
  }
  return recordset.RecordCount();
}

}  // namespace mdbtokvt
