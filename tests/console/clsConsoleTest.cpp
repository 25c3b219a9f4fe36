#include <gtest/gtest.h>

#include <QListWidget>
#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "ConsoleEvents.h"
#include "SimLinkPort.h"
#include "clsCmcEeprom.h"
#include "clsConsole.h"

namespace {

// Stands in for the model: records every event and wait request.
struct RecordingModel : ConsoleEvents {
  struct Call {
    char kind;  // 'D' display, 'S' send, 'E' Enter
    int16_t index, evNo, val;
  };
  std::string ConsEv_Disp(clsConsole&, int16_t index, int16_t evNo, int16_t val) override {
    calls.push_back({'D', index, evNo, val});
    return "event " + std::to_string(val);
  }
  void ConsEv_SendE8(clsConsole&, int16_t index, int16_t evNo, int16_t val) override {
    calls.push_back({'S', index, evNo, val});
  }
  void ConsEv_Enter(clsConsole&, int16_t index, int16_t evNo, int16_t val) override {
    calls.push_back({'E', index, evNo, val});
  }
  void setWaitE8Required(int32_t ms) override { waits.push_back(ms); }
  size_t count(char kind) const { return static_cast<size_t>(std::ranges::count(calls, kind, &Call::kind)); }
  std::vector<Call> calls;
  std::vector<int32_t> waits;
};

class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() : seq(port, radio, client) {
    console.setmyListBox(&list);
    console.setmyEventClass(&model);
    console.setmyLnk3Seq(&seq);
    console.setmyEeprom(&eeprom);
  }
  // One row with the given limits and value, its flags cleared.
  int16_t row(int16_t min, int16_t max, int16_t value, bool loop = false) {
    console.AddItem();
    const auto i = static_cast<int16_t>(console.ListCount() - 1);
    console.setMin(i, min);
    console.setMax(i, max);
    console.setValue(i, value);
    console.setLoopVal(i, loop);
    console.setflgChanged(i, false);
    return i;
  }
  std::string line(int i) const { return list.item(i)->text().toStdString(); }

  FakeClock clock;
  FakeLinkPort port;
  clsCmcRadio radio;
  RecordingClient client;
  clsCmcLnk3Sequence seq;
  clsCmcEeprom eeprom;
  QListWidget list;
  RecordingModel model;
  clsConsole console;
};

TEST_F(ConsoleTest, DefaultTextsAndBars) {
  const struct {
    const char* title;
    int16_t min, max, value;
    bool bar;
    const char* text;
  } cases[] = {
      {"       REF", 0, 255, 7, true, "       REF:   7 [#-------------------]"},
      {" Pow(H CB)", 0, 255, 128, true, " Pow(H CB): 128 [##########----------]"},
      {" Pow(H CB)", 0, 255, 0, true, " Pow(H CB):   0 [--------------------]"},
      {" Pow(H CB)", 0, 255, 255, true, " Pow(H CB): 255 [####################]"},
      {"    CH No.", -10, 10, -5, false, "    CH No.:  -5"},
      {"     wide", -32768, 32767, 12345, false, "     wide:2345"},
      {"     wide", -32768, 32767, -1000, false, "     wide:1000"},
      {"      half", 0, 8, 1, true, "      half:   1 [##------------------]"},  // 2.5 -> 2
      {"      half", 0, 8, 3, true, "      half:   3 [########------------]"},  // 7.5 -> 8
      {"      flat", 5, 5, 5, true, "      flat:   5 [--------------------]"},
      {"      huge", -32768, 32767, 32767, true, "      huge:2767 [####################]"},
  };
  for (const auto& c : cases) {
    const int16_t i = row(c.min, c.max, c.value);
    console.setBarExist(i, c.bar);
    console.setTitle(i, c.title);
    EXPECT_EQ(console.DefaultString(i), c.text) << c.title << " " << c.value;
    EXPECT_EQ(line(i), c.text);
    EXPECT_EQ(console.BarString(i).size(), 23u) << "\" [\", twenty marks, \"]\"";
  }
}

