// The model's own rows: the channel line, the procedure prompts and the LV targets
// (Disp), the channel selection (SendE8) and the start of a procedure (Enter).
#include <algorithm>

#include "Globals.h"
#include "NumberFormat.h"
#include "clsCmcLnk3Sequence.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

namespace {

constexpr const char* kInhibit = "Inhibit   ";
constexpr const char* kSameAsRx = "  <-      ";
constexpr const char* kFreqPattern = "###0.#####0";

bool between(int16_t v, int16_t lo, int16_t hi) { return v >= lo && v <= hi; }
bool rssiRuns(int16_t code) { return between(code, 6, 8); }
bool bpfRuns(int16_t code) { return between(code, 12, 16); }
bool lvaRuns(int16_t code) { return between(code, 17, 26); }

std::string megahertz(int32_t hz) { return NumberFormat::Format(hz / 1e6, kFreqPattern); }

std::string lastChars(const std::string& text, size_t n) {
  return text.size() > n ? text.substr(text.size() - n) : text;
}

}  // namespace

std::string clsIndOp_RigVela::ConsEv_Disp(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) {
  const std::string& title = objConsole.Title(Index);
  const auto k = static_cast<size_t>(std::clamp(Index - (evNo == 3 ? items_.bpfT1 : items_.rxLva), 0, 2));
  switch (evNo) {
    case 0:
      return channelLine(objConsole, Index, val);
    case 2:
      if (bpfRuns(auto_.autoCode) && Index == auto_.bpfItem) return title + ": Sweeping";
      return title + ": [Enter] to Sweep";
    case 3:
      if (bpfRuns(auto_.autoCode)) return objConsole.DefaultString(Index) + (auto_.bpfSel[k] ? " Sweeping" : "");
      return objConsole.DefaultString(Index) + " [Enter] to Sweep";
    case 4:
      if (rssiRuns(auto_.autoCode)) return title + (auto_.rssiSecondStage ? ": RSSI S1 Level " : ": RSSI S3 Level ");
      return title + ": [Enter] to Start";
    case 6:
      if (lvaRuns(auto_.autoCode)) return objConsole.DefaultString(Index) + (auto_.lvaSel[k] ? " Sweeping" : "");
      return objConsole.DefaultString(Index) + " [Enter] to Sweep" + (auto_.lvaFailed[k] ? " (Auto Adjust Failed)" : "");
    case 7: {
      const std::string volts = NumberFormat::Format(objConsole.Value(Index) * 5.0 / 255, "##0.#0V");
      return objConsole.DefaultString(Index) + lastChars(": [" + volts, 7) + "]";
    }
    default:
      return "???";
  }
}

std::string clsIndOp_RigVela::channelLine(clsConsole& console, int16_t Index, int16_t val) {
  const int16_t c = task_.chList[static_cast<size_t>(std::clamp<int16_t>(val, 0, RigVelaTaskState::ChListEntries - 1))];
  const int64_t record = int64_t{c} * RigVelaFunc_Obj_Size(clsIndPtbl_RigVela::ObjChannels);
  std::string name = eep_.RigVelaEep_GetChName(c);
  name.erase(0, name.find_first_not_of(' '));
  if (c + 1 < 10) name = "0" + name;

  std::string text = console.Title(Index) + ": " + name + " RX = ";
  const bool rxInhibit = eep_.Check_Inh(record + task_.chStartAdr);
  const int32_t rx = eep_.RigVelaEep_GetChFreqRxReal(task_.chStartAdr, c);
  text += rxInhibit ? kInhibit : megahertz(rx);
  text += ", TX = ";
  if (eep_.Check_Inh(record + task_.chFreqAdr)) {
    text += kInhibit;
  } else {
    const int32_t tx = eep_.RigVelaEep_GetChFreqTxReal(task_.chFreqAdr, c);
    text += (!rxInhibit && tx == rx) ? kSameAsRx : megahertz(tx);
  }
  text += "  RF Power: ";
  text += eep_.RigVelaEep_GetChRFPower(task_.chBlock2Adr, c) != 0 ? "Low" : "High";
  text += "  Mode:";
  text += eep_.RigVelaEep_GetChModeCB(task_.chBlock2Adr, c) ? " CB" : " Private";
  return text;
}

void clsIndOp_RigVela::ConsEv_SendE8(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) {
  if (evNo != 0) return;
  const int16_t c = task_.chList[static_cast<size_t>(std::clamp<int16_t>(val, 0, RigVelaTaskState::ChListEntries - 1))];
  Globals::seq().easySendE8NoAnswer(clsConsole::E8Text(objConsole.E8Command(Index), static_cast<int16_t>(c + 1)));
  task_.curChannel = c;
}

// A procedure that starts is shown on all its rows at once, not only on the row
// whose Enter started it.
void clsIndOp_RigVela::ConsEv_Enter(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t) {
  const int16_t before = auto_.autoCode;
  switch (evNo) {
    case 1:
      if (rssiRuns(auto_.autoCode)) {
        auto_.rssiCaptureReq = true;
      } else {
        RigVelaOp_AutoReset();
        auto_.rssiSecondStage = false;
        auto_.autoCode = 6;
      }
      break;
    case 3:
    case 4:
    case 7:
      if (bpfRuns(auto_.autoCode)) break;
      auto_.bpfSel[0] = evNo == 7 || evNo == 3;
      auto_.bpfSel[1] = evNo == 7 || evNo == 4;
      auto_.bpfAll = evNo == 7;
      auto_.bpfItem = Index;
      RigVelaOp_AutoReset();
      auto_.autoCode = 12;
      break;
    case 8:
    case 9:
      if (lvaRuns(auto_.autoCode)) break;
      auto_.lvaSel[0] = evNo == 8;
      auto_.lvaSel[1] = evNo == 9;
      auto_.lvaItem = Index;
      RigVelaOp_AutoReset();
      auto_.autoCode = 17;
      break;
    default:
      break;
  }
  if (auto_.autoCode != before) {
    if (auto_.autoCode != 0) wayBack_.procedureStarted();
    for (int16_t i = 0; i < objConsole.ListCount(); ++i) objConsole.Disp(i);
  }
}
