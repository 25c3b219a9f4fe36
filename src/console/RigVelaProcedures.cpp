#include "RigVelaProcedures.h"

#include <cstdlib>
#include <utility>

#include "ProcedureObserver.h"
#include "RigVelaProceduresBeep.h"
#include "RigVelaProceduresHost.h"
#include "clsConsole.h"

namespace {

constexpr int16_t kStages = 2;  // BPF T1 and T2, RX LVA and TX LVA
constexpr int16_t kBpfParked = 64;
constexpr int16_t kBpfCoarseLast = 127;  // a coarse sweep stops once past it
constexpr int32_t kLvaWaitMs = 500;

bool inRange(int16_t v, int16_t first, int16_t last) { return v >= first && v <= last; }

ProcedureObserver* observer() { return ProcedureObserver::attached(); }

int16_t firstSelected(const std::array<bool, 3>& sel) {
  int16_t k = 0;
  while (k < kStages && !sel[static_cast<size_t>(k)]) ++k;
  return k;
}

}  // namespace

RigVelaProcedures::RigVelaProcedures(RigVelaProceduresHost& host, RigVelaAutoState& state,
                                     const RigVelaItemIndex& items)
    : host_(host), st_(state), items_(items) {}

clsConsole& RigVelaProcedures::console() const { return host_.Console(); }

bool RigVelaProcedures::Dispatch() {
  const int16_t before = st_.autoCode;
  bool done = true;
  if (inRange(before, RssiFirst, RssiLast)) {
    done = RssiCapture();
  } else if (inRange(before, BpfFirst, BpfLast)) {
    done = BpfTuning();
  } else if (inRange(before, LvaFirst, LvaLast)) {
    done = LvaSearch();
  }
  if (before != 0 && st_.autoCode == 0) host_.AutoReset();
  return done;
}

bool RigVelaProcedures::GoTo(int16_t step) {
  st_.autoCode = step;
  rssi_.entered = 0;
  bpf_.sub = 0;
  lva_.entered = 0;
  return true;
}

bool RigVelaProcedures::Finish() {
  GoTo(0);
  if (auto* o = observer()) o->onProcedureEnd();
  RigVelaProceduresBeep::Beep();
  return true;
}

// --- RSSI capture: reads the signal level over and over; each request stores
// the current reading, S3 first, then S1.

bool RigVelaProcedures::RssiCapture() {
  if (host_.SequencerBusy()) return false;
  switch (st_.autoCode) {
    case 6:
      // A request made while the first level was being stored is for the second.
      if (!st_.rssiSecondStage) st_.rssiCaptureReq = false;
      rssi_.captured = false;
      if (auto* o = observer(); o && !st_.rssiSecondStage) o->onRssiStart();
      return GoTo(7);
    case 7: {
      const bool first = rssi_.entered == 0;
      rssi_.entered = 1;
      if (!host_.ReadAD(SignalSlot, first)) return false;
      if (host_.ReadingFailed()) return false;  // nothing stored from a bad answer
      if (auto* o = observer()) o->onRssiLevel(host_.AdLast(SignalSlot));
      if (st_.rssiCaptureReq) {
        const int16_t v = host_.AdLast(SignalSlot);
        const bool s1 = st_.rssiSecondStage;
        if (auto* o = observer()) o->onRssiCapture(s1 ? 1 : 3, v);
        host_.SendE8NoAnswer(clsConsole::E8Text(s1 ? RssiS1Command : RssiS3Command, v));
        host_.WriteImageByte(s1 ? RssiS1Address : RssiS3Address, v);
      }
      rssi_.captured = st_.rssiCaptureReq;
      st_.rssiCaptureReq = false;
      return GoTo(8);
    }
    case 8:
      if (!rssi_.captured) return GoTo(7);
      if (st_.rssiSecondStage) {
        st_.rssiCaptureReq = false;
        st_.rssiSecondStage = false;
        return Finish();
      }
      st_.rssiSecondStage = true;
      console().Disp(items_.rssi);
      return GoTo(6);
    default:
      return false;
  }
}

