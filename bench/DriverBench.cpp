// Frame driver throughput: a whole clone stream fed in 48-byte chunks and as one
// chunk. Prints bytes per second for each and the per-byte cost ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "Frames.h"
#include "FakeLinkPort.h"
#include "clsCmcEeprom.h"
#include "clsCmcLnk3Drv.h"

namespace {

// Echo of the request, every 16-byte block of the image, and the end frame.
Bytes cloneStream(const Bytes& request) {
  Bytes stream = request;
  uint8_t count = 0;
  for (uint32_t adr = 0; adr < 32112; adr += 16, ++count) {
    Bytes data(16);
    for (size_t i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>((adr + i) * 7);
    const Bytes f = Frames::frame(Frames::cloneDataBody(static_cast<uint16_t>(adr), data));
    stream.insert(stream.end(), f.begin(), f.end());
  }
  const Bytes end = Frames::frame(Frames::cloneEndBody(count));
  stream.insert(stream.end(), end.begin(), end.end());
  return stream;
}

struct Reader {
  FakeLinkPort port;
  clsCmcEeprom image;
  Bytes stream;

  Reader() {
    port.open = true;
    port.drv.setmyEep(&image);
    startRead();
    stream = cloneStream(port.written.back());
  }
  // Identification first: the clone data count starts at its answer.
  void startRead() {
    port.drv.Reset();
    port.drv.setworkMode(1);
    port.drv.Send(Common::HexStrToBin("E029280000"));
    port.drv.read(port.written.back());
    port.drv.read(Frames::frame(Frames::identificationBody()));
    port.drv.setworkMode(2);
    port.drv.Send(Common::HexStrToBin("E229280100"));
    port.written.erase(port.written.begin(), port.written.end() - 1);
  }
  // One whole clone read; false if the driver did not finish cleanly.
  bool readAll(size_t chunk) {
    startRead();
    for (size_t pos = 0; pos < stream.size(); pos += chunk)
      port.drv.read(stream.data() + pos, std::min(chunk, stream.size() - pos));
    return !port.drv.Running() && port.drv.nowError() == 0;
  }
};

void runChunked(benchmark::State& state, size_t chunk) {
  Reader r;
  for (auto _ : state) {
    if (!r.readAll(chunk)) state.SkipWithError("clone read did not complete");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(r.stream.size()));
}

void BM_CloneStream48ByteChunks(benchmark::State& state) { runChunked(state, 48); }
void BM_CloneStreamOneChunk(benchmark::State& state) { runChunked(state, SIZE_MAX); }
BENCHMARK(BM_CloneStream48ByteChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloneStreamOneChunk)->Unit(benchmark::kMillisecond);

double secondsPerRead(size_t chunk) {
  Reader r;
  const int reps = 50;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) r.readAll(chunk);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / reps;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const double chunked = secondsPerRead(48);
  const double whole = secondsPerRead(SIZE_MAX);
  const double bytes = static_cast<double>(Reader().stream.size());
  std::printf("clone stream %.0f bytes: 48-byte chunks %.1f MB/s, one chunk %.1f MB/s, ratio one/chunked per byte %.2f\n",
              bytes, bytes / chunked / 1e6, bytes / whole / 1e6, whole / chunked);
  benchmark::Shutdown();
  return 0;
}
