// A 256-point filter sweep (BPF T1) by the whole utility against the virtual
// transceiver through the loopback, on a stepped clock, with the event loop run
// after every tick so that an open window paints. Prints the utility's CPU time
// for the sweep with the Curves window closed and open (median of several runs).
// With --screenshot FILE it runs one sweep with the window open and saves the
// window as drawn (run it under Xvfb for the screenshot of the guide).
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Common.h"
#include "CurvesWindow.h"
#include "FakeClock.h"
#include "Globals.h"
#include "LoopbackSerialControl.h"
#include "RigVelaProceduresBeep.h"
#include "VirtualTransceiver.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

constexpr int16_t kBpfT1Row = 10;
constexpr int kRuns = 11;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One sweep from a fresh start; the CPU seconds of the sweep alone, or -1.
double sweepCpu(bool windowOpen, const char* screenshot = nullptr) {
  QTemporaryDir config, runtime, data;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  qputenv("XDG_DATA_HOME", data.path().toUtf8());
  FakeClock clock;
  VirtualTransceiver rig;
  LoopbackSerialControl* serial = nullptr;
  Globals::tearDown();
  Globals::setSerialFactory([&] {
    auto c = std::make_unique<LoopbackSerialControl>(rig, [&clock] { return clock.now(); });
    serial = c.get();
    return c;
  });
  double result = -1;
  if (start::Main()) {
    Globals::com().timSolid().stop();
    auto tick = [&] {
      clock.advance(50);
      serial->Poll();
      Globals::com().timSolid_Timer();
      QCoreApplication::processEvents();
    };
    clsIndOp_RigVela& model = Globals::model();
    Globals::mainWindow().cmd00(0).click();
    for (int t = 0; t < 600000 && !model.RigVelaProp_EditEnabled(); t += 50) tick();
    for (int t = 0; t < 5000; t += 50) tick();
    if (windowOpen) Globals::mainWindow().findChild<QAction*>("mnuOptionCurves")->trigger();
    for (int t = 0; t < 500; t += 50) tick();
    const double cpu0 = cpuSeconds();
    QListWidget& list = Globals::mainWindow().lboConsole();
    list.setCurrentRow(kBpfT1Row);
    QTest::keyClick(&list, Qt::Key_Return);
    for (int t = 0; t < 5000 && model.autoState().autoCode == 0; t += 50) tick();
    for (int t = 0; t < 600000 && model.autoState().autoCode != 0; t += 50) tick();
    if (model.autoState().autoCode == 0) result = cpuSeconds() - cpu0;
    if (auto* window = Globals::mainWindow().findChild<CurvesWindow*>(); window && screenshot) {
      for (int t = 0; t < 1000; t += 50) tick();
      if (!window->grab().save(screenshot)) result = -1;
    }
  }
  Globals::tearDown();
  Globals::setSerialFactory({});
  start::ReleaseInstanceLock();
  return result;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Common::SetMsgBoxHandler([](const std::string&) { return Common::ButtonOk; });
  RigVelaProceduresBeep::SetBeepHandler([] {});
  if (argc == 3 && std::string(argv[1]) == "--screenshot") return sweepCpu(true, argv[2]) < 0 ? 1 : 0;
  std::vector<double> closed, open;
  for (int i = 0; i < kRuns; ++i) {
    closed.push_back(sweepCpu(false));
    open.push_back(sweepCpu(true));
    if (closed.back() < 0 || open.back() < 0) {
      std::fprintf(stderr, "the sweep did not end\n");
      return 1;
    }
  }
  const double c = median(closed), o = median(open);
  std::printf("256-point sweep, CPU of the utility (median of %d runs):\n", kRuns);
  std::printf("  Curves window closed: %7.2f ms\n", c * 1000);
  std::printf("  Curves window open:   %7.2f ms  (%+.1f %%)\n", o * 1000, (o - c) / c * 100);
  return 0;
}