// --- BPF tuning: each selected stage is swept from its minimum; it ends in the
// middle of the first plateau of the highest reading.

bool RigVelaProcedures::BpfTuning() {
  if (host_.SequencerBusy()) return false;
  switch (st_.autoCode) {
    case 12:
      return GoTo(13);
    case 13:
      for (int16_t k = 0; k < kStages; ++k) {
        if (!st_.bpfSel[k]) continue;
        const auto item = static_cast<int16_t>(items_.bpfT1 + k);
        console().setValue(item, st_.bpfAll ? kBpfParked : 0);
        console().Disp(item);
      }
      return GoTo(14);
    case 14:
      BpfStartStage();
      return true;
    case 15:
      return BpfSweepPoint(static_cast<int16_t>(items_.bpfT1 + bpf_.k));
    case 16:
      return Finish();
    default:
      return false;
  }
}

void RigVelaProcedures::BpfStartStage() {
  int16_t k = 0;
  while (k < kStages && !st_.bpfSel[k]) ++k;
  if (k == kStages) {
    GoTo(16);
    return;
  }
  bpf_.k = k;
  const auto item = static_cast<int16_t>(items_.bpfT1 + k);
  console().setValue(item, console().Min(item));
  bpf_.best = -1;
  bpf_.pos1 = bpf_.pos2 = console().Value(item);
  if (auto* o = observer()) o->onSweepStart(k, st_.bpfAll);
  GoTo(15);
}

bool RigVelaProcedures::BpfSweepPoint(int16_t item) {
  clsConsole& c = console();
  if (bpf_.sub == 0) {
    host_.SendItem(item);
    bpf_.sub = 1;
    return false;
  }
  if (!host_.ReadAD(SignalSlot, bpf_.sub == 1)) {
    bpf_.sub = 2;
    return false;
  }
  if (host_.ReadingFailed()) return false;  // no further point after a bad answer
  const int16_t cur = c.Value(item);
  const int16_t reading = host_.AdLast(SignalSlot);
  c.setWaitAfterE8(item, 0);  // only the first point waits
  if (auto* o = observer()) o->onSweepPoint(bpf_.k, cur, reading);
  // The plateau ends at the first lower reading: an equal peak further on does
  // not stretch it over the valley between them.
  if (reading > bpf_.best) {
    bpf_.pos1 = bpf_.pos2 = cur;
    bpf_.best = reading;
    bpf_.onPlateau = true;
  } else if (reading == bpf_.best && bpf_.onPlateau) {
    bpf_.pos2 = cur;
  } else {
    bpf_.onPlateau = false;
  }
  if (cur < c.Max(item) && (!st_.bpfAll || cur < kBpfCoarseLast)) {
    c.setValue(item, static_cast<int16_t>(cur + (st_.bpfAll ? 2 : 1)));
    bpf_.sub = 0;
    return BpfSweepPoint(item);
  }
  c.setValue(item, static_cast<int16_t>((bpf_.pos1 + bpf_.pos2) / 2));
  if (auto* o = observer()) o->onSweepEnd(bpf_.k, c.Value(item), bpf_.pos1, bpf_.pos2);
  c.Disp(item);
  st_.bpfSel[bpf_.k] = false;
  return GoTo(14);
}

// --- LVA search: bisection of the adjuster between 0 and 255 until the level
// reads the target. The task sends each new value with the row's pause.

void RigVelaProcedures::LvaSetSelected(int16_t value) {
  for (int16_t k = 0; k < kStages; ++k) {
    if (!st_.lvaSel[k]) continue;
    const auto item = static_cast<int16_t>(items_.rxLva + k);
    console().setValue(item, value);
    console().Disp(item);
  }
}

bool RigVelaProcedures::LvaRead(int16_t& into, int16_t next) {
  const bool first = lva_.entered == 0;
  lva_.entered = 1;
  if (!host_.ReadAD(LevelSlot, first)) return false;
  if (host_.ReadingFailed()) return false;
  into = host_.AdLast(LevelSlot);
  return GoTo(next);
}

