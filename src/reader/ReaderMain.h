// The reader process's main function (see ReaderProtocol.h for how it is
// called). The executable mdbtokvt-reader consists of this call.
#pragma once

#include <functional>

namespace mdbtokvt {

// afterLockDown runs once the reader has locked itself down
// (ReaderSandbox.h), before libmdb reads past the header page. Only the
// tests' build of the reader passes one.
int ReaderMain(int argc, char** argv, const std::function<void()>& afterLockDown = {});

}  // namespace mdbtokvt
