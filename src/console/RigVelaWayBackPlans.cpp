// Revert, apply from a backup and verify: the rows to send, their feeding to the
// model task one at a time, and the comparison after a second clone read.
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Globals.h"
#include "RigVelaProcedures.h"
#include "RigVelaWayBack.h"
#include "SessionRecorder.h"
#include "UnifiedDiff.h"
#include "clsCmcLnk3Sequence.h"
#include "clsCmcRadio.h"
#include "clsConsole.h"
#include "clsIndEep_RigVela.h"
#include "clsIndPtbl_RigVela.h"
#include "clsIndOp_RigVela.h"
#include "frmCom.h"

namespace {

constexpr int32_t kBalCopyAddresses[] = {113, 106};

std::string parameterText(const clsCmcEeprom& image) {
  const clsIndPtbl_RigVela table(image);
  clsIndEep_RigVela eep(image, table);
  eep.RigVelaEep_SetCommonAddress(table.RigVelaFunc_Obj_Address(clsIndPtbl_RigVela::ObjCommon));
  std::string text = eep.RigVelaEep_DispPara();
  std::erase(text, '\r');
  return text;
}

clsCmcEeprom imageOf(const std::vector<uint8_t>& bytes) {
  clsCmcEeprom image;
  image.seteeSize(static_cast<int32_t>(bytes.size()));
  image.WriteBlock(0, bytes);
  return image;
}

std::string rowList(const std::vector<int16_t>& rows) {
  std::string out;
  for (int16_t r : rows) out += (out.empty() ? "" : ", ") + std::to_string(r);
  return out.empty() ? "none" : out;
}

}  // namespace

// Rows sent by their own command and stored in the image; the channel row is not one.
std::vector<AdjustmentPlanner::RowSlot> RigVelaWayBack::rowSlots() const {
  clsConsole& console = Globals::console();
  std::vector<AdjustmentPlanner::RowSlot> rows;
  for (int16_t i = 0; i < console.ListCount(); ++i) {
    if (console.EeAdr(i) < 0 || console.E8Command(i) < 0 || console.Event_SendE8(i) >= 0) continue;
    rows.push_back({i, rowName(i), console.EeAdr(i), console.EeDataSigned(i), console.Value(i)});
  }
  return rows;
}

std::vector<AdjustmentPlanner::Watched> RigVelaWayBack::watchedBytes() const {
  std::vector<AdjustmentPlanner::Watched> watched;
  for (const AdjustmentPlanner::RowSlot& r : rowSlots()) watched.push_back({r.title, r.address});
  const int32_t balAddress = Globals::console().EeAdr(items_.bal);
  for (int32_t a : kBalCopyAddresses) {
    if (a != balAddress) watched.push_back({"BAL copy at " + std::to_string(a), a});
  }
  watched.push_back({"RSSI S3", RigVelaProcedures::RssiS3Address});
  watched.push_back({"RSSI S1", RigVelaProcedures::RssiS1Address});
  return watched;
}

std::vector<RigVelaWayBack::RowChange> RigVelaWayBack::revertPlan() const {
  return AdjustmentPlanner::differing(rowSlots(), readImage_);
}

std::optional<RigVelaWayBack::BackupPreview> RigVelaWayBack::previewBackup(const std::string& path,
                                                                           std::string& error) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  BackupPreview preview;
  preview.image.assign(std::istreambuf_iterator<char>(in), {});
  const clsCmcEeprom& now = Globals::radio().eepImage();
  if (preview.image.size() != static_cast<size_t>(now.eeSize())) {
    error = std::filesystem::path(path).filename().string() + " holds " + std::to_string(preview.image.size()) +
            " bytes, not the " + std::to_string(now.eeSize()) + " bytes of a memory image.";
    return std::nullopt;
  }
  const clsCmcEeprom backup = imageOf(preview.image);
  if (clsIndPtbl_RigVela(backup).RigVelaFunc_Ptbl_Search(clsIndPtbl_RigVela::ObjCommon) == 0) {
    error = std::filesystem::path(path).filename().string() + ": its parameter table cannot be found.";
    return std::nullopt;
  }
  preview.rows = AdjustmentPlanner::differing(rowSlots(), preview.image);
  // What the text would show once the rows are sent, against the backup's text.
  clsCmcEeprom after = imageOf(now.bytes());
  for (const RowChange& r : preview.rows) {
    after.WriteByte(Globals::console().EeAdr(r.row), static_cast<uint8_t>(r.target & 0xFF));
  }
  for (const std::string& line : UnifiedDiff::splitLines(UnifiedDiff::diff(parameterText(after), parameterText(backup), "now", "backup"))) {
    if (line.starts_with("---") || line.starts_with("+++")) continue;
    if (line.starts_with("-")) preview.nowLines.push_back(line.substr(1));
    if (line.starts_with("+")) preview.backupLines.push_back(line.substr(1));
  }
  return preview;
}

