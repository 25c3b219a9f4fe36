// The session's files: the backup written right after the clone read, the report
// when the session ends. The parameter text is the one "Disp para" shows.
#include <algorithm>
#include <string>
#include <vector>

#include "Globals.h"
#include "SessionRecorder.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"

namespace {

std::string shownText(clsIndEep_RigVela& eep) {
  std::string text = eep.RigVelaEep_DispPara();
  std::erase(text, '\r');
  return text;
}

}  // namespace

void clsIndOp_RigVela::RigVelaOp_BeginSession() {
  clsConsole& console = Globals::console();
  std::vector<int16_t> rows;
  for (int16_t i = 0; i < console.ListCount(); ++i) rows.push_back(console.Value(i));
  clsCmcRadio& radio = Globals::radio();
  Globals::sessionRecorder().beginSession(radio.eepImage().bytes(), radio.radionameS(), shownText(eep_), rows);
}

void clsIndOp_RigVela::RigVelaOp_EndSession() {
  SessionRecorder& recorder = Globals::sessionRecorder();
  if (recorder.sessionActive()) recorder.endSession(shownText(eep_));
}
