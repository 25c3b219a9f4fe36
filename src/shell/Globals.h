#pragma once
// The program-wide objects, each created at its first use and kept until main (or a
// test) tears them all down, always before the application object goes.
#include <functional>
#include <memory>

class SerialControl;
class clsCmcRadio;
class frmCom;
class clsCmcLnk3Sequence;
class clsIndOp_RigVela;
class clsConsole;
class frmMain;
class SessionRecorder;

class Globals {
 public:
  using SerialFactory = std::function<std::unique_ptr<SerialControl>()>;

  static clsCmcRadio& radio();
  static frmCom& com();
  static clsCmcLnk3Sequence& seq();
  static clsIndOp_RigVela& model();
  static clsConsole& console();
  static frmMain& mainWindow();
  static SessionRecorder& sessionRecorder();

  static bool comExists();
  static bool mainWindowExists();
  static bool anyExists();

  // The serial control the next frmCom gets; empty restores the device control.
  static void setSerialFactory(SerialFactory factory);
  static void tearDown();
};