void RigVelaWayBack::startPlan(const std::vector<RowChange>& rows, const std::string& mark) {
  if (busy() || rows.empty()) return;
  plan_.clear();
  for (const RowChange& r : rows) plan_.push_back({r.row, r.target});
  planMark_ = mark;
  planTotal_ = static_cast<int>(rows.size());
  planSentRows_.clear();
  planRowOnWire_ = -1;
  stopRequested_ = false;
  planActive_ = true;
  outcome_ = Outcome::None;
  wakeTickAfter(0);
}

void RigVelaWayBack::notePlanEnd(const std::string& how) {
  outcomeText_ = planMark_ + " " + how + ": " + std::to_string(planSentRows_.size()) + " of " +
                 std::to_string(planTotal_) + " rows sent (rows " + rowList(planSentRows_) + ")";
  Globals::sessionRecorder().noteEvent(outcomeText_);
}

RigVelaWayBack::Fed RigVelaWayBack::feed() {
  if (planRowOnWire_ >= 0) {
    planSentRows_.push_back(planRowOnWire_);
    planRowOnWire_ = -1;
  }
  if (planActive_ && (plan_.empty() || stopRequested_)) {
    const bool stopped = !plan_.empty();
    notePlanEnd(stopped ? "stopped" : "done");
    outcome_ = stopped ? Outcome::Stopped : Outcome::Sent;
    plan_.clear();
    planActive_ = stopRequested_ = false;
  }
  if (!direct_.empty()) {
    const AdjustmentHistory::Change c = direct_.front();
    direct_.pop_front();
    Globals::seq().easySendE8NoAnswer(clsConsole::E8Text(c.command, c.after));
    Globals::radio().eepImage().WriteByte(c.address, static_cast<uint8_t>(c.after & 0xFF));
    Globals::model().setWaitE8Required(Globals::console().WaitAfterE8(c.row));
    return Fed::Busy;
  }
  if (!plan_.empty()) {
    const Planned p = plan_.front();
    plan_.pop_front();
    marks_[p.row] = planMark_;
    planRowOnWire_ = p.row;
    Globals::console().setValue(p.row, p.value);
    return Fed::Row;
  }
  if (verifying_) {
    finishVerify();
    return Fed::Nothing;
  }
  if (verifyRequested_) {
    verifyRequested_ = false;
    verifying_ = true;
    outcome_ = Outcome::None;
    expected_ = Globals::radio().eepImage().bytes();
    Globals::seq().easyCloneRead();
    return Fed::Busy;
  }
  return Fed::Nothing;
}

// The bytes read back against what was sent; the console then shows what the
// transceiver holds.
void RigVelaWayBack::finishVerify() {
  verifying_ = false;
  const std::vector<uint8_t> held = Globals::radio().eepImage().bytes();
  const auto watched = watchedBytes();
  const auto differs = AdjustmentPlanner::compare(watched, expected_, held);
  SessionRecorder& recorder = Globals::sessionRecorder();
  recorder.keepReadBack(held);
  const std::string n = std::to_string(watched.size());
  if (differs.empty()) {
    outcomeText_ = "verified " + n + " of " + n;
    outcome_ = Outcome::Verified;
  } else {
    outcomeText_ = "verification: " + std::to_string(differs.size()) + " of " + n + " differ";
    for (const auto& d : differs) {
      outcomeText_ += "\n" + d.name + ": sent " + std::to_string(d.sent) + ", held " + std::to_string(d.held);
    }
    outcome_ = Outcome::Differs;
  }
  std::string line = outcomeText_;
  std::replace(line.begin(), line.end(), '\n', ';');
  recorder.noteEvent(line);
  clsConsole& console = Globals::console();
  for (const AdjustmentPlanner::RowSlot& r : rowSlots()) {
    console.ReadFromEe(r.row);
    console.setflgChanged(r.row, false);
  }
}

void RigVelaWayBack::wakeTickAfter(int32_t ms) {
  if (!Globals::comExists()) return;
  frmCom* com = &Globals::com();
  QTimer::singleShot(std::chrono::milliseconds(ms + 1), Qt::PreciseTimer, com, [com] { com->timSolid_Timer(); });
}

RigVelaWayBack::Outcome RigVelaWayBack::takeOutcome() {
  const Outcome o = outcome_;
  outcome_ = Outcome::None;
  return o;
}
