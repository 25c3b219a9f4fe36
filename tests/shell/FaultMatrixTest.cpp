// Every fault of the line at every phase of a connection: one message naming its
// cause (or none where the fault is tolerated), a closed port, an idle model, no
// operation left running, no late second message, and a healthy "Connect" after it.
// The fault strikes on a line paced at 9600 baud, so that the phases fall into
// separate receive chunks; the connections before and after it run unpaced. The
// whole matrix is one test; it prints its table at the end.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <array>
#include <cstdio>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "ConnectionFixture.h"
#include "frmCom.h"

namespace {

enum class Phase { Identification, CloneStart, CloneMiddle, CloneEnd, FirstSend, RowStep, Reload,
                   BpfAll, BpfT1, BpfT2, RxLva, TxLva, Rssi };
enum class Fault { NoEcho, NoAnswer, Corrupt, BadChecksum, WrongCount, WrongModel, SubCode0101,
                   Format02, WrongSource, StrayThenRight, Noise, OneByteChunks, HangUp, Flood,
                   Framing, Parity, Overrun, Break };

// Each phase's name and column heading; each fault's name.
const char* const kPhases[][2] = {{"identification", "ident"}, {"clone start", "cl.st"}, {"clone middle", "cl.mid"},
                                  {"clone end", "cl.end"}, {"first sending", "first"}, {"row step", "row"},
                                  {"Reload(F5)", "F5"}, {"BPF ALL", "BPFall"}, {"BPF T1", "BPF1"}, {"BPF T2", "BPF2"},
                                  {"RX LVA", "RXLVA"}, {"TX LVA", "TXLVA"}, {"RSSI", "RSSI"}};
const char* const kFaults[] = {"no echo", "no answer", "corrupted byte", "bad checksum", "wrong frame count",
                               "wrong model", "sub code 0101", "format byte 02", "wrong source", "stray, then right",
                               "noise", "1-byte chunks", "hang-up", "flood", "framing error", "parity error",
                               "overrun", "break"};
const char* name(Phase p) { return kPhases[static_cast<int>(p)][0]; }
const char* name(Fault f) { return kFaults[static_cast<int>(f)]; }

bool isLineError(Fault f) { return f >= Fault::Framing; }
// The CommEvent codes of a framing error, a parity error, an overrun and a break.
int16_t commEvent(Fault f) {
  return std::array<int16_t, 4>{1004, 1009, 1006, 1001}.at(static_cast<size_t>(f) - static_cast<size_t>(Fault::Framing));
}
bool isProcedure(Phase p) { return p >= Phase::BpfAll; }
bool inCloneRead(Phase p) { return p == Phase::CloneMiddle || p == Phase::CloneEnd; }

// Answer frames: E1 is 1, the 2007 E4 frames 2 to 2008, E5 2009, the first reading 2010.
constexpr int kMiddleE4 = 1005, kLastE4 = 2008, kE5 = 2009;
constexpr int32_t kLastAddress = 32111;

const std::string kP = "- The COM port settings.", kC = "- Cloning cable connections.",
                  kW = "- Transceiver power is ON.",
                  kS = "- Appropriate cloning software for the transceiver is being used.",
                  kR = "- The revision number of the transceiver.";

std::string compose(const std::string& head, const std::vector<std::string>& checks) {
  std::string text = head + "\r\n\r\nCheck the following:";
  for (const std::string& line : checks) text += "\r\n" + line;
  return text;
}
const std::string kNoAccess = compose("Cannot access COM 1.", {kP, kC, kW});
const std::string kOverflow = compose("COM buffer overflow.", {kP, kC, kW});
const std::string kNoEchoText = compose("Cannot access COM port", {kP, kC, kW});
const std::string kNoAnswerText = compose("No answer from transceiver.", {kP, kC, kW});
const std::string kIllegal = compose("Illegal data.", {kP, kC, kW});
const std::string kCounter = compose("Data counter error.", {kP, kC, kW});
const std::string kCommFailed = compose("Communication failed.", {kC, kW});
const std::string kCannotClone = compose("Cannot Clone.", {kP, kC, kW});
const std::string kVersion = "Version number does not match\r\nfor this transceiver.";
const std::string kIncompatible = compose("Connected transceiver is not compatible model.", {kS, kR});

// What a cell expects: skipped (with the reason), tolerated (no message) or one text.
struct Expect { const char* skipped = nullptr; std::optional<std::string> text = std::nullopt; };

Expect expected(Fault f, Phase p) {
  const bool noRequest = inCloneRead(p);
  const bool noAnswerAwaited = p == Phase::RowStep;
  switch (f) {
    case Fault::NoEcho:
      if (noRequest) return {"no frame from the PC in this phase"};
      return noAnswerAwaited ? Expect{} : Expect{nullptr, kNoEchoText};
    case Fault::NoAnswer:
      return noAnswerAwaited ? Expect{} : Expect{nullptr, kNoAnswerText};
    case Fault::Corrupt:
      if (noAnswerAwaited) return {"no answer in this phase"};
      if (p <= Phase::CloneEnd) return {nullptr, kIllegal};
      return {nullptr, kCommFailed};  // a reading the model finds malformed
    case Fault::BadChecksum:
      if (p < Phase::CloneStart || p > Phase::CloneEnd) return {"only clone data frames carry a checksum"};
      return {nullptr, kIllegal};
    case Fault::WrongCount:
      if (p != Phase::CloneEnd) return {"only the clone end frame carries the count"};
      return {nullptr, kCounter};
    case Fault::WrongModel:
    case Fault::SubCode0101:
    case Fault::Format02:
      if (p != Phase::Identification) return {"the identity is checked at identification"};
      if (f == Fault::WrongModel) return {nullptr, kCannotClone};
      return {nullptr, f == Fault::SubCode0101 ? kVersion : kIncompatible};
    case Fault::WrongSource:
      if (noAnswerAwaited) return {"no answer in this phase"};
      if (noRequest) return {"the clone frames are made at its request: same as no answer"};
      return {nullptr, kNoAnswerText};
    case Fault::StrayThenRight:
    case Fault::Noise:
      if (noAnswerAwaited) return {"no answer in this phase"};
      if (f == Fault::Noise && noRequest) return {"noise goes before the answers of a request"};
      return {};
    case Fault::OneByteChunks: return {};
    case Fault::HangUp: return {nullptr, kNoAccess};
    case Fault::Flood:
      if (noRequest) return {"the flood follows a frame from the PC"};
      return {nullptr, kOverflow};
    default:  // line errors: the receive chunk they strike is dropped
      if (p == Phase::RowStep) return {};  // only the echo of a command without answer
      // Clone start and middle lose a data frame, clone end the end frame; elsewhere the
      // echo of the first request that awaits an answer is lost.
      if (p == Phase::CloneStart || p == Phase::CloneMiddle) return {nullptr, kCounter};
      if (p == Phase::CloneEnd) return {nullptr, kNoAnswerText};
      return {nullptr, kNoEchoText};
  }
}

struct CellResult { Phase phase; Fault fault; const char* skipped; bool passed; std::string seen; };

constexpr int16_t kRefRow = 8;
// The console rows of BPF ALL, BPF T1, BPF T2, RX LVA, TX LVA and RSSI.
int16_t procedureRow(Phase p) {
  return std::array<int16_t, 6>{9, 10, 11, 12, 13, 16}.at(static_cast<size_t>(p) - static_cast<size_t>(Phase::BpfAll));
}

class FaultCell : public ConnectionFixture {
 public:
  FaultCell(Phase phase, Fault fault) : phase_(phase), fault_(fault) {
    healthy_.baud = 9600;
    rig.setSettings(phase_ > Phase::FirstSend ? TransceiverSettings{} : healthy_);
    rig.setTraceHandler([this](const VirtualTransceiver::TraceEvent& e) {
      if (e.direction != VirtualTransceiver::TraceEvent::Direction::FromPc) return;
      if (e.bytes.size() == 13 && e.bytes[4] == 0xE8 && e.bytes[9] == 0x03) ++readRequests_;
      // A procedure's first reading: the chunk on its way holds its echo.
      if (isLineError(fault_) && isProcedure(phase_) && struck_ && !spoiled_ && spoilDue()) {
        serial->spoilNextChunk(commEvent(fault_));
        spoiled_ = true;
      }
      if (armAtRequest_ > 0 && rig.framesReceived() == static_cast<uint64_t>(armAtRequest_)) {
        rig.setSettings(armed_);
        armAtRequest_ = 0;
      }
    });
  }
  void TestBody() override {}