TEST_F(ConsoleTest, SteppingLoopsOnlyFromTheLimitAndStaysInside) {
  const struct {
    int16_t min, max, value;
    bool loop;
    int16_t stp, expected;
  } cases[] = {
      {0, 10, 10, true, 1, 0},     {0, 10, 0, true, -1, 10},     {0, 10, 8, true, 5, 10},
      {0, 10, 2, true, -5, 0},     {0, 10, 10, false, 1, 10},    {0, 10, 0, false, -5, 0},
      {0, 255, 4, false, 5, 9},    {0, 255, 4, false, -1, 3},    {-32768, 32767, 32767, false, 5, 32767},
      {-32768, 32767, -32768, false, -5, -32768},                {-32768, 32767, 32767, true, 1, -32768},
  };
  for (const auto& c : cases) {
    const int16_t i = row(c.min, c.max, c.value, c.loop);
    console.UpDown(i, c.stp);
    EXPECT_EQ(console.Value(i), c.expected) << c.min << ".." << c.max << " from " << c.value << " by " << c.stp;
    EXPECT_TRUE(console.flgChanged(i)) << "every step is sent, also one that did not move";
  }
}

TEST_F(ConsoleTest, LimitsCrossingPullTheOtherLimitAndTheValue) {
  const int16_t up = row(0, 100, 50);
  console.setMin(up, 120);
  EXPECT_EQ(std::make_pair(console.Max(up), console.Value(up)), std::make_pair(int16_t{120}, int16_t{120}));
  const int16_t down = row(10, 100, 50);
  console.setMax(down, 5);
  EXPECT_EQ(std::make_tuple(console.Min(down), console.Value(down), line(down)), std::make_tuple(5, 5, ":   5"));
  EXPECT_FALSE(console.flgChanged(down)) << "a limit is no value set";
}

TEST_F(ConsoleTest, ValueSetRedrawsOnlyAMoveButAlwaysMarksChanged) {
  const int16_t i = row(0, 255, 10);
  console.setEvent_Disp(i, 6);
  const size_t drawn = model.count('D');
  EXPECT_EQ(line(i), "event 10");
  console.setValue(i, 10);
  EXPECT_EQ(model.count('D'), drawn);
  EXPECT_TRUE(console.flgChanged(i));
  console.setValue(i, 11);
  EXPECT_GT(model.count('D'), drawn);
  EXPECT_EQ(model.calls.back().evNo, 6);
  EXPECT_EQ(line(i), "event 11");
  console.setE8Command(i, 3);
  console.setEeAdr(i, 9);
  console.setBarExist(i, true);
  EXPECT_EQ(model.calls.back().val, 11);
  const size_t afterPlainSets = model.count('D');
  console.setflgChanged(i, true);
  EXPECT_EQ(model.count('D'), afterPlainSets + 1);
}

TEST_F(ConsoleTest, ImageBytesSignedAndUnsigned) {
  const struct {
    uint8_t stored;
    bool isSigned;
    int16_t min, value;
  } cases[] = {{240, true, -128, -16}, {240, false, -128, 240}, {127, true, -128, 127},
                        {128, true, -128, -128}, {240, true, 0, 0}};
  int32_t adr = 100;
  for (const auto& c : cases) {
    const int16_t i = row(c.min, 255, 1);
    console.setEeAdr(i, adr);
    console.setEeDataSigned(i, c.isSigned);
    eeprom.WriteByte(adr, c.stored);
    console.ReadFromEe(i);
    EXPECT_EQ(console.Value(i), c.value) << int(c.stored);
    EXPECT_TRUE(console.flgChanged(i));
    eeprom.WriteByte(adr, 0);
    console.WriteToEe(i);
    EXPECT_EQ(eeprom.ReadByte(adr), static_cast<uint8_t>(c.value));
    ++adr;
  }
  const int16_t unsignedRow = row(-128, 127, -16);
  console.setEeAdr(unsignedRow, 300);
  console.WriteToEe(unsignedRow);
  EXPECT_EQ(eeprom.ReadByte(300), 240);
  const int16_t noByte = row(0, 255, 77);
  eeprom.WriteByte(0, 5);
  console.ReadFromEe(noByte);
  console.WriteToEe(noByte);
  EXPECT_EQ(std::make_tuple(console.Value(noByte), eeprom.ReadByte(0)), std::make_tuple(77, 5));
}

