#pragma once
// Plain members of the Selvik model object, grouped by concern: the connection
// task, the live reading tables and the automatic procedures.
#include <array>
#include <cstdint>
#include <vector>

#include "clsCmcTick.h"

struct RigVelaTaskState {
  static constexpr int16_t ChListEntries = 41;

  int16_t opState = 0;
  bool stateEntered = true;
  bool linkErrorFlag = false;
  bool reloadRequest = false;
  bool reloadThisCycle = false;
  bool dispParaRequest = false;
  int32_t WaitE8Required = 0;
  clsCmcTick waitTimer;
  std::vector<uint8_t> idBytes;
  bool midFlag = false;
  int32_t chBlockAdr = 0;
  int32_t chBlock2Adr = 0;
  int32_t chStartAdr = 0;
  int32_t chFreqAdr = 0;
  std::array<int16_t, ChListEntries> chList{};
  int16_t curChannel = 0;
  // The balance row's copies (bytes 113 and 106) still to be carried, one per pass.
  bool balFollowUp = false;
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
  int16_t lvaItem = -1;
  bool rssiCaptureReq = false;
  bool rssiSecondStage = false;
  bool bpfAll = false;
  std::array<bool, 3> bpfSel{};
  std::array<bool, 3> lvaSel{};
  std::array<bool, 3> lvaFailed{};
};
