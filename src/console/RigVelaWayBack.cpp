// The history of steps, Undo and Redo, the automatic adjustments as single steps
// and the marks the report gives to each row sent.
#include "RigVelaWayBack.h"

#include <QListWidget>

#include "Globals.h"
#include "RigVelaProcedures.h"
#include "SessionRecorder.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "frmMain.h"

namespace {

bool between(int16_t v, int16_t lo, int16_t hi) { return v >= lo && v <= hi; }

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

int16_t imageByte(int32_t address) { return Globals::radio().eepImage().ReadByte(address); }

// "S3 40 -> 52, S1 10 -> 12" for the values a capture stores.
std::string directDetail(const AdjustmentHistory::Step& step, bool forward) {
  std::string out;
  for (const AdjustmentHistory::Change& c : step) {
    if (!c.direct()) continue;
    const char* name = c.command == RigVelaProcedures::RssiS3Command ? "S3" : "S1";
    const int16_t from = forward ? c.before : c.after;
    const int16_t to = forward ? c.after : c.before;
    if (from == to) continue;
    if (!out.empty()) out += ", ";
    out += std::string(name) + " " + std::to_string(from) + " -> " + std::to_string(to);
  }
  return out;
}

}  // namespace

void RigVelaWayBack::reset() {
  if (planActive_) notePlanEnd("broken off by a line fault");
  if (verifying_) Globals::sessionRecorder().noteEvent("verification broken off by a line fault: nothing verified");
  history_.clear();
  tracked_.reset();
  marks_.clear();
  direct_.clear();
  plan_.clear();
  planActive_ = false;
  planTotal_ = 0;
  planSentRows_.clear();
  planRowOnWire_ = -1;
  stopRequested_ = verifyRequested_ = verifying_ = false;
  lastSentRow_ = -1;
}

void RigVelaWayBack::keyStep(int16_t row, int16_t stp) {
  clsConsole& console = Globals::console();
  const int16_t before = console.Value(row);
  console.UpDown(row, stp);
  history_.push({AdjustmentHistory::Change{row, before, console.Value(row)}});
}

void RigVelaWayBack::undo() {
  if (busy()) return;
  if (auto step = history_.undo()) applyStep(*step, false, "undo");
}

void RigVelaWayBack::redo() {
  if (busy()) return;
  if (auto step = history_.redo()) applyStep(*step, true, "redo");
}

// Rows take the value as a key step would and go out with the task's next pass;
// values without a row are queued for their own commands.
void RigVelaWayBack::applyStep(const AdjustmentHistory::Step& step, bool forward, const std::string& mark) {
  clsConsole& console = Globals::console();
  int16_t shown = -1;
  for (const AdjustmentHistory::Change& c : step) {
    const int16_t value = forward ? c.after : c.before;
    if (c.direct()) {
      direct_.push_back({c.row, imageByte(c.address), value, c.command, c.address});
    } else {
      marks_[c.row] = mark;
      console.setValue(c.row, value);
    }
    if (shown < 0) shown = c.row;
  }
  const std::string detail = directDetail(step, forward);
  if (!detail.empty() && shown >= 0) {
    Globals::sessionRecorder().noteProcedure(shown, console.Title(shown), 0, 0, mark, detail, false);
  }
  if (shown >= 0 && Globals::mainWindowExists()) Globals::mainWindow().lboConsole().setCurrentRow(shown);
}

void RigVelaWayBack::procedureStarted() {
  clsConsole& console = Globals::console();
  Tracked t;
  const int16_t code = auto_.autoCode;
  auto addRows = [&](int16_t first, const std::array<bool, 3>& sel) {
    for (int16_t k = 0; k < 2; ++k) {
      const auto row = static_cast<int16_t>(first + k);
      if (sel[static_cast<size_t>(k)]) t.step.push_back({row, console.Value(row), console.Value(row)});
    }
  };
  if (between(code, RigVelaProcedures::RssiFirst, RigVelaProcedures::RssiLast)) {
    t.kind = "capture";
    for (const auto& [command, address] : {std::pair{RigVelaProcedures::RssiS3Command, RigVelaProcedures::RssiS3Address},
                                           std::pair{RigVelaProcedures::RssiS1Command, RigVelaProcedures::RssiS1Address}}) {
      const int16_t v = imageByte(address);
      t.step.push_back({items_.rssi, v, v, command, address});
    }
  } else if (between(code, RigVelaProcedures::BpfFirst, RigVelaProcedures::BpfLast)) {
    t.kind = "sweep";
    addRows(items_.bpfT1, auto_.bpfSel);
  } else if (between(code, RigVelaProcedures::LvaFirst, RigVelaProcedures::LvaLast)) {
    t.kind = "level search";
    addRows(items_.rxLva, auto_.lvaSel);
  } else {
    return;
  }
  tracked_ = std::move(t);
  lastSentRow_ = -1;
}

void RigVelaWayBack::procedurePoint() {
  if (tracked_ && lastSentRow_ >= 0) ++tracked_->points[lastSentRow_];
}

// One step for Undo and one line per row in the report.
void RigVelaWayBack::procedureEnded() {
  if (!tracked_) return;
  Tracked t = std::move(*tracked_);
  tracked_.reset();
  clsConsole& console = Globals::console();
  SessionRecorder& recorder = Globals::sessionRecorder();
  for (AdjustmentHistory::Change& c : t.step) c.after = c.direct() ? imageByte(c.address) : console.Value(c.row);
  for (const AdjustmentHistory::Change& c : t.step) {
    if (c.direct()) continue;
    const int points = t.points[c.row];
    if (points == 0 && c.before == c.after) continue;
    recorder.noteProcedure(c.row, console.Title(c.row), c.before, c.after,
                           t.kind + ", " + std::to_string(points) + (points == 1 ? " point" : " points"));
  }
  const std::string detail = directDetail(t.step, true);
  if (!detail.empty()) recorder.noteProcedure(items_.rssi, console.Title(items_.rssi), 0, 0, t.kind, detail);
  history_.push(std::move(t.step));
}

void RigVelaWayBack::rowSent(int16_t row) {
  clsConsole& console = Globals::console();
  if (tracked_) {
    for (const AdjustmentHistory::Change& c : tracked_->step) {
      if (!c.direct() && c.row == row) {
        lastSentRow_ = row;
        return;
      }
    }
  }
  std::string mark;
  if (auto it = marks_.find(row); it != marks_.end()) {
    mark = it->second;
    marks_.erase(it);
  }
  Globals::sessionRecorder().noteSent(row, console.Title(row), console.Value(row), mark);
}

std::string RigVelaWayBack::rowName(int16_t row) {
  return "row " + std::to_string(row) + " " + trimmed(Globals::console().Title(row));
}
