#pragma once
// A whole connection against the virtual transceiver: the frames it received (E8
// frames as their command text, others as their command byte) with their times.
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "Common.h"
#include "Globals.h"
#include "MemoryImageBuilder.h"
#include "SimAppFixture.h"
#include "clsCmcLnk3Sequence.h"
#include "clsIndOp_RigVela.h"
#include "frmMain.h"

class ConnectionFixture : public SimAppFixture {
 protected:
  struct Sent { int64_t ms; std::string text; };

  ConnectionFixture() {
    rig.setTraceHandler([this](const VirtualTransceiver::TraceEvent& e) {
      if (e.direction == VirtualTransceiver::TraceEvent::Direction::FromPc) sent.push_back({e.timeUs / 1000, describe(e.bytes)});
    });
  }

  // FE FE EE EF cmd [model sub text] FD
  static std::string describe(const Bytes& f) {
    if (f.size() < 6) return "?";
    if (f[4] != 0xE8) return hex(f.data() + 4, 1);
    return f.size() > 10 ? hex(f.data() + 9, f.size() - 10) : "?";
  }
  static std::string hex(const uint8_t* p, size_t n) { return Common::BinToHexStr(p, n); }
  // An adjustment command as it travels: command, then the ASCII codes of the value's hex digits.
  static std::string e8(int command, int value) {
    return Common::ByteToHexStr(static_cast<int16_t>(command)) + Common::ByteToAscHexStr(static_cast<int16_t>(value));
  }

  void loadImage(const Bytes& image) {
    for (size_t a = 0; a < image.size(); ++a) rig.setMemoryByte(static_cast<int32_t>(a), image[a]);
  }
  bool runUntil(const std::function<bool()>& done, int32_t limitMs = 300000) {
    for (int32_t t = 0; t < limitMs; t += 50) {
      if (done()) return true;
      tick();
    }
    return done();
  }
  // Connects and runs until the first service cycle has read every value.
  bool connect() {
    model().RigOpFunc_ClickCmd00(0);
    const bool ok = runUntil([] { return model().RigVelaProp_EditEnabled() && !model().taskState().reloadThisCycle; }) &&
                    runUntil([] { return model().opState() == 28 && !Globals::seq().OpRunning(); });
    ticksFor(1000);
    return ok;
  }
  // A key on a console row, then the ticks of msAfter.
  void press(int r, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, int32_t msAfter = 1000) {
    QListWidget& list = Globals::mainWindow().lboConsole();
    list.setCurrentRow(r);
    QTest::keyClick(&list, key, mods);
    ticksFor(msAfter);
  }
  static clsIndOp_RigVela& model() { return Globals::model(); }
  static std::string row(QListWidget& list, int i) {
    return list.item(i) ? list.item(i)->text().toStdString() : std::string("<none>");
  }
  static ::testing::AssertionResult holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
  }
  std::vector<std::string> textsFrom(size_t first) const {
    std::vector<std::string> out;
    for (size_t i = first; i < sent.size(); ++i) out.push_back(sent[i].text);
    return out;
  }

  std::vector<Sent> sent;
};
