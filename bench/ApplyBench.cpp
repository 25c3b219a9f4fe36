// Ten rows of a backup applied by the utility against ravlen-sim on a
// pseudo-terminal at 9600 baud, with the real timer and receive events. Prints the
// time from the start of the apply to its end against the sum of the rows' frame
// times and pauses.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <memory>

#include "Globals.h"
#include "ProfileFile.h"
#include "QtSerialControl.h"
#include "RunUntil.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"
#include "start.h"

namespace {

constexpr int kBaud = 9600;
constexpr int kFrameBytes = 13;  // FE FE EE EF E8, model and sub code, command, two digits, FD
constexpr int kRows[] = {1, 2, 3, 5, 6, 7, 8, 10, 11, 12};

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  QTemporaryDir home;
  for (const char* v : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) qputenv(v, home.path().toUtf8());
  QProcess sim;
  sim.start(RAVLEN_SIM_PROGRAM, {"--baud", QString::number(kBaud)});
  if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) return 1;
  const std::string tty = sim.readLine().trimmed().toStdString();
  Globals::setSerialFactory([] { return std::make_unique<QtSerialControl>(); });
  if (!start::Main()) return 1;
  ProfileFile::WriteString(Globals::com().profMain().GetMyProfile(), "PORTS", "COM1", tty);

  clsIndOp_RigVela& model = Globals::model();
  model.RigOpFunc_ClickCmd00(0);
  const bool connected = runUntil([&] {
    return model.RigVelaProp_EditEnabled() && !model.taskState().reloadThisCycle && !Globals::seq().OpRunning();
  }, 120000);
  runUntil([] { return false; }, 2000);  // the cycle settles
  if (!connected) {
    std::printf("CONNECT FAILED\n");
    Globals::tearDown();
    return 1;
  }

  // The backup: the memory now with each row's byte one higher.
  clsConsole& console = Globals::console();
  std::vector<uint8_t> backup = Globals::radio().eepImage().bytes();
  double expectedMs = 0;
  for (int row : kRows) {
    const auto r = static_cast<int16_t>(row);
    auto& b = backup[static_cast<size_t>(console.EeAdr(r))];
    b = static_cast<uint8_t>(b == 255 ? 254 : b + 1);
    expectedMs += kFrameBytes * 10.0 * 1000 / kBaud + console.WaitAfterE8(r);
  }
  const std::string path = home.filePath("backup.img").toStdString();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(backup.data()),
                                               static_cast<std::streamsize>(backup.size()));
  std::string error;
  RigVelaWayBack& back = model.wayBack();
  const auto preview = back.previewBackup(path, error);
  if (!preview || preview->rows.size() != std::size(kRows)) {
    std::printf("PREVIEW FAILED: %s\n", error.c_str());
    Globals::tearDown();
    return 1;
  }

  QElapsedTimer wall;
  wall.start();
  back.startPlan(preview->rows, "from backup.img");
  const bool done = runUntil([&] { return !back.busy(); }, 60000);
  const double ms = static_cast<double>(wall.nsecsElapsed()) / 1e6;
  std::printf("10-row apply at %d baud: %s, %d of %d rows sent, %.1f ms; frames and pauses %.1f ms; ratio %.4f\n",
              kBaud, done ? "done" : "NOT DONE", back.planSent(), back.planTotal(), ms, expectedMs, ms / expectedMs);
  const bool allSent = back.planSent() == static_cast<int>(std::size(kRows));
  Globals::tearDown();
  start::ReleaseInstanceLock();
  sim.terminate();
  sim.waitForFinished(5000);
  return done && allSent ? 0 : 1;
}
