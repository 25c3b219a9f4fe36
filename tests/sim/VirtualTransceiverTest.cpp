#include <gtest/gtest.h>

#include <algorithm>

#include "Bench.h"
#include "ImageLayout.h"
#include "MemoryImageBuilder.h"

namespace {

TEST(Echo, EveryByteComesBackBeforeAnyAnswer) {
  Bench bench;
  const Bytes id = Frames::identify();
  // A frame split over two writes: echo only until it is complete.
  const Bytes head(id.begin(), id.begin() + 4), tail(id.begin() + 4, id.end());
  EXPECT_EQ(bench.exchange(head), head);
  auto rest = bench.ask(tail).value_or(Bytes{});
  EXPECT_EQ(Frames::commands(rest), Bytes{0xE1});
  EXPECT_EQ(rest.at(0), 0xFE) << "nothing between the echo and the answer";
  // Two frames in one write: both echoes, then both answers.
  EXPECT_EQ(Frames::commands(bench.ask(Frames::concat({id, id})).value_or(Bytes{})), (Bytes{0xE1, 0xE1}));
  // Noise, then a frame addressed elsewhere, then a clone write request: echo only.
  const Bytes stray{0x01, 0xFD, 0x30, 0xFE, 0xFE, 0xEF, 0xEE, 0xE0, 0x29, 0x28, 0x00, 0x00, 0xFD};
  EXPECT_EQ(bench.exchange(stray), stray);
  EXPECT_EQ(bench.exchange(Frames::pcFrame("E329280100")).size(), 10u);
}

TEST(CloneRead, StreamDecodesToExactlyTheImageAndItsFrameCount) {
  for (int n : {16, 7, 255}) {
    Bench bench({.cloneDataBytes = n});
    bench.adjust(0x05, 0x33);  // REF: the clone carries what was written before
    const auto rest = bench.ask(Frames::cloneRead());
    ASSERT_TRUE(rest.has_value());
    const Frames::Clone clone = Frames::decodeClone(*rest);
    Bytes expected = MemoryImageBuilder().build();
    expected[ImageLayout::kRef] = 0x33;
    const int frames = (32112 + n - 1) / n;  // 2007 of 16 bytes
    EXPECT_TRUE(clone.wellFormed) << n;
    EXPECT_TRUE(clone.badChecksums.empty()) << n;
    EXPECT_EQ(clone.e4Frames, frames) << n;
    EXPECT_TRUE(clone.image == expected) << n;
    // E5 comes last: the fixed text, then the number of E4 frames modulo 256.
    EXPECT_EQ(Frames::commands(*rest).back(), 0xE5) << n;
    EXPECT_EQ(clone.e5, Frames::cloneEndBody(static_cast<uint8_t>(frames % 256))) << n;
  }
}

TEST(Adjustment, ChannelStartAndNonHexDigitsLeaveMemoryAlone) {
  Bench bench;
  const Bytes expected = bench.rig.memory();
  bench.adjust(0x00, 10);
  bench.adjust(0x02, 1);
  bench.exchange(Frames::pcFrame("E829280100054731"));  // 05 'G' '1'
  EXPECT_TRUE(bench.rig.memory() == expected);
  // The console's own example: command 05 with value 122 travels as 05 37 41.
  bench.exchange({0xFE, 0xFE, 0xEE, 0xEF, 0xE8, 0x29, 0x28, 0x01, 0x00, 0x05, 0x37, 0x41, 0xFD});
  EXPECT_EQ(bench.rig.memoryByte(173), 122);
}

TEST(Reading, KnownCodesAnswerWithTheirValueOthersNotAtAll) {
  const Bytes known{0, 3, 4, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  Bench bench;
  bench.adjust(0x05, 0xA7);  // REF, read back as code 12
  for (int code = 0; code < 256; ++code) {
    const auto rest = bench.ask(Frames::adjust(0x03, static_cast<uint8_t>(code)));
    ASSERT_TRUE(rest.has_value()) << code;
    if (std::find(known.begin(), known.end(), code) == known.end()) {
      EXPECT_TRUE(rest->empty()) << code;
      continue;
    }
    // FE FE EF EE E8, identity, 03, two digits, FD
    EXPECT_EQ(*rest, Frames::frame(Frames::adjustAnswerBody(0x03, *bench.rig.reading(static_cast<uint8_t>(code)))));
  }
  EXPECT_EQ(bench.read(12), 0xA7);
}

}  // namespace