  // Runs the cell; false with the reason in seen when an assertion failed.
  bool run(const Expect& want, std::string& seen) {
    const int failuresBefore = failures();
    if (phase_ > Phase::FirstSend) {
      EXPECT_TRUE(connect()) << "healthy connection before the fault";
      EXPECT_TRUE(messages.empty());
    }
    strike();
    act(want.text.has_value());
    if (want.text) {
      EXPECT_EQ(messages, std::vector<std::string>{*want.text});
      EXPECT_FALSE(Globals::com().comOpen());
      EXPECT_EQ(model().opState(), 0);
      EXPECT_FALSE(Globals::mainWindow().fra01(0).isHidden());
      EXPECT_FALSE(Globals::seq().OpRunning());
      EXPECT_FALSE(Globals::com().lnk3D().Running());
    } else {
      EXPECT_TRUE(messages.empty());
      EXPECT_EQ(model().opState(), 28);
    }
    seen = messages.empty() ? "none" : firstLine(messages[0]);
    if (messages.size() > 1) seen += " (+" + std::to_string(messages.size() - 1) + ")";
    healAndReconnect();
    return failures() == failuresBefore;
  }

 private:
  static int failures() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info ? info->result()->total_part_count() : 0;
  }
  static std::string firstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

  // The first frame from the PC and the first answer frame of the phase.
  int firstRequest() const {
    switch (phase_) {
      case Phase::Identification: return 1;
      case Phase::CloneStart: return 2;
      case Phase::FirstSend: return 3;
      default: return static_cast<int>(rig.framesReceived()) + 1;
    }
  }
  int firstAnswer() const {
    switch (phase_) {
      case Phase::Identification: return 1;
      case Phase::CloneStart: return 2;
      case Phase::CloneMiddle: return kMiddleE4;
      case Phase::CloneEnd: return kE5;
      case Phase::FirstSend: return kE5 + 1;
      default: return static_cast<int>(rig.framesSent()) + 1;
    }
  }

