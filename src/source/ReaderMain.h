// The reader process's main function (see ReaderProtocol.h for how it is
// called). The executable mdbtokvt-reader consists of this call.
#pragma once

namespace mdbtokvt {

int ReaderMain(int argc, char** argv);

}  // namespace mdbtokvt
