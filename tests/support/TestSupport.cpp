#include "TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "common/Error.h"

namespace mdbtokvt::test {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TempFolder::TempFolder() {
  std::mt19937_64 random{std::random_device{}()};
  path_ = std::filesystem::temp_directory_path() /
          ("mdbtokvt-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::pair<std::string, std::string>> FolderSnapshot(const std::filesystem::path& dir) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files.emplace_back(entry.path().filename().string(),
                       entry.is_regular_file() ? ReadFile(entry.path()) : std::string("<dir>"));
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string TestData(const std::string& relative) {
  return std::string(MDBTOKVT_TEST_DATA) + "/" + relative;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

ShellOutcome RunShell(const std::string& command, const std::filesystem::path& scratch) {
  std::mt19937_64 random{std::random_device{}()};
  const std::string stem = (scratch / ("shell-" + std::to_string(random()))).string();
  const std::string outFile = stem + ".out", errFile = stem + ".err";
  const int raw =
      std::system((command + " >" + ShellQuote(outFile) + " 2>" + ShellQuote(errFile)).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), ReadFile(outFile),
          ReadFile(errFile)};
}

int ErrorNumberOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const ConversionError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace mdbtokvt::test