bool RigVelaProcedures::LvaSearch() {
  if (host_.SequencerBusy()) return false;
  clsConsole& c = console();
  switch (st_.autoCode) {
    case 17:
      lva_.lo = 0;
      lva_.hi = 255;
      for (int16_t k = 0; k < kStages; ++k) {
        if (!st_.lvaSel[k]) continue;
        lva_.target = c.Value(static_cast<int16_t>(items_.lvRxLva + k));
        st_.lvaFailed[k] = true;
      }
      if (auto* o = observer()) o->onLevelStart(firstSelected(st_.lvaSel), lva_.target);
      return GoTo(18);
    case 18:
      for (int16_t k = 0; k < kStages; ++k) {
        if (st_.lvaSel[k]) lva_.saved[k] = c.Value(static_cast<int16_t>(items_.rxLva + k));
      }
      LvaSetSelected(lva_.lo);
      return GoTo(19);
    case 19:
      if (!LvaRead(lva_.rLo, 20)) return false;
      if (auto* o = observer()) o->onLevelPoint(firstSelected(st_.lvaSel), lva_.lo, lva_.rLo);
      return true;
    case 20:
      LvaSetSelected(lva_.hi);
      return GoTo(21);
    case 21:
      if (!LvaRead(lva_.rHi, 22)) return false;
      if (auto* o = observer()) o->onLevelPoint(firstSelected(st_.lvaSel), lva_.hi, lva_.rHi);
      return true;
    case 22:
      if (lva_.rLo > lva_.rHi) {
        std::swap(lva_.lo, lva_.hi);
        std::swap(lva_.rLo, lva_.rHi);
      }
      if (lva_.target <= lva_.rLo || lva_.target >= lva_.rHi) {
        if (auto* o = observer()) {
          const bool swapped = lva_.lo != 0;
          o->onLevelFailed(firstSelected(st_.lvaSel), lva_.target, swapped ? lva_.rHi : lva_.rLo,
                           swapped ? lva_.rLo : lva_.rHi);
        }
        for (int16_t k = 0; k < kStages; ++k) {
          if (!st_.lvaSel[k]) continue;
          const auto item = static_cast<int16_t>(items_.rxLva + k);
          c.setValue(item, lva_.saved[k]);
          c.Disp(item);
        }
        return GoTo(26);
      }
      return GoTo(23);
    case 23:
      lva_.mid = static_cast<int16_t>((lva_.lo + lva_.hi + 1) / 2);  // half rounds up
      LvaSetSelected(lva_.mid);
      for (int16_t k = 0; k < kStages; ++k) {
        if (st_.lvaSel[k]) c.setWaitAfterE8(static_cast<int16_t>(items_.rxLva + k), kLvaWaitMs);
      }
      return GoTo(24);
    case 24:
      if (!LvaRead(lva_.rMid, 25)) return false;
      if (auto* o = observer()) o->onLevelPoint(firstSelected(st_.lvaSel), lva_.mid, lva_.rMid);
      for (int16_t k = 0; k < kStages; ++k) {
        if (st_.lvaSel[k]) c.setWaitAfterE8(static_cast<int16_t>(items_.rxLva + k), 0);
      }
      return true;
    case 25:
      if (std::abs(lva_.hi - lva_.lo) <= 2 || lva_.rMid == lva_.target) {
        for (int16_t k = 0; k < kStages; ++k) {
          if (st_.lvaSel[k]) st_.lvaFailed[k] = false;
        }
        if (auto* o = observer()) o->onLevelEnd(firstSelected(st_.lvaSel), lva_.mid);
        return GoTo(26);
      }
      if (lva_.target > lva_.rMid) {
        lva_.lo = lva_.mid;
        lva_.rLo = lva_.rMid;
      } else {
        lva_.hi = lva_.mid;
        lva_.rHi = lva_.rMid;
      }
      return GoTo(23);
    case 26:
      return Finish();
    default:
      return false;
  }
}
