// Feeds arbitrary byte streams to the frame driver in every receive mode, split into
// chunks and interleaved with ticks. Aborts when the image changes size, a byte is
// written outside the stored blocks' range, or a transaction outlives its time-outs
// once input stops.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "FakeLinkPort.h"
#include "clsCmcEeprom.h"
#include "clsCmcLnk3Drv.h"
#include "clsCmcTick.h"

namespace {

int32_t g_now = 0;

void require(bool condition) {
  if (!condition) std::abort();
}

void tickFor(clsCmcLnk3Drv& drv, int32_t ms) {
  for (int32_t t = 0; t < ms; t += 50) {
    g_now += 50;
    drv.task();
  }
}

// Starts the transaction the first byte selects; the rest of the input answers it.
void startTransaction(FakeLinkPort& port, uint8_t selector) {
  clsCmcLnk3Drv& drv = port.drv;
  switch (selector % 5) {
    case 0:
      drv.setworkMode(1);
      drv.Send(Common::HexStrToBin("E029280000"));
      break;
    case 1:
      drv.setworkMode(2);
      drv.Send(Common::HexStrToBin("E229280100"));
      break;
    case 2:
      drv.setworkMode(4);
      drv.Send(Common::HexStrToBin("E55461767520496E632E"));
      break;
    case 3:
      drv.setworkMode(5);
      drv.setwaitAnswer(true);
      drv.setretryCount(2);
      drv.Send(Common::HexStrToBin("E8292801000333"));
      break;
    default:
      drv.setworkMode(5);
      drv.setwaitAnswer(false);
      drv.Send(Common::HexStrToBin("E8292801000537"));
      break;
  }
}

// Turns raw bytes into well-formed clone-data frames (valid checksums), so the
// stream reaches the storing and counting paths as well.
Bytes wellFormedFrames(const uint8_t* data, size_t size) {
  Bytes out;
  size_t pos = 0;
  while (pos + 3 <= size) {
    Bytes block{data[pos], data[pos + 1], static_cast<uint8_t>(data[pos + 2] % 17)};
    pos += 3;
    for (int i = 0; i < block[2] && pos < size; ++i) block.push_back(data[pos++]);
    block[2] = static_cast<uint8_t>(block.size() - 3);
    unsigned sum = 0;
    for (uint8_t b : block) sum += b;
    block.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));
    const std::string text = Common::BinToHexStr(block);
    out.insert(out.end(), {0xFE, 0xFE, 0xEF, 0xEE, 0xE4});
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0xFD);
  }
  return out;
}

}  // namespace

void checkInvariants(const clsCmcEeprom& image, const clsCmcLnk3Drv& drv) {
  require(image.eeSize() == 4096);
  require(drv.lastEeAdr() < 4096);
  require(drv.EndAddress() > 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  clsCmcTick::setClockSource([] { return g_now; });
  g_now = static_cast<int32_t>(data[0]) << 23;  // also near the signed wrap

  clsCmcEeprom image;
  image.seteeSize(4096);
  FakeLinkPort port;
  port.open = true;
  clsCmcLnk3Drv& drv = port.drv;
  drv.setmyEep(&image);
  const uint8_t selector = data[1];
  startTransaction(port, selector);
  if ((selector & 0x80) && !port.written.empty()) drv.read(port.written.back());  // the echo

  if (selector & 0x20) {
    // Well-formed frames in chunks of varying size.
    const Bytes framed = wellFormedFrames(data + 2, size - 2);
    uint32_t state = data[0];
    for (size_t pos = 0; pos < framed.size();) {
      state = state * 1103515245u + 12345u;
      const size_t take = std::min<size_t>((state >> 16) % 97 + 1, framed.size() - pos);
      drv.read(framed.data() + pos, take);
      pos += take;
      tickFor(drv, (state & 0x100) ? 50 : 0);
      checkInvariants(image, drv);
    }
  } else {
    // Raw bytes: a length byte, then that many bytes, with a tick after some chunks.
    size_t pos = 2;
    while (pos < size) {
      const size_t want = data[pos++] % 97 + 1;
      const size_t take = std::min(want, size - pos);
      drv.read(data + pos, take);
      pos += take;
      tickFor(drv, (want & 1) ? 50 : 0);
      checkInvariants(image, drv);
      if (!drv.Running() && (selector & 0x40)) startTransaction(port, static_cast<uint8_t>(want));
    }
  }

  // With no more input every wait ends: an echo within 1000 ms, an answer within
  // 1200 ms, and a resend's echo within another 1000 ms.
  tickFor(drv, 1200 + 1000 + 100);
  require(!drv.Running());
  require(drv.varLastE8Answer().size() <= clsCmcLnk3Drv::WindowSize);
  return 0;
}
