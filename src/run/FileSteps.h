// The file-system steps of writing an output folder, announced one by one
// before each is taken. The program announces them to no one; a test build
// can listen and end the process at any of them, leaving the folder as a
// crash or a power cut at that moment would.
#pragma once

#include <functional>
#include <string>

namespace mdbtokvt {

enum class FileStep {
  kCreate,  // a new file is created
  kWrite,   // bytes are written to a file being staged
  kSync,    // a file or a folder is made durable
  kRename,  // a file is moved (within its folder)
  kUnlink,  // a file is removed
};

const char* FileStepName(FileStep step);

// Called with the step and the path it is about to act on; empty: nothing listens.
using FileStepHook = std::function<void(FileStep step, const std::string& path)>;

}  // namespace mdbtokvt
