#include "run/FileSteps.h"

namespace mdbtokvt {

const char* FileStepName(FileStep step) {
  switch (step) {
    case FileStep::kCreate:
      return "create";
    case FileStep::kWrite:
      return "write";
    case FileStep::kSync:
      return "sync";
    case FileStep::kRename:
      return "rename";
    case FileStep::kUnlink:
      return "unlink";
  }
  return "?";
}

}  // namespace mdbtokvt
