#pragma once
// What the port form's tick needs of the window side.
class clsCmcProfileIO;

class ComHost {
 public:
  virtual ~ComHost() = default;

  virtual void task() = 0;
  // Reports a pending port or link error (one message box) and resets the model.
  virtual void ReportError() = 0;
  virtual void saveData(clsCmcProfileIO& profile) = 0;
  virtual void loadData(clsCmcProfileIO& profile) = 0;
};
