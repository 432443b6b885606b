// An error the program does not go on from: a record writer asked for a
// schema version it does not write. It is thrown up to the front end, which
// shows its title and text ("Fatal Error", the writer's message) and ends
// the program; the core never ends the process itself.
#pragma once

#include <stdexcept>
#include <string>

namespace mdbtokvt {

class FatalError : public std::runtime_error {
 public:
  FatalError(std::string title, const std::string& text)
      : std::runtime_error(text), title_(std::move(title)) {}
  const std::string& title() const { return title_; }
  // The message; the same as what().
  std::string text() const { return what(); }

 private:
  std::string title_;
};

}  // namespace mdbtokvt
