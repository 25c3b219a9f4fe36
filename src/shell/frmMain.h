#pragma once
// The utility's window: title, port label, the File and Option menus, the per-tick
// refresh and the one message box that reports a failed link operation.
#include <QLabel>
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <string>

class QAction;
class clsCmcLnk3Sequence;
class clsCmcProfileIO;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  frmMain();

  int16_t ComPortNo() const { return comPortNo_; }
  void setComPortNo(int16_t portNo);
  int16_t ComAutoRelease() const { return comAutoRelease_; }
  void setComAutoRelease(int16_t seconds);

  void task();
  void MsgBoxCloneErr(clsCmcLnk3Sequence& seq);
  void saveData(clsCmcProfileIO& profile);
  void loadData(clsCmcProfileIO& profile);

  void mnuOptSelCom_Click(int16_t index);
  void mnuOptionSelAutoRelease_Click(int16_t index);
  void mnuFileExit_Click();

  // The message for a failed operation; empty never happens.
  static std::string CloneErrorText(bool cannotOpen, bool overflow, int16_t portNo, int16_t lastError,
                                    int16_t seqError);
  // A number as text with a leading blank standing for its sign.
  static std::string SignedNumberText(int32_t n);

  QLabel& lblTitle() { return lblTitle_; }
  QLabel& lblComBusy() { return lblComBusy_; }
  QAction& mnuOptSelCom(int16_t index) { return *mnuOptSelCom_.at(static_cast<size_t>(index)); }
  QAction& mnuOptionSelAutoRelease(int16_t index) {
    return *mnuOptionSelAutoRelease_.at(static_cast<size_t>(index));
  }
  QAction& mnuFileExit() { return *mnuFileExit_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Form_Initialize();
  void Form_Load();
  void Form_QueryUnload();
  void Form_Unload();
  void buildMenus();
  void refreshMenuChecks();
  void refreshPortLabel();

  int16_t comPortNo_ = 0;
  int16_t comAutoRelease_ = 0;
  bool loaded_ = false;
  QLabel lblTitle_;
  QLabel lblComBusy_;
  std::array<QAction*, 5> mnuOptSelCom_{};  // 1 to 4
  std::array<QAction*, 6> mnuOptionSelAutoRelease_{};
  QAction* mnuFileExit_ = nullptr;
};
