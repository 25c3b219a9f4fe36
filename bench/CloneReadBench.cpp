// A whole clone read by the utility against ravlen-sim on a pseudo-terminal, with
// the real timer and receive events. Prints wall time over wire time and the CPU
// time the utility spent, at 9600 and 38400 baud.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <memory>

#include "Globals.h"
#include "ProfileFile.h"
#include "QtSerialControl.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "frmCom.h"
#include "start.h"

namespace {

// Counts the bytes the utility takes off the line.
class CountingControl : public QtSerialControl {
 public:
  Bytes Input() override {
    Bytes b = QtSerialControl::Input();
    received += b.size();
    return b;
  }
  size_t received = 0;
};

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool measure(int baud) {
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
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
  if (!start::Main()) return false;
  ProfileFile::WriteString(Globals::com().profMain().GetMyProfile(), "PORTS", "COM1", tty);

  const double cpu0 = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  Globals::seq().easyCloneRead();
  // The event loop runs as the utility's does; a light timer notices the end.
  QEventLoop loop;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!Globals::seq().OpRunning() || wall.elapsed() > 600000) loop.quit();
  });
  watch.start(20);
  loop.exec();
  const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  const double cpu = cpuSeconds() - cpu0;
  const bool ok = !Globals::seq().OpRunning() && Globals::seq().error() == 0 &&
                  Globals::com().lnk3D().lastError() == 0 && Globals::com().lnk3D().lastEeAdr() == 32111;
  const double wire = static_cast<double>(control->received) * 10.0 / baud;
  std::printf("%6d baud: %s, %zu bytes received, wall %.2f s, wire %.2f s, wall/wire %.4f, utility CPU %.3f s\n",
              baud, ok ? "read complete" : "READ FAILED", control->received, seconds, wire, seconds / wire, cpu);

  Globals::tearDown();
  start::ReleaseInstanceLock();
  sim.terminate();
  sim.waitForFinished(5000);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  std::vector<int> bauds;
  for (int i = 1; i < argc; ++i) bauds.push_back(std::atoi(argv[i]));
  if (bauds.empty()) bauds = {9600, 38400};
  bool ok = true;
  for (int baud : bauds) ok = measure(baud) && ok;
  return ok ? 0 : 1;
}