TEST_F(ConsoleTest, SendBuildsTheCommandTextWaitsAndStores) {
  const struct {
    int16_t command, value;
    const char* text;
  } cases[] = {{9, 200, "094338"}, {5, 122, "053741"}, {16, -3, "104644"}, {0x14, 0, "143030"}};
  for (const auto& c : cases) {
    const int16_t i = row(-128, 255, c.value);
    console.setE8Command(i, c.command);
    console.setEeAdr(i, 173);
    console.setWaitAfterE8(i, 500 + i);
    console.SendE8(i);
    EXPECT_EQ(std::make_tuple(seq.e8HexStrToSend(), seq.Operation()), std::make_tuple(c.text, 4));
    ASSERT_FALSE(model.waits.empty());
    EXPECT_EQ(model.waits.back(), 500 + i);
    EXPECT_EQ(eeprom.ReadByte(173), static_cast<uint8_t>(c.value));
  }
  EXPECT_EQ(model.count('S'), 0u);
}

TEST_F(ConsoleTest, SendByEventOrNotAtAllStillStores) {
  const int16_t byEvent = row(0, 255, 33);
  console.setEvent_SendE8(byEvent, 0);
  console.setE8Command(byEvent, 9);
  console.setEeAdr(byEvent, 50);
  console.SendE8(byEvent);
  ASSERT_EQ(model.count('S'), 1u);
  EXPECT_EQ(model.calls.back().val, 33);
  EXPECT_EQ(seq.e8HexStrToSend(), "");
  EXPECT_TRUE(model.waits.empty());
  EXPECT_EQ(eeprom.ReadByte(50), 33);

  const int16_t silent = row(0, 255, 44);
  console.setEeAdr(silent, 51);
  console.SendE8(silent);
  EXPECT_EQ(std::make_tuple(seq.e8HexStrToSend(), model.count('S'), eeprom.ReadByte(51)), std::make_tuple("", 1u, 44));
}

TEST_F(ConsoleTest, OneEnterPendingAndExecutedOnlyWithAnEvent) {
  const int16_t a = row(0, 255, 1);
  const int16_t b = row(0, 255, 2);
  console.setEvent_Enter(b, 7);
  console.EnterPushed(a);
  console.EnterPushed(b);
  EXPECT_EQ(std::make_pair(console.flgEnterOn(a), console.flgEnterOn(b)), std::make_pair(false, true));
  list.item(a)->setText("untouched");
  console.EnterExec(a);
  EXPECT_EQ(model.count('E'), 0u);
  EXPECT_EQ(line(a), "untouched");
  list.item(b)->setText("stale");
  console.EnterExec(b);
  ASSERT_EQ(model.count('E'), 1u);
  EXPECT_EQ(model.calls.back().evNo, 7);
  EXPECT_EQ(line(b), ":   2");
  EXPECT_TRUE(console.flgEnterOn(b)) << "the task clears the flag, not the execution";
}

TEST_F(ConsoleTest, AddingToALongerListDrawsOnlyTheNewLine) {
  for (const char* text : {"a", "b", "c", "d"}) list.addItem(text);
  console.AddItem();
  console.AddItem();
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(std::make_tuple(line(0), line(1), line(2), line(3)), std::make_tuple(":   0", ":   0", "c", "d"));
  console.Clear();
  EXPECT_EQ(console.ListCount(), 0);
  EXPECT_EQ(list.count(), 0);
  console.AddItem();
  EXPECT_EQ(list.count(), 1);
}

}  // namespace
