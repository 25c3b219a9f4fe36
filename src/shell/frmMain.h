#pragma once
// The utility's window: the console list, the reading lists, the parameter text,
// the labels, three buttons in four frames, the File and Option menus, the console
// keys, the per-tick refresh and the one message box for a failed link operation.
#include <QLabel>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <string>

class QAction;

class QListWidget;
class QPlainTextEdit;
class QPushButton;
class clsCmcLnk3Sequence;
class clsCmcProfileIO;
class WayBackMenus;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  // System colour indexes the window uses.
  enum SystemColour : int16_t { Shadow = 16, GrayText = 17, ButtonText = 18, Highlight = 20 };

  frmMain();
  ~frmMain() override;
  // Run once the window is reachable as the global main window: sets the port
  // (which creates the model) and the release time.
  void Form_Initialize();

  int16_t ComPortNo() const { return comPortNo_; }
  void setComPortNo(int16_t portNo);
  int16_t ComAutoRelease() const { return comAutoRelease_; }
  void setComAutoRelease(int16_t seconds);

  void task();
  void MsgBoxCloneErr(clsCmcLnk3Sequence& seq);
  // Why the current port's device cannot be opened, for the message's details.
  static std::string PortTroubleDetails();
  void saveData(clsCmcProfileIO& profile);
  void loadData(clsCmcProfileIO& profile);

  void mnuOptSelCom_Click(int16_t index);
  void mnuOptPortSettings_Click();
  void mnuOptionSelAutoRelease_Click(int16_t index);
  void mnuFileExit_Click();
  void cmd00_Click(int16_t index);

  // The message for a failed operation; empty never happens.
  static std::string CloneErrorText(bool cannotOpen, bool overflow, int16_t portNo, int16_t lastError,
                                    int16_t seqError);
  // A number as text with a leading blank standing for its sign.
  static std::string SignedNumberText(int32_t n);
  // The caption revealed by the hidden key sequence, from its stored form.
  static QString DecodeHiddenText(const QString& stored);
  QColor SystemColor(int16_t index) const;

  QListWidget& lboConsole() { return *lboConsole_; }
  QListWidget& lbo01(int16_t index) { return *lbo01_.at(static_cast<size_t>(index)); }
  QPlainTextEdit& txtDispPara() { return *txtDispPara_; }
  QLabel& lblTitle() { return *lblTitle_; }
  QLabel& lblProgress() { return *lblProgress_; }
  QLabel& lblComBusy() { return *lblComBusy_; }
  QPushButton& cmd00(int16_t index) { return *cmd00_.at(static_cast<size_t>(index)); }
  QWidget& fra01(int16_t index) { return *fra01_.at(static_cast<size_t>(index)); }
  QWidget& linSepa(int16_t index) { return *linSepa_.at(static_cast<size_t>(index)); }
  QAction& mnuOptSelCom(int16_t index) { return *mnuOptSelCom_.at(static_cast<size_t>(index)); }
  QAction& mnuOptionSelAutoRelease(int16_t index) {
    return *mnuOptionSelAutoRelease_.at(static_cast<size_t>(index));
  }
  QAction& mnuFileExit() { return *mnuFileExit_; }
  QAction& mnuOptPortSettings() { return *mnuOptPortSettings_; }
  WayBackMenus& wayBackMenus() { return *wayBackMenus_; }
  const QString& keyBuffer() const { return keyBuffer_; }
  // The button Escape presses; -1 for none.
  void setCancelButton(int16_t index) { cancelButton_ = index; }
  int16_t cancelButton() const { return cancelButton_; }

  // The area below the menu bar, in pixels, as laid out now.
  QSize innerSize();
  // Places the window with its frame: outer pixels on the screen.
  void setOuterGeometry(const QRect& outer);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload();
  void Form_Unload();
  void Form_KeyDown(int key);
  bool lboConsole_KeyDown(int key, Qt::KeyboardModifiers shift);
  void lboConsole_GotFocus();
  void cmd00_KeyPress(const QString& typed);
  bool isFirstReceiver(const QObject* watched) const;
  static bool isEnterKey(int key);
  bool pressButtonFor(const QObject* focused);
  void buildControls();
  void buildFrames(QWidget* central);
  void buildMenus();
  void sizeLabels();
  void refreshMenuChecks();
  void refreshPortLabel();

  int16_t comPortNo_ = 0;
  int16_t comAutoRelease_ = 0;
  bool loaded_ = false;
  int16_t cancelButton_ = -1;
  QString keyBuffer_;
  QListWidget* lboConsole_ = nullptr;
  std::array<QListWidget*, 2> lbo01_{};
  QPlainTextEdit* txtDispPara_ = nullptr;
  QLabel* lblTitle_ = nullptr;
  QLabel* lblProgress_ = nullptr;
  QLabel* lblComBusy_ = nullptr;
  std::array<QPushButton*, 3> cmd00_{};
  std::array<QWidget*, 4> fra01_{};
  std::array<QWidget*, 2> linSepa_{};
  std::array<QAction*, 5> mnuOptSelCom_{};  // 1 to 4
  std::array<QAction*, 6> mnuOptionSelAutoRelease_{};
  QAction* mnuOptPortSettings_ = nullptr;
  QAction* mnuFileExit_ = nullptr;
  WayBackMenus* wayBackMenus_ = nullptr;
};
