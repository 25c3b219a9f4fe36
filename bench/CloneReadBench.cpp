// A whole clone read by the utility against ravlen-sim on a pseudo-terminal, with
// the real timer and receive events, started as the technician does ("Connect")
// with the window and its progress bar live. Prints wall time over wire time, the
// utility's CPU time and its share of the wall time, the times it woke up and the
// receive events per frame received, at 9600 and 38400 baud, and for a 256-point BPF
// T1 sweep started from the list afterwards its wall time over wire time, the time
// before its points go one after the other, and the time of a point; then
// the time from process start to the window shown and the peak resident size.
// The utility opens its port at 9600 whatever the line: at 38400 only the sim's
// pacing is faster, and the utility reckons its line times for 9600.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <fstream>
#include <functional>
#include <utility>
#include <sstream>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <memory>

#include "FrameCodec.h"
#include "Globals.h"
#include "ProfileFile.h"
#include "QtSerialControl.h"
#include "RunUntil.h"
#include "RigVelaProceduresBeep.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "frmMain.h"
#include "start.h"

namespace {

// An adjustment frame (E8) whose command is the BPF T1 row's (13), with its value last.
bool isBpfT1Value(const Bytes& frame) {
  const Bytes body = FrameCodec::bodyOf(frame);
  return body.size() >= 10 && body[2] == 0xE8 && body[body.size() - 3] == 0x13;
}

// Counts the bytes and frames (their FD) the utility takes off the line during the
// clone read, and the receive events that brought them.
class CountingControl : public QtSerialControl {
 public:
  Bytes Input() override {
    Bytes b = QtSerialControl::Input();
    if (counting) {
      received += b.size();
      frames += static_cast<size_t>(std::count(b.begin(), b.end(), uint8_t{0xFD}));
    }
    return b;
  }
  void Output(const Bytes& bytes) override {
    if (onFirstSendAfterRead && Globals::model().opState() > 2) onFirstSendAfterRead();
    if (sweepClock.isValid() && isBpfT1Value(bytes)) bpfT1Sends.push_back(sweepClock.nsecsElapsed());
    QtSerialControl::Output(bytes);
  }
  // Counts the receive events from here on.
  void countReceiveEvents() {
    std::function<void(int16_t)> inner = OnComm;
    OnComm = [this, inner](int16_t e) {
      if (e == comEvReceive) ++receiveEvents;
      if (inner) inner(e);
    };
  }
  bool counting = true;
  size_t received = 0;
  size_t frames = 0;
  size_t receiveEvents = 0;
  std::function<void()> onFirstSendAfterRead;
  QElapsedTimer sweepClock;
  std::vector<qint64> bpfT1Sends;  // since sweepClock started
};

struct Usage {
  double cpu = 0;
  long wakeUps = 0;  // times the process gave up the processor to wait
};

Usage usage() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return {static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
              static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6,
          u.ru_nvcsw};
}

