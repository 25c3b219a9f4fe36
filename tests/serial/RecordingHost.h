#pragma once
// Counts what the tick asks of the window side; optionally re-enters the tick from
// the error report, as a modal message box's event loop would.
#include <functional>

#include "ComHost.h"
#include "frmCom.h"

class RecordingHost : public ComHost {
 public:
  void task() override { ++tasks; }
  void ReportError() override {
    ++reports;
    if (reenter) reenter();
    if (com != nullptr && resetOnReport) com->Reset();
  }
  void saveData(clsCmcProfileIO&) override {}
  void loadData(clsCmcProfileIO&) override {}

  frmCom* com = nullptr;  // reset at each report when set, as the window does
  std::function<void()> reenter;
  bool resetOnReport = true;
  int tasks = 0;
  int reports = 0;
};
