#pragma once
// A pseudo-terminal pair for tests: the test holds the master side, the code
// under test opens the slave path like a serial device.
#include <string>

#include "Common.h"

class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& slavePath() const { return slavePath_; }
  void write(const Bytes& bytes);
  // Reads until count bytes came or timeoutMs passed without any.
  Bytes read(size_t count, int timeoutMs = 2000);
  void closeMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
};
