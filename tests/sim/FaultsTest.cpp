// The fault switches the utility tolerates or that start late, against one fixed
// session: the effect must show when on and not on a rig without faults. The switches
// that end a connection with a message are seen through the fault matrix; the answer
// delay and the split writes in PacingTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "Bench.h"

namespace {

// Answer frames: E1 is 1, the E4 frames 2..2008, E5 2009, the readings 2010 and 2011.
const std::vector<Bytes> kSession{Frames::identify(), Frames::cloneRead(),
                                  Frames::adjust(0x03, 0), Frames::adjust(0x03, 0)};

struct Session {
  explicit Session(const TransceiverSettings& s) {
    Bench bench(s);
    for (const Bytes& sent : kSession) back.push_back(bench.exchange(sent));
  }
  std::vector<Bytes> back;  // what came back for each request
  Bytes answer(size_t i) const { return Frames::afterEcho(back[i], kSession[i]).value_or(Bytes{}); }
};

// Each fault switch, and what shows that it is on.
const struct {
  const char* name;
  TransceiverSettings settings;
  std::function<bool(const Session&)> seen;
} kFaults[]{
    {"noise", {.noiseBeforeAnswer = 5},
     [](const Session& r) {
       const Bytes e1 = r.answer(0), clone = r.answer(1);
       size_t frameBytes = 0;
       for (const Bytes& body : Frames::bodies(clone)) frameBytes += body.size() + 3;
       const auto framing = [](uint8_t c) { return c == 0xFE || c == 0xFD; };
       return e1.size() == 77 && std::none_of(e1.begin(), e1.begin() + 5, framing) && e1[5] == 0xFE &&
              clone.size() == frameBytes + 5 * 2008 &&
              Frames::decodeClone(clone).badChecksums.empty();
     }},
    {"hang up", {.hangUpAfterE4 = 10},  // and hears nothing more, not even its echo
     [](const Session& r) {
       return Frames::commands(r.answer(1)) == Bytes(10, 0xE4) && r.back[2].empty();
     }},
    {"no echo from request 3", {.noEcho = true, .faultsFromRequest = 3},
     [](const Session& r) {
       return Frames::afterEcho(r.back[1], kSession[1]) && !Frames::afterEcho(r.back[2], kSession[2]) &&
              Frames::commands(r.back[2]) == Bytes{0xE8};
     }},
    {"no answer from request 3", {.noAnswer = true, .faultsFromRequest = 3},
     [](const Session& r) {
       return Frames::commands(r.answer(1)).size() == 2008 && r.back[2] == kSession[2] &&
              r.back[3] == kSession[3];
     }},
    {"stray, then right", {.strayAnswerFrame = 2010},
     [](const Session& r) {
       const auto frames = Frames::bodies(r.answer(2));
       return frames.size() == 2 && frames[0].at(1) == 0xE9 && frames[1].at(1) == 0xEE &&
              std::equal(frames[0].begin() + 2, frames[0].end(), frames[1].begin() + 2, frames[1].end());
     }},
};

TEST(Faults, EachSwitchShowsItsEffectOnlyWhenOn) {
  const Session clean({});
  for (const auto& fault : kFaults) {
    EXPECT_TRUE(fault.seen(Session(fault.settings))) << fault.name;
    EXPECT_FALSE(fault.seen(clean)) << fault.name;
  }
}

}  // namespace
