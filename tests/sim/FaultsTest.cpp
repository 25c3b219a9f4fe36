// Every fault switch against one fixed session: its effect must show when it is on
// and must not show on a rig without faults. The answer delay and the split writes
// are seen in PacingTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "MemoryImageBuilder.h"
#include "PcWire.h"

using pcwire::Bench;

namespace {

// Answer frames: E1 is 1, the E4 frames 2..2008, E5 2009, the readings 2010 and 2011.
const std::vector<Bytes> kSession{pcwire::identify(), pcwire::cloneRead(),
                                  pcwire::adjust(0x03, 0), pcwire::adjust(0x03, 0)};

struct Session {
  explicit Session(const TransceiverSettings& s) {
    Bench bench(s);
    for (const Bytes& sent : kSession) back.push_back(bench.exchange(sent));
  }
  std::vector<Bytes> back;  // what came back for each request
  Bytes answer(size_t i) const { return pcwire::afterEcho(back[i], kSession[i]).value_or(Bytes{}); }
  // A body of the answer; a blank one where there is none.
  Bytes body(size_t i, size_t frame = 0) const {
    const auto frames = pcwire::bodies(answer(i));
    return frame < frames.size() ? frames[frame] : Bytes(14, 0);
  }
};

bool framingFree(const Bytes& b) {
  return std::none_of(b.begin(), b.end(), [](uint8_t c) { return c == 0xFE || c == 0xFD; });
}
bool startsFrame(const Bytes& b) { return !b.empty() && b.front() == 0xFE; }

// Each fault switch, and what shows that it is on.
const struct {
  const char* name;
  TransceiverSettings settings;
  std::function<bool(const Session&)> seen;
} kFaults[]{
    {"no echo", {.noEcho = true},
     [](const Session& r) {
       return !pcwire::afterEcho(r.back[0], kSession[0]) && r.back[0].size() == 72 &&
              pcwire::commands(r.back[0]) == Bytes{0xE1};
     }},
    {"no answer", {.noAnswer = true}, [](const Session& r) { return r.back == kSession; }},
    {"corrupt E1", {.corruptAnswerFrame = 1},
     [](const Session& r) {
       return r.answer(0).size() == 72 && r.body(0).size() == 69 && r.body(0)[7] != 62 &&
              pcwire::decodeClone(r.answer(1)).badChecksums.empty();
     }},
    {"corrupt E4", {.corruptAnswerFrame = 3},
     [](const Session& r) {
       return pcwire::decodeClone(r.answer(1)).badChecksums == std::vector<int>{2};
     }},
    {"corrupt E5", {.corruptAnswerFrame = 2009},
     [](const Session& r) {
       const Bytes e5 = r.body(1, 2007);
       return e5.size() == 14 && e5[2] == 0xE5 && e5[3] != 0x54;
     }},
    {"corrupt reading", {.corruptAnswerFrame = 2010},
     [](const Session& r) {
       return pcwire::digitsValue(r.body(2), 9, 10) < 0 &&
              pcwire::digitsValue(r.body(3), 9, 10) >= 0;
     }},
    {"bad checksum", {.badChecksumAnswerFrame = 5},
     [](const Session& r) {
       const pcwire::Clone clone = pcwire::decodeClone(r.answer(1));
       return clone.badChecksums == std::vector<int>{4} &&
              clone.image == MemoryImageBuilder().build();  // the data digits are intact
     }},
    {"wrong E5 count", {.wrongE5Count = true},
     [](const Session& r) { return pcwire::digitsValue(r.body(1, 2007), 13, 14) == 2008 % 256; }},
    {"wrong source", {.answerSource = 0xEA},
     [](const Session& r) {
       size_t frames = 0;
       for (size_t i = 0; i < kSession.size(); ++i) {
         for (const Bytes& body : pcwire::bodies(r.answer(i))) frames += body.at(1) == 0xEA;
       }
       return frames == 2011;
     }},
    {"noise", {.noiseBeforeAnswer = 5},
     [](const Session& r) {
       const Bytes e1 = r.answer(0), clone = r.answer(1);
       size_t frameBytes = 0;
       for (const Bytes& body : pcwire::bodies(clone)) frameBytes += body.size() + 3;
       return e1.size() == 77 && framingFree(Bytes(e1.begin(), e1.begin() + 5)) && e1[5] == 0xFE &&
              clone.size() == frameBytes + 5 * 2008 &&
              pcwire::decodeClone(clone).badChecksums.empty();
     }},
    {"stop", {.stopAfterE4 = 10},
     [](const Session& r) {
       return pcwire::commands(r.answer(1)) == Bytes(10, 0xE4) &&
              pcwire::commands(r.answer(2)) == Bytes{0xE8};
     }},
    {"hang up", {.hangUpAfterE4 = 10},  // and hears nothing more, not even its echo
     [](const Session& r) {
       return pcwire::commands(r.answer(1)) == Bytes(10, 0xE4) && r.back[2].empty();
     }},
    {"flood", {.floodBytes = 40000, .floodAfterRequest = 2},
     [](const Session& r) {
       const Bytes clone = r.answer(1);
       return clone.size() > 40000 && framingFree(Bytes(clone.begin(), clone.begin() + 40000)) &&
              startsFrame(Bytes(clone.begin() + 40000, clone.end())) &&
              pcwire::decodeClone(clone).image == MemoryImageBuilder().build() &&
              startsFrame(r.answer(0)) && startsFrame(r.answer(2));  // once only
     }},
    {"no echo from request 3", {.noEcho = true, .faultsFromRequest = 3},
     [](const Session& r) {
       return pcwire::afterEcho(r.back[1], kSession[1]) && !pcwire::afterEcho(r.back[2], kSession[2]) &&
              pcwire::commands(r.back[2]) == Bytes{0xE8};
     }},
    {"no answer from request 3", {.noAnswer = true, .faultsFromRequest = 3},
     [](const Session& r) {
       return pcwire::commands(r.answer(1)).size() == 2008 && r.back[2] == kSession[2] &&
              r.back[3] == kSession[3];
     }},
    {"stop after the last E4", {.stopAfterE4 = 2007},
     [](const Session& r) { return pcwire::commands(r.answer(1)) == Bytes(2007, 0xE4); }},
    {"stray, then right", {.strayAnswerFrame = 2010},
     [](const Session& r) {
       const auto frames = pcwire::bodies(r.answer(2));
       return frames.size() == 2 && frames[0].at(1) == 0xE9 && frames[1].at(1) == 0xEE &&
              std::equal(frames[0].begin() + 2, frames[0].end(), frames[1].begin() + 2, frames[1].end());
     }},
    {"hang up after a reading", {.hangUpAfterFrame = 2010},
     [](const Session& r) { return pcwire::commands(r.answer(2)) == Bytes{0xE8} && r.back[3].empty(); }},
};

TEST(Faults, EachSwitchShowsItsEffectOnlyWhenOn) {
  const Session clean({});
  for (const auto& fault : kFaults) {
    EXPECT_TRUE(fault.seen(Session(fault.settings))) << fault.name;
    EXPECT_FALSE(fault.seen(clean)) << fault.name;
  }
}

}  // namespace
