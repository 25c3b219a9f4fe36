#pragma once
// A serial control under the test's hand: it opens unless told to fail, keeps what
// was written, and hands back what the test makes it receive.
#include <string>
#include <utility>
#include <vector>

#include "SerialControl.h"

class FakeSerialControl : public SerialControl {
 public:
  bool PortOpen() const override { return open; }
  bool setPortOpen(bool v) override {
    if (v && failOpen) return false;
    if (v && !open) openedWith.emplace_back(CommPort(), Settings());
    open = v;
    return true;
  }
  int32_t InBufferCount() const override { return open ? static_cast<int32_t>(rx.size()) : 0; }
  int32_t OutBufferCount() const override { return outBufferCount; }
  bool ClearOutBuffer() override {
    ++clears;
    return !failClear;
  }
  Bytes Input() override {
    Bytes taken;
    taken.swap(rx);
    return taken;
  }
  void Output(const Bytes& bytes) override { tx.push_back(bytes); }

  // Bytes arrive on the line; the receive event follows when raise is true.
  void receive(const Bytes& bytes, bool raise = true) {
    if (!open) return;
    rx.insert(rx.end(), bytes.begin(), bytes.end());
    if (raise) raiseComm(comEvReceive);
  }
  void event(int16_t commEvent) { raiseComm(commEvent); }
  void vanish() {
    open = false;
    raiseVanished();
  }

  bool open = false;
  bool failOpen = false;
  bool failClear = false;
  int32_t outBufferCount = 0;
  int clears = 0;
  Bytes rx;
  std::vector<Bytes> tx;
  std::vector<std::pair<int16_t, std::string>> openedWith;
};
