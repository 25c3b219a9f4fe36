#include "FrameTrace.h"

#include <cstdio>

namespace {

std::string spacedHex(const Bytes& bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) out += ' ';
    out += Common::BinToHexStr(&bytes[i], 1);
  }
  return out;
}

}  // namespace

std::string FrameTrace::line(const VirtualTransceiver::TraceEvent& event) {
  using Direction = VirtualTransceiver::TraceEvent::Direction;
  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "[%08llX]",
                static_cast<unsigned long long>(event.timeUs / 1000) & 0xFFFFFFFFull);
  switch (event.direction) {
    case Direction::FromPc: return std::string(stamp) + " PC>RIG " + spacedHex(event.bytes);
    case Direction::ToPc: return std::string(stamp) + " RIG>PC " + spacedHex(event.bytes);
    case Direction::Noise:
      return std::string(stamp) + " RIG>PC noise, " + std::to_string(event.bytes.size()) + " bytes";
  }
  return stamp;
}