// Seconds since this process started (resolution: one clock tick).
double secondsSinceProcessStart() {
  std::ifstream statFile("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  double uptime = 0;
  std::ifstream("/proc/uptime") >> uptime;
  return uptime - std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Runs the event loop until the main window is on the screen.
void waitUntilShown() {
  QWindow* window = Globals::mainWindow().windowHandle();
  QElapsedTimer limit;
  limit.start();
  while ((window == nullptr || !window->isExposed()) && limit.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    window = Globals::mainWindow().windowHandle();
  }
}

// A BPF T1 sweep, started with Enter on its row once the service cycle runs.
bool measureSweep(CountingControl& control, int baud) {
  clsIndOp_RigVela& model = Globals::model();
  if (!runUntil([&] { return model.RigVelaProp_EditEnabled() && !Globals::seq().OpRunning(); }, 60000, 20)) return false;
  runUntil([] { return false; }, 1000, 20);  // the cycle settles
  control.received = 0;
  control.counting = true;
  QListWidget& list = Globals::mainWindow().lboConsole();
  list.setCurrentRow(10);
  control.bpfT1Sends.clear();
  control.sweepClock.start();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&list, &enter);
  const bool ended = runUntil([&] { return model.autoState().autoCode != 0; }, 5000, 20) &&
                     runUntil([&] { return model.autoState().autoCode == 0; }, 600000, 20);
  const double seconds = static_cast<double>(control.sweepClock.nsecsElapsed()) / 1e9;
  control.sweepClock.invalidate();
  const double wire = static_cast<double>(control.received) * 10.0 / baud;
  std::printf("%6d baud: BPF T1 sweep %s, %zu bytes, wall %.2f s, wire %.2f s, wall/wire %.3f\n", baud,
              ended ? "ended" : "DID NOT END", control.received, seconds, wire, seconds / wire);
  // Sent: the row parked at 0, the 256 points, the result. The first point waits its
  // pause; the others go at once, each an E8, its echo, an A/D read, echo and answer.
  const std::vector<qint64>& at = control.bpfT1Sends;
  if (ended && at.size() >= 257) {
    const double pointMs = static_cast<double>(at[256] - at[2]) / 1e6 / 254;
    const double lineMs = 3 * 13 * 10.0 * 1000 / baud;
    std::printf("%6d baud: Enter to the second point %.0f ms; then %.2f ms a point against %.2f ms on the line, "
                "%.3f\n", baud, static_cast<double>(at[2]) / 1e6, pointMs, lineMs, pointMs / lineMs);
  }
  return ended;
}

bool firstRun = true;

std::string tracePath;

bool measure(int baud) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_DATA_HOME", config.path().toUtf8());  // the session's backup
  QProcess sim;
  sim.start(RAVLEN_SIM_PROGRAM, {"--baud", QString::number(baud)});
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return false;
  const std::string tty = sim.readLine().trimmed().toStdString();

  CountingControl* control = nullptr;
  Globals::setSerialFactory([&control] {
    auto c = std::make_unique<CountingControl>();
    control = c.get();
    return c;
  });
  if (firstRun) {
    // Start-up as the program's own: the single-instance check, the port form, the window.
    if (!start::Main()) return false;
    waitUntilShown();
    std::printf("process start to window shown: %.0f ms\n", secondsSinceProcessStart() * 1000);
    firstRun = false;
  } else if (!start::Main()) {
    return false;
  }
  ProfileFile::WriteString(Globals::com().profMain().GetMyProfile(), "PORTS", "COM1", tty);
  std::string traceError;
  if (!tracePath.empty() && !Globals::com().trace().open(tracePath, traceError)) {
    std::printf("cannot trace to %s\n", traceError.c_str());
    return false;
  }
  waitUntilShown();

  control->countReceiveEvents();
  const Usage before = usage();
  QElapsedTimer wall;
  wall.start();
  clsIndOp_RigVela& model = Globals::model();
  model.RigOpFunc_ClickCmd00(0);
  // The event loop runs as the utility's does. The read ends when the model, moved
  // on, sends its first request; a slow timer notices a failed read (the model back
  // to idle) without adding wake-ups of its own to the count.
  QEventLoop loop;
  double seconds = 0;
  Usage after;
  bool ended = false;
  control->onFirstSendAfterRead = [&] {
    if (std::exchange(ended, true)) return;
    seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    after = usage();
    loop.quit();
  };
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if ((model.opState() == 0 || wall.elapsed() > 600000) && !std::exchange(ended, true)) {
      seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
      after = usage();
      loop.quit();
    }
  });
  watch.start(1000);
  loop.exec();
  control->onFirstSendAfterRead = nullptr;
  control->counting = false;
  const double cpu = after.cpu - before.cpu;
  const double frames = static_cast<double>(std::max<size_t>(control->frames, 1));
  // The model moves on only after a good read; its first reading has begun by now.
  const bool ok = model.opState() > 2 && Globals::seq().error() == 0 && Globals::com().lnk3D().lastError() == 0;
  const double wire = static_cast<double>(control->received) * 10.0 / baud;
  std::printf("%6d baud: %s, %zu bytes in %zu frames, wall %.2f s, wire %.2f s, wall/wire %.4f, utility CPU %.3f s "
              "(%.2f %% of a core), wake-ups per frame %.2f, receive events per frame %.2f, bar \"%s\"\n",
              baud, ok ? "read complete" : "READ FAILED", control->received, control->frames, seconds, wire,
              seconds / wire, cpu, 100.0 * cpu / seconds, static_cast<double>(after.wakeUps - before.wakeUps) / frames,
              static_cast<double>(control->receiveEvents) / frames,
              Globals::mainWindow().lblProgress().text().toStdString().c_str());
  const bool swept = ok && measureSweep(*control, baud);

  Globals::tearDown();
  start::ReleaseInstanceLock();
  sim.terminate();
  sim.waitForFinished(5000);
  return swept;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  Common::SetMsgBoxHandler([](const std::string&) { return Common::ButtonOk; });
  RigVelaProceduresBeep::SetBeepHandler([] {});
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  std::vector<int> bauds;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--trace" && i + 1 < argc) {
      tracePath = argv[++i];  // every frame traced, as with ravlen-adj --trace
    } else {
      bauds.push_back(std::atoi(argv[i]));
    }
  }
  if (bauds.empty()) bauds = {9600, 38400};
  bool ok = true;
  for (int baud : bauds) ok = measure(baud) && ok;
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  std::printf("peak resident size: %ld KiB\n", u.ru_maxrss);
  return ok ? 0 : 1;
}
