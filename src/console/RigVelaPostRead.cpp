// After a good clone read: the identification kept for the answers, the common
// block, the "Mid" re-pointing, every row loaded from the image, the channel list.
#include <algorithm>

#include "Common.h"
#include "Globals.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

namespace {

constexpr int32_t kMidBalAddress = 113;
constexpr int16_t kMidBalCommand = 0x12;
constexpr int32_t kMidModWAddress = 112;
constexpr int16_t kMidModWCommand = 0x0E;
constexpr int32_t kLvRxTargetAddress = 174;
constexpr int32_t kLvTxTargetAddress = 175;
constexpr int32_t kMaxChannels = 40;

}  // namespace

void clsIndOp_RigVela::RigVelaOp_PostReadSetup() {
  clsCmcRadio& radio = Globals::radio();
  clsConsole& console = Globals::console();
  task_.idBytes = Common::HexStrToBin(radio.radioNameM() + radio.radionameS());
  eep_.RigVelaEep_SetCommonAddress(RigVelaFunc_Obj_Address(clsIndPtbl_RigVela::ObjCommon));

  task_.midFlag = eep_.RigVelaEep_GetMid();
  if (task_.midFlag) {
    console.setEeAdr(items_.bal, kMidBalAddress);
    console.setE8Command(items_.bal, kMidBalCommand);
    console.setEeAdr(items_.modW, kMidModWAddress);
    console.setE8Command(items_.modW, kMidModWCommand);
  }

  const clsCmcEeprom& image = radio.eepImage();
  for (int16_t i = 0; i < console.ListCount(); ++i) {
    console.ReadFromEe(i);
    if (i == items_.lvRxLva) console.setValue(i, image.ReadByte(kLvRxTargetAddress));
    if (i == items_.lvTxLva) console.setValue(i, image.ReadByte(kLvTxTargetAddress));
    console.setflgChanged(i, true);
  }
  task_.reloadRequest = true;
  wayBack_.takeReadImage(image.bytes());

  task_.chBlockAdr = RigVelaFunc_Obj_Address(clsIndPtbl_RigVela::ObjChannels);
  task_.chBlock2Adr = RigVelaFunc_Obj_Address(clsIndPtbl_RigVela::ObjChannelBlock2);
  task_.chStartAdr = task_.chBlockAdr;
  task_.chFreqAdr = task_.chBlockAdr + 4;
  listChannels();
  RigVelaOp_BeginSession();
}

// The channels that appear, at most the first 40 records; channel 0 when none does.
void clsIndOp_RigVela::listChannels() {
  clsConsole& console = Globals::console();
  const int32_t count = std::min(RigVelaFunc_Obj_Number(clsIndPtbl_RigVela::ObjChannels), kMaxChannels);
  task_.chList.fill(0);
  int16_t k = 0;
  for (int16_t c = 0; c < count; ++c) {
    if (eep_.RigVelaEep_GetChAppear(task_.chStartAdr, c)) task_.chList[static_cast<size_t>(k++)] = c;
  }
  if (k == 0) k = 1;
  console.setMax(items_.chNo, static_cast<int16_t>(k - 1));
  console.setValue(items_.chNo, console.Min(items_.chNo));
  console.setflgChanged(items_.chNo, true);
}
