// Stages the files of one conversion (the three table files in the output
// folder, and the report wherever it goes) and puts them in place together:
// until Commit() succeeds, every file already there stays exactly as it was,
// and no temporary is left behind on failure. A commit cut short by a crash
// leaves a record from which the next conversion, or verify, finishes it or
// puts the old files back (run/FolderRecovery.h).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/UniqueFd.h"
#include "run/FileSteps.h"
#include "tablefile/OutputStream.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// Builds the path of a file in a folder, adding "/" unless the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view fileName);

class OutputFolder {
 public:
  using StreamFactory = std::function<std::unique_ptr<OutputStream>(const std::string& path)>;

  explicit OutputFolder(std::string folder, StreamFactory factory = CreateFileStream,
                        FileStepHook steps = {});
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Settles what a stopped conversion left in the folder (a commit cut
  // short, staged files); returns a line for each thing done.
  std::vector<std::string> Tidy();

  // Opens a new, empty staging file that will become fileName on Commit().
  TableFile& Create(std::string_view fileName);
  // The same for a file anywhere (the report): staged beside path, or beside
  // the file a link at path leads to. Staged files of that name that a
  // stopped conversion left there are removed first, with a line in notes.
  TableFile& CreateBeside(const std::string& path, std::vector<std::string>& notes);

  // Closes the staged files and moves them over their targets, all of them or
  // (restoring what was there) none. Concurrent commits into one folder are
  // serialised, so the folder ends with one complete set.
  void Commit();

  const std::string& folder() const { return folder_; }

 private:
  struct Staged {
    std::string recordFolder;  // as the commit record names the folder ("" for folder_)
    std::string target;
    std::string temporary;
    UniqueFd lock;  // held while the file is staged: it belongs to a running conversion
    std::unique_ptr<TableFile> file;
  };
  TableFile& Stage(Staged staged);
  void Discard() noexcept;

  std::string folder_;
  StreamFactory factory_;
  FileStepHook steps_;
  std::vector<Staged> staged_;
  bool committed_ = false;
  bool keepForRecovery_ = false;  // a failed commit could not undo itself
};

}  // namespace mdbtokvt
