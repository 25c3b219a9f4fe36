#pragma once
// Told what the automatic procedures and the live readings take, as they take it.
// At most one observer is attached; with none, each call site is one null test.
#include <cstdint>

class ProcedureObserver {
 public:
  virtual ~ProcedureObserver() = default;

  // A filter sweep of one stage (0: T1, 1: T2) begins; coarse: steps of two.
  virtual void onSweepStart(int16_t stage, bool coarse) = 0;
  virtual void onSweepPoint(int16_t stage, int16_t value, int16_t reading) = 0;
  // The value the stage ends at and the plateau of the highest reading.
  virtual void onSweepEnd(int16_t stage, int16_t endValue, int16_t plateauFrom, int16_t plateauTo) = 0;
  // A level search of one adjuster (0: RX, 1: TX) towards target begins.
  virtual void onLevelStart(int16_t stage, int16_t target) = 0;
  virtual void onLevelPoint(int16_t stage, int16_t value, int16_t level) = 0;
  virtual void onLevelEnd(int16_t stage, int16_t endValue) = 0;
  // The target is not between the levels read at 0 and at 255.
  virtual void onLevelFailed(int16_t stage, int16_t target, int16_t levelAt0, int16_t levelAt255) = 0;
  virtual void onRssiStart() = 0;
  virtual void onRssiLevel(int16_t level) = 0;
  // which: 3 for S3, 1 for S1.
  virtual void onRssiCapture(int16_t which, int16_t level) = 0;
  // The procedure reached its end (not called when it is broken off).
  virtual void onProcedureEnd() = 0;
  // A live reading arrived: list 0 is A/D, 1 is D/A.
  virtual void onReading(int16_t list, int16_t slot, int16_t value) = 0;

  static ProcedureObserver* attached() { return attached_; }
  static void attach(ProcedureObserver* observer) { attached_ = observer; }

 private:
  inline static ProcedureObserver* attached_ = nullptr;
};
