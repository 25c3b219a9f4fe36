#include "clsIndOp_RigVela.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "Globals.h"
#include "Twips.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "frmMain.h"

namespace {

constexpr int16_t kTempBorder[21] = {0,   16,  24,  32,  40,  48,  64,  80,  96,  112, 128,
                                     144, 160, 176, 192, 208, 216, 224, 232, 240, 255};

}  // namespace

// The lookups and the decoder read the radio's image, which outlives the model.
clsIndOp_RigVela::clsIndOp_RigVela()
    : ptbl_(Globals::radio().eepImage()), eep_(Globals::radio().eepImage(), ptbl_) {}

void clsIndOp_RigVela::Class_Initialize() {
  comPortNo_ = 1;
  RigOpFunc_ResetAll();
  std::copy(std::begin(kTempBorder), std::end(kTempBorder), tempBorder_);
  tempBorder_[21] = 0;
  readings_.adCode = {0, 3, 5, 4, 0, 0};
  readings_.daCode = {16, 17, 18, 19, 12, 13, 14, 11, 15};
  auto_.lvaFailed = {false, false, false};
}

void clsIndOp_RigVela::RigOpFunc_SetComPortNo(int16_t portNo) {
  if (portNo == comPortNo_) return;
  comPortNo_ = portNo;
  RigOpFunc_ResetAll();
}

void clsIndOp_RigVela::RigOpFunc_ResetAll() {
  wayBack_.reset();
  RigVelaOp_EndSession();
  Globals::seq().easyReset(comPortNo_);
  task_.opState = 0;
  task_.stateEntered = true;
  task_.dispParaRequest = false;
  std::fill_n(readings_.adLast.begin(), 5, int16_t{-1});
  std::fill_n(readings_.daLast.begin(), 9, int16_t{-1});
  task_.linkErrorFlag = false;
  // A pause and a failed search belong to the connection that ends here.
  task_.WaitE8Required = 0;
  task_.waitTimer.setcounter(0);
  auto_.lvaFailed = {false, false, false};
  RigOpFunc_FormResource();

  clsConsole& console = Globals::console();
  console.setmyListBox(&Globals::mainWindow().lboConsole());
  console.setmyEventClass(this);
  console.setmyLnk3Seq(&Globals::seq());
  console.setmyEeprom(&Globals::radio().eepImage());
  console.Clear();
  items_ = RigVelaItemTable::Build(console);
  auto_.bpfItem = items_.bpfAll;
  RigVelaOp_AutoReset();
}

void clsIndOp_RigVela::RigVelaOp_AutoReset() {
  wayBack_.procedureEnded();
  auto_.autoCode = 0;
  clsConsole& console = Globals::console();
  console.setWaitAfterE8(items_.bpfT1, 200);
  console.setWaitAfterE8(static_cast<int16_t>(items_.bpfT1 + 1), 200);
  console.setWaitAfterE8(items_.rxLva, 500);
  console.setWaitAfterE8(static_cast<int16_t>(items_.rxLva + 1), 500);
  for (int16_t i = 0; i < console.ListCount(); ++i) {
    console.setflgEnterOn(i, false);
    console.Disp(i);
  }
}

bool clsIndOp_RigVela::RigOpFunc_CheckSubNameLegal(const std::string& nameS) const {
  return nameS.substr(0, 4) <= "0100";
}

int16_t clsIndOp_RigVela::RigVelaOp_Table_Txf_TempBorder(int16_t Index) const {
  if (Index < 0 || Index >= TempBorderEntries) return 0;
  return tempBorder_[Index];
}

void clsIndOp_RigVela::RigOpFunc_FormResource() { layout_.FormResource(Globals::mainWindow()); }

void clsIndOp_RigVela::RigOpFunc_FormLayout() {
  frmMain& w = Globals::mainWindow();
  const QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  const QSize screenPx = screen ? screen->geometry().size() : QSize(1024, 768);
  layout_.FormLayout(w, screenPx, Twips::ForScreen(screen));
}

void clsIndOp_RigVela::RigOpFunc_ClickCmd00(int16_t Index) {
  RigVelaOp_AutoReset();
  switch (Index) {
    case 0:
      RigOpFunc_ResetAll();
      task_.opState = 1;
      task_.stateEntered = true;
      break;
    case 1:
      if (RigVelaProp_EditEnabled()) task_.reloadRequest = true;
      break;
    case 2:
      if (RigVelaProp_EditEnabled()) {
        task_.dispParaRequest = true;
      } else if (RigVelaProp_DispPara()) {
        task_.dispParaRequest = false;
      }
      break;
    default:
      break;
  }
}