  // Switches the fault on so that it strikes at the phase.
  void strike() {
    readRequestsAtStrike_ = readRequests_;
    struck_ = true;
    TransceiverSettings s = healthy_;
    bool fromRequest = false;  // switched on when the phase's first request arrives
    switch (fault_) {
      case Fault::NoEcho:
        s.noEcho = true;
        s.faultsFromRequest = firstRequest();
        break;
      case Fault::NoAnswer:
        if (phase_ == Phase::CloneMiddle) {
          s.stopAfterE4 = kMiddleE4 - 2;
        } else if (phase_ == Phase::CloneEnd) {
          s.stopAfterE4 = kLastE4 - 1;
        } else {
          s.noAnswer = true;
          s.faultsFromRequest = firstRequest();
        }
        break;
      case Fault::Corrupt: s.corruptAnswerFrame = firstAnswer(); break;
      case Fault::BadChecksum: s.badChecksumAnswerFrame = phase_ == Phase::CloneEnd ? kLastE4 : firstAnswer(); break;
      case Fault::WrongCount: s.wrongE5Count = true; break;
      case Fault::WrongModel: s.modelCode = 0x2929; break;
      case Fault::SubCode0101: s.subCode = 0x0101; break;
      case Fault::Format02: s.formatByte = 0x02; break;
      case Fault::WrongSource: s.answerSource = 0xE9; fromRequest = true; break;
      case Fault::StrayThenRight: s.strayAnswerFrame = firstAnswer(); break;
      case Fault::Noise: s.noiseBeforeAnswer = 40; fromRequest = true; break;
      case Fault::OneByteChunks: s.splitWrites = true; fromRequest = !inCloneRead(phase_); break;
      case Fault::HangUp:
        if (phase_ == Phase::RowStep) serial->Unplug();
        else if (phase_ == Phase::CloneEnd) s.hangUpAfterFrame = kLastE4;
        else s.hangUpAfterFrame = firstAnswer();
        break;
      case Fault::Flood:
        s.floodBytes = 40000;
        s.floodAfterRequest = firstRequest();
        break;
      default: break;  // line errors: see spoilWhenDue
    }
    if (fromRequest && (phase_ == Phase::CloneStart || phase_ == Phase::FirstSend)) {
      armed_ = s;
      armAtRequest_ = firstRequest();
    } else if (inCloneRead(phase_) && fault_ == Fault::OneByteChunks) {
      armed_ = s;
      armAtAddress_ = phase_ == Phase::CloneMiddle ? 16000 : kLastAddress - 16;
    } else {
      rig.setSettings(s);
    }
  }

