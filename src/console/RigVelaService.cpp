// The service cycle's work on the console: changed rows sent one command at a
// time, the balance value carried to its two copies, one Enter per pass.
#include "Globals.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

namespace {

constexpr int32_t kBalCopy1Address = 113;
constexpr int16_t kBalCopy1Command = 0x12;
constexpr int32_t kBalCopy2Address = 106;
constexpr int16_t kBalCopy2Command = 0x11;

}  // namespace

// True once the whole list was scanned with the link idle. The balance copies go
// out on their own passes: a command started while the link still writes the row's
// own frame would take that frame's place.
bool clsIndOp_RigVela::RigVelaOp_SendChangedItems() {
  clsConsole& console = Globals::console();
  clsCmcLnk3Sequence& seq = Globals::seq();
  if (task_.balFollowUp) {
    if (sendBalanceFollowUp()) return false;
    task_.balFollowUp = false;
  }
  for (int16_t i = 0; i < console.ListCount(); ++i) {
    if (!console.flgChanged(i)) continue;
    console.setflgChanged(i, false);
    console.SendE8(i);
    if (i == items_.bal) task_.balFollowUp = true;
    if (seq.OpRunning()) return false;
    if (task_.balFollowUp) {
      if (sendBalanceFollowUp()) return false;
      task_.balFollowUp = false;
    }
  }
  return true;
}

// Sends the next copy that differs from the balance row; false when none does.
bool clsIndOp_RigVela::sendBalanceFollowUp() {
  clsConsole& console = Globals::console();
  clsCmcEeprom& image = Globals::radio().eepImage();
  const int16_t v = console.Value(items_.bal);
  const auto byte = static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF);
  if (v != image.ReadByte(kBalCopy1Address)) {
    sendE8(kBalCopy1Command, v);
    image.WriteByte(kBalCopy1Address, byte);
    return true;
  }
  if (v != image.ReadByte(kBalCopy2Address)) {
    sendE8(kBalCopy2Command, v);
    image.WriteByte(kBalCopy2Address, byte);
    return true;
  }
  return false;
}

void clsIndOp_RigVela::RigVelaOp_EnterService() {
  clsConsole& console = Globals::console();
  for (int16_t i = 0; i < console.ListCount(); ++i) {
    if (console.flgEnterOn(i) && console.Event_Enter(i) >= 0) {
      console.setflgEnterOn(i, false);
      console.EnterExec(i);
      return;
    }
  }
}
