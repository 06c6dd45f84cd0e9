#pragma once

namespace kavo {

// Ends the program: closes its windows and leaves the event loop. The caller
// returns normally afterwards; nothing of the program runs after that.
class ProgramEnd {
 public:
  virtual ~ProgramEnd() = default;
  virtual void end() = 0;
};

}  // namespace kavo