  // A line error strikes the next chunk once the phase has come.
  bool spoilDue() const {
    switch (phase_) {
      case Phase::CloneStart: return rig.framesReceived() >= 2;
      case Phase::CloneMiddle: return Globals::com().lnk3D().lastEeAdr() >= 16000;
      case Phase::CloneEnd: return Globals::com().lnk3D().lastEeAdr() >= kLastAddress - 16;
      case Phase::FirstSend: return rig.framesReceived() >= 3;
      default:  // a procedure's first reading
        return !isProcedure(phase_) || readRequests_ > readRequestsAtStrike_;
    }
  }
  void tickArmed() {
    if (isLineError(fault_) && !isProcedure(phase_) && !spoiled_ && spoilDue()) {
      serial->spoilNextChunk(commEvent(fault_));
      spoiled_ = true;
    }
    if (armAtAddress_ > 0 && Globals::com().lnk3D().lastEeAdr() >= armAtAddress_) {
      rig.setSettings(armed_);
      armAtAddress_ = 0;
    }
    tick();
  }
  bool runArmedUntil(const std::function<bool()>& done, int32_t limitMs) {
    for (int32_t t = 0; t < limitMs; t += 50) {
      if (done()) return true;
      tickArmed();
    }
    return done();
  }

  // The phase's own action; with a message expected, until it shows and a while after.
  void act(bool failing) {
    const auto failed = [this] { return !messages.empty(); };
    const uint64_t readsBefore = rig.receivedCount(0xE8);
    switch (phase_) {
      case Phase::RowStep:
        Globals::mainWindow().lboConsole().setCurrentRow(kRefRow);
        QTest::keyClick(&Globals::mainWindow().lboConsole(), Qt::Key_Right);
        break;
      case Phase::Reload: QTest::keyClick(&Globals::mainWindow().lboConsole(), Qt::Key_F5); break;
      default:
        if (isProcedure(phase_)) {
          QListWidget& list = Globals::mainWindow().lboConsole();
          list.setCurrentRow(procedureRow(phase_));
          QTest::keyClick(&list, Qt::Key_Return);
        } else {
          model().RigOpFunc_ClickCmd00(0);
        }
    }
    if (failing) {
      EXPECT_TRUE(runArmedUntil(failed, 400000)) << "no message";
      ticksFor(3000);  // nothing more may come
      return;
    }
    switch (phase_) {
      case Phase::RowStep:
        EXPECT_TRUE(runArmedUntil([this] { return rig.lastValue(0x05).has_value(); }, 5000));
        break;
      case Phase::Reload:
        runArmedUntil(failed, 5000);
        EXPECT_GE(rig.receivedCount(0xE8), readsBefore + 14) << "every value read again";
        break;
      default:
        if (phase_ == Phase::Rssi) {  // it measures until Enter: S3, S1, then the end
          for (int i = 0; i < 2 && !failed(); ++i) {
            runArmedUntil(failed, 3000);
            QTest::keyClick(&Globals::mainWindow().lboConsole(), Qt::Key_Return);
          }
        }
        if (isProcedure(phase_)) {
          runArmedUntil(failed, 1000);
          EXPECT_TRUE(runArmedUntil([&] { return failed() || model().autoState().autoCode == 0; }, 600000));
        } else {
          EXPECT_TRUE(runArmedUntil([&] {
            return failed() || (model().opState() == 28 && !Globals::seq().OpRunning());
          }, 400000));
        }
    }
    ticksFor(3000);
  }

