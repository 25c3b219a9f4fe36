#include "Globals.h"

#include <iostream>

#include "GlobalBridge.h"
#include "QtSerialControl.h"
#include "SessionRecorder.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"

namespace {

struct Instances {
  Globals::SerialFactory serialFactory;
  GlobalBridge bridge;
  std::unique_ptr<clsCmcRadio> radio;
  std::unique_ptr<frmCom> com;
  std::unique_ptr<clsCmcLnk3Sequence> seq;
  std::unique_ptr<clsIndOp_RigVela> model;
  std::unique_ptr<clsConsole> console;
  std::unique_ptr<frmMain> mainWindow;
  std::unique_ptr<SessionRecorder> sessionRecorder;
};

// Never destroyed by a static destructor: main (or a test) tears the objects down
// while the application object lives.
Instances& instances() {
  static Instances* const all = new Instances;
  return *all;
}

// Said on stderr and kept as the window's tool tip: no message box, no text of the
// window changes.
void noteBackupFailure(const std::string& why) {
  std::cerr << "ravlen-adj: session files not saved: " << why << std::endl;
  if (Globals::mainWindowExists()) {
    Globals::mainWindow().setToolTip(QString::fromStdString("Session files not saved: " + why));
  }
}

std::unique_ptr<SerialControl> makeSerialControl() {
  Instances& all = instances();
  if (all.serialFactory) return all.serialFactory();
  return std::make_unique<QtSerialControl>();
}

}  // namespace

clsCmcRadio& Globals::radio() {
  auto& p = instances().radio;
  if (!p) p = std::make_unique<clsCmcRadio>();
  return *p;
}

frmCom& Globals::com() {
  auto& p = instances().com;
  if (!p) p = std::make_unique<frmCom>(makeSerialControl(), &instances().bridge);
  return *p;
}

clsCmcLnk3Sequence& Globals::seq() {
  auto& p = instances().seq;
  if (!p) p = std::make_unique<clsCmcLnk3Sequence>(com(), radio(), instances().bridge);
  return *p;
}

// The model and the window reach each other while they initialise: each is
// reachable before its initialisation runs.
clsIndOp_RigVela& Globals::model() {
  auto& p = instances().model;
  if (!p) {
    p = std::make_unique<clsIndOp_RigVela>();
    p->Class_Initialize();
  }
  return *p;
}

clsConsole& Globals::console() {
  auto& p = instances().console;
  if (!p) {
    p = std::make_unique<clsConsole>();
    p->OnSendE8 = [](int16_t Index) {
      if (instances().model) {
        instances().model->wayBack().rowSent(Index);
        return;
      }
      const clsConsole& c = console();
      sessionRecorder().noteSent(Index, c.Title(Index), c.Value(Index));
    };
  }
  return *p;
}

frmMain& Globals::mainWindow() {
  auto& p = instances().mainWindow;
  if (!p) {
    p = std::make_unique<frmMain>();
    p->Form_Initialize();
  }
  return *p;
}

SessionRecorder& Globals::sessionRecorder() {
  auto& p = instances().sessionRecorder;
  if (!p) {
    p = std::make_unique<SessionRecorder>();
    p->OnWriteFailure = [](const std::string& why) { noteBackupFailure(why); };
  }
  return *p;
}

bool Globals::comExists() { return instances().com != nullptr; }

bool Globals::mainWindowExists() { return instances().mainWindow != nullptr; }

bool Globals::anyExists() {
  const Instances& all = instances();
  return all.radio || all.com || all.seq || all.model || all.console || all.mainWindow;
}

void Globals::setSerialFactory(SerialFactory factory) { instances().serialFactory = std::move(factory); }

void Globals::tearDown() {
  Instances& all = instances();
  all.console.reset();
  all.mainWindow.reset();
  all.model.reset();
  all.seq.reset();
  all.com.reset();
  all.radio.reset();
  all.sessionRecorder.reset();
}
