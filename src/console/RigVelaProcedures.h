#pragma once
// The Selvik's automatic adjustments, one step per call: RSSI level capture,
// band-pass filter tuning by sweep and the bisection of the level adjusters
// against their target levels. autoCode says which step runs (0: none).
#include <array>
#include <cstdint>

#include "RigVelaItemTable.h"
#include "RigVelaState.h"

class clsConsole;
class RigVelaProceduresHost;

class RigVelaProcedures {
 public:
  // The steps of each procedure.
  static constexpr int16_t RssiFirst = 6, RssiLast = 8;
  static constexpr int16_t BpfFirst = 12, BpfLast = 16;
  static constexpr int16_t LvaFirst = 17, LvaLast = 26;
  // A/D slots read.
  static constexpr int16_t LevelSlot = 2, SignalSlot = 3;
  // Commands and image bytes of the two RSSI levels.
  static constexpr int16_t RssiS1Command = 0x15, RssiS3Command = 0x16;
  static constexpr int32_t RssiS1Address = 169, RssiS3Address = 170;

  RigVelaProcedures(RigVelaProceduresHost& host, RigVelaAutoState& state,
                    const RigVelaItemIndex& items);

  // One step of the running procedure; true when it moved to another step. Ends
  // with the host's AutoReset once the procedure has finished.
  bool Dispatch();

 private:
  bool RssiCapture();
  bool BpfTuning();
  bool BpfSweepPoint(int16_t item);
  void BpfStartStage();
  bool LvaSearch();
  bool LvaRead(int16_t& into, int16_t next);
  void LvaSetSelected(int16_t value);
  bool GoTo(int16_t step);
  bool Finish();
  clsConsole& console() const;

  RigVelaProceduresHost& host_;
  RigVelaAutoState& st_;
  const RigVelaItemIndex& items_;

  struct Rssi {
    int16_t entered = 0;
    bool captured = false;
  } rssi_;
  struct Bpf {
    int16_t k = 0, sub = 0, best = 0, pos1 = 0, pos2 = 0;
    bool onPlateau = false;
  } bpf_;
  struct Lva {
    int16_t entered = 0;
    std::array<int16_t, 3> saved{};
    int16_t lo = 0, hi = 0, mid = 0, rLo = 0, rHi = 0, rMid = 0, target = 0;
  } lva_;
};