  void healAndReconnect() {
    armAtRequest_ = 0;
    armAtAddress_ = 0;
    serial->spoilNextChunk(0);
    serial->Plug();
    rig.setSettings({});
    rig.reset();
    messages.clear();
    EXPECT_TRUE(connect()) << "the next Connect";
    EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(model().RigVelaProp_EditEnabled());
    EXPECT_GE(rig.receivedCount(0xE2), 1u);
  }

  Phase phase_;
  Fault fault_;
  TransceiverSettings healthy_;
  TransceiverSettings armed_;
  int armAtRequest_ = 0;
  int32_t armAtAddress_ = 0;
  bool spoiled_ = false;
  int readRequests_ = 0;
  bool struck_ = false;
  int readRequestsAtStrike_ = 0;
};

// A short name for a message by its first line.
const std::pair<const char*, const char*> kShortNames[] = {
    {"none", "tol"}, {"Cannot access COM 1.", "COM1"}, {"COM buffer overflow.", "ovfl"},
    {"Cannot access COM port", "echo"}, {"No answer from transceiver.", "noans"}, {"Illegal data.", "illeg"},
    {"Data counter error.", "count"}, {"Communication failed.", "comm"}, {"Cannot Clone.", "clone"},
    {"Version number does not match", "vers"}, {"Connected transceiver is not compatible model.", "model"}};
std::string shortName(const std::string& seen) {
  for (const auto& [text, brief] : kShortNames) if (seen == text) return brief;
  return "?";
}

// Faults down, phases across: the message each cell showed (tol: none, the fault was
// tolerated; -: skipped), then the reasons for the skipped cells and the failed cells.
void printMatrix(const std::vector<CellResult>& results) {
  int passed = 0, total = 0;
  std::printf("\n%-18s", "fault \\ phase");
  for (const auto& phase : kPhases) std::printf(" %-6s", phase[1]);
  for (size_t i = 0; i < results.size(); ++i) {
    const CellResult& r = results[i];
    if (i % std::size(kPhases) == 0) std::printf("\n%-18s", name(r.fault));  // a fault's row
    std::printf(" %-6s", r.skipped ? "-" : (shortName(r.seen) + (r.passed ? "" : "!")).c_str());
  }
  std::printf("\n");
  for (const auto& [text, brief] : kShortNames) std::printf("%s: %s\n", brief, text);
  std::printf("a ! marks a failed cell.\n");
  // Skipped cells, one line per fault and reason.
  std::map<std::pair<Fault, std::string>, std::string> skipped;  // the phases, each after ", "
  for (const CellResult& r : results) {
    if (r.skipped) skipped[{r.fault, r.skipped}] += std::string(", ") + name(r.phase);
  }
  for (const auto& [cause, phases] : skipped) {
    std::printf("skipped: %s at %s: %s\n", name(cause.first), phases.c_str() + 2, cause.second.c_str());
  }
  for (const CellResult& r : results) {
    if (r.skipped) continue;
    ++total;
    passed += r.passed;
    if (!r.passed) std::printf("FAILED: %s at %s: %s\n", name(r.fault), name(r.phase), r.seen.c_str());
  }
  std::printf("%d/%d cells\n", passed, total);
  std::fflush(stdout);
}

TEST(FaultMatrix, EveryFaultAtEveryPhase) {
  std::vector<CellResult> results;
  for (size_t fi = 0; fi < std::size(kFaults); ++fi) {
    for (size_t pi = 0; pi < std::size(kPhases); ++pi) {
      const auto f = static_cast<Fault>(fi);
      const auto p = static_cast<Phase>(pi);
      const Expect want = expected(f, p);
      if (want.skipped) {
        results.push_back({p, f, want.skipped, false, {}});
        continue;
      }
      SCOPED_TRACE(std::string(name(f)) + " at " + name(p));
      std::string seen;
      const bool ok = FaultCell(p, f).run(want, seen);
      results.push_back({p, f, nullptr, ok, seen});
    }
  }
  printMatrix(results);
}

}  // namespace
