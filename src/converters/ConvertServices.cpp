// Service table: one service record per row of the service table.
#include "converters/ConvertServices.h"

#include <array>
#include <string_view>

#include "converters/ConverterSupport.h"
#include "converters/RecordWriters.h"
#include "tablefile/RecordLayouts.h"
#include "tablefile/TableFileNames.h"
#include "tablefile/WriteKVT.h"

namespace mdbtokvt {

namespace {

constexpr std::string_view kTable = kServiceTableFile;
// Widths of the text fields of a service record, NUL included.
constexpr auto kNameField = static_cast<size_t>(service_record::kName.width);
constexpr auto kAddressField = static_cast<size_t>(service_record::kTerminalAddress.width);

// Line speed as text -> baud-rate code; anything else gives 0.
int16_t BaudRateCode(const std::string& speed) {
  static constexpr std::array<std::pair<std::string_view, int16_t>, 10> kRates{{
      {"300", 0},
      {"1200", 1},
      {"2400", 2},
      {"4800", 3},
      {"9600", 4},
      {"19200", 5},
      {"28800", 5},
      {"38400", 6},
      {"57600", 7},
      {"115200", 8},
  }};
  for (const auto& [rate, code] : kRates) {
    if (speed == rate) return code;
  }
  return 0;
}

bool NumberEquals(const Value& value, double wanted) {
  const auto number = ValueAsNumber(value);
  return number && *number == wanted;
}

// The columns read, each found on first use.
struct ServiceFields {
  explicit ServiceFields(const ServiceColumns& c)
      : name(c.name),
        address(c.address),
        baud(c.baud),
        settings(c.settings),
        parity(c.parity),
        dataBits(c.dataBits),
        stopBits(c.stopBits),
        maxMessage(c.maxMessage) {}
  LazyField name, address, baud;
  LazyField settings, parity, dataBits, stopBits;  // settings: address book; others: MDB
  LazyField maxMessage;
};

}  // namespace

int32_t ConvertServiceTable(ConversionContext& context, Recordset& recordset, TableFile& file,
                            const ServiceColumns& names) {
  if (recordset.Bof() && recordset.Eof()) return 0;
  recordset.MoveFirst();
  const bool addressBook = context.addressBookSource;
  ServiceFields columns(names);
  int32_t row = 0;
  while (!recordset.Eof()) {
    ++row;
    const Value& nameValue = columns.name.Read(recordset);
    const std::string fullName = TextOf(context, nameValue, kTable, row, columns.name.name());
    const std::string name = ShortenAndNote(context, context.names.serviceNames, kTable, fullName,
                                            nameValue.lostSource());
    NoteReplaced(context, kTable, row, columns.name.name(), nameValue, name, kNameField);
    const Value& addressValue = columns.address.Read(recordset);
    const std::string address = TextOf(context, addressValue, kTable, row, columns.address.name());
    NoteReplaced(context, kTable, row, columns.address.name(), addressValue, address,
                 kAddressField);
    const int16_t baudCode = BaudRateCode(
        TextOf(context, columns.baud.Read(recordset), kTable, row, columns.baud.name()));

    int16_t settingsCode;
    if (addressBook) {
      const Value& settings = columns.settings.Read(recordset);
      if (settings.IsNull()) NoteDefaulted(context, kTable, row, columns.settings.name());
      settingsCode = !settings.IsNull() && ValueAsText(settings) == "E,7,1" ? 0 : 1;
    } else {
      const Value& parity = columns.parity.Read(recordset);
      const bool even = !parity.IsNull() && ValueAsText(parity) == "EVEN";
      settingsCode = even && NumberEquals(columns.dataBits.Read(recordset), 7) &&
                             NumberEquals(columns.stopBits.Read(recordset), 1)
                         ? 0
                         : 1;
    }

    // A Null (or, for the MDB column, an empty text) gives 0 for that row
    // alone: an earlier row's limit is never carried over to another service.
    int16_t maxMessageLength = 0;
    const Value& maxMessage = columns.maxMessage.Read(recordset);
    if (addressBook) {
      if (maxMessage.IsNull()) NoteDefaulted(context, kTable, row, columns.maxMessage.name());
      maxMessageLength = ValueAsInt16(maxMessage);
    } else {
      const std::string text = ValueAsText(maxMessage);  // "" for Null
      if (text.empty()) {
        NoteDefaulted(context, kTable, row, columns.maxMessage.name());
      } else {
        maxMessageLength = ValueAsInt16(Value::Text(text));
      }
    }

    WriteKVTService(file, kSchemaMajor, kSchemaMinor, kSchemaPatch, name, address, baudCode,
                    settingsCode, maxMessageLength);
    context.writtenServices.insert(name);
    recordset.MoveNext();
  }
  return recordset.RecordCount();
}

}  // namespace mdbtokvt
