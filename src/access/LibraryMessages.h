// What libmdb prints says more than its return values: it has no error
// callback, and some of its readers stop early with a warning on stderr but
// report success. These are the messages that mean the file is damaged.
#pragma once

#include <string>
#include <string_view>

namespace mdbtokvt {

// The first line of messages that reports damage (a read past the end of the
// file, a row or value that lies outside its page, property data in an
// unknown form, ...), without its line end; empty when there is none.
std::string FirstDamageMessage(std::string_view messages);

// Whether messages report that memory ran out (GLib ends the process then).
bool ReportsMemoryExhausted(std::string_view messages);

}  // namespace mdbtokvt
