// Stages the table files of one conversion in the output folder and puts them
// in place together: until Commit() succeeds, every file already in the folder
// stays exactly as it was, and no temporary is left behind on failure.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tablefile/OutputStream.h"
#include "tablefile/TableFile.h"

namespace mdbtokvt {

// Builds the path of a file in a folder, adding "/" unless the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view fileName);

class OutputFolder {
 public:
  using StreamFactory = std::function<std::unique_ptr<OutputStream>(const std::string& path)>;

  explicit OutputFolder(std::string folder, StreamFactory factory = CreateFileStream);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // Opens a new, empty staging file that will become fileName on Commit().
  TableFile& Create(std::string_view fileName);
  // Closes the staged files and moves them over their targets, all of them or
  // (restoring what was there) none. Concurrent commits into one folder are
  // serialised, so the folder ends with one complete set.
  void Commit();

  const std::string& folder() const { return folder_; }

 private:
  struct Staged {
    std::string target;
    std::string temporary;
    std::unique_ptr<TableFile> file;
  };
  std::string TemporaryName(std::string_view fileName);
  void Discard() noexcept;

  std::string folder_;
  StreamFactory factory_;
  std::vector<Staged> staged_;
  bool committed_ = false;
};

}  // namespace mdbtokvt
