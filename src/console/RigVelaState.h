#pragma once
// Plain members of the Selvik model object, grouped by concern: the connection
// task, the live reading tables and the automatic procedures.
#include <array>
#include <cstdint>

struct RigVelaTaskState {
  int16_t opState = 0;
  bool stateEntered = true;
  bool linkErrorFlag = false;
  bool reloadRequest = false;
  bool dispParaRequest = false;
  int32_t WaitE8Required = 0;
};

struct RigVelaReadingTables {
  std::array<int16_t, 6> adCode{};
  std::array<int16_t, 9> daCode{};
  std::array<int16_t, 6> adLast{-1, -1, -1, -1, -1, -1};
  std::array<int16_t, 10> daLast{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

struct RigVelaAutoState {
  int16_t autoCode = 0;
  int16_t bpfItem = -1;
  std::array<bool, 3> lvaFailed{};
  bool rssiCaptureReq = false;
  bool rssiSecondStage = false;
  std::array<bool, 3> bpfSel{};
  bool bpfAll = false;
  std::array<bool, 3> lvaSel{};
  int16_t lvaItem = -1;
};
