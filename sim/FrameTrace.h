#pragma once
// One text line per traced frame: "[0000A1F3] PC>RIG FE FE EE EF E0 29 28 00 00 FD",
// the time in milliseconds as eight hex digits. Noise is shown by its length.
#include <string>

#include "VirtualTransceiver.h"

class FrameTrace {
 public:
  static std::string line(const VirtualTransceiver::TraceEvent& event);
};
