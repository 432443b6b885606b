// Receiver table: one receiver record per row of the receiver query.
#include "converters/ConvertReceivers.h"

#include "converters/ConverterSupport.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFileNames.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

namespace {
constexpr std::string_view kTable = kReceiverTableFile;
// Widths of the text fields of a receiver record, NUL included.
constexpr auto kNameField = static_cast<size_t>(receiver_record::kName.width);
constexpr auto kPagerField = static_cast<size_t>(receiver_record::kPagerId.width);
}  // namespace

int32_t ConvertReceiverTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                             const ReceiverColumns& columns) {
  if (recordset.Bof() && recordset.Eof()) return 0;
  recordset.MoveFirst();
  LazyField receiverColumn(columns.receiver);
  LazyField pagerColumn(columns.pager);
  LazyField serviceColumn(columns.service);
  int32_t row = 0;
  while (!recordset.Eof()) {
    ++row;
    const Value& receiver = receiverColumn.Read(recordset);
    const std::string receiverName = ShortenAndNote(
        context, context.names.receiverNames, kTable,
        TextOf(context, receiver, kTable, row, receiverColumn.name()), receiver.lostSource());
    NoteReplaced(context, kTable, row, receiverColumn.name(), receiver, receiverName, kNameField);
    const Value& pager = pagerColumn.Read(recordset);
    const Value& service = serviceColumn.Read(recordset);
    const std::string serviceName = ShortenAndNote(
        context, context.names.serviceNames, kTable,
        TextOf(context, service, kTable, row, serviceColumn.name()), service.lostSource());
    const std::string pagerId = TextOf(context, pager, kTable, row, pagerColumn.name());
    NoteReplaced(context, kTable, row, pagerColumn.name(), pager, pagerId, kPagerField);
    NoteReplaced(context, kTable, row, serviceColumn.name(), service, serviceName, kNameField);

    WriteKVTReceiver(file, kSchemaMajor, kSchemaMinor, kSchemaPatch, receiverName, pagerId,
                     serviceName);
    context.writtenReceivers.insert(receiverName);
    if (!context.writtenServices.contains(serviceName)) {
      context.report.unknownServices.push_back({std::string(kTable), receiverName, serviceName});
    }
    recordset.MoveNext();
  }
  return recordset.RecordCount();
}

}  // namespace mdbtokvt
