#pragma once
// A serial control under the test's hand: it opens unless told to fail (or the
// device is gone, or the settings are ones the real control refuses), keeps what was
// written while open, and hands back what the test makes it receive.
#include <string>
#include <utility>
#include <vector>

#include "LineSettings.h"
#include "SerialControl.h"

class FakeSerialControl : public SerialControl {
 public:
  bool PortOpen() const override { return open; }
  bool setPortOpen(bool v) override {
    if (v == open) return true;
    if (v && (failOpen || !present || !LineSettings::Parse(Settings()))) return false;
    if (v) openedWith.emplace_back(CommPort(), Settings());
    rx.clear();  // what came while closed, or was left at closing, is gone
    open = v;
    return true;
  }
  int32_t InBufferCount() const override { return open ? static_cast<int32_t>(rx.size()) : 0; }
  int32_t OutBufferCount() const override { return open ? outBufferCount : 0; }
  bool ClearOutBuffer() override {
    ++clears;
    if (failClear) return false;
    outBufferCount = 0;
    return true;
  }
  Bytes Input() override {
    Bytes taken;
    if (open) taken.swap(rx);
    return taken;
  }
  void Output(const Bytes& bytes) override {
    if (open) tx.push_back(bytes);
  }

  // Bytes arrive on the line; a line error (a CommEvent code) in the same chunk is
  // raised first, as the real control does; then the receive event when raise is true.
  void receive(const Bytes& bytes, bool raise = true, int16_t lineError = 0) {
    if (!open) return;
    rx.insert(rx.end(), bytes.begin(), bytes.end());
    if (lineError != 0) raiseComm(lineError);
    if (raise) raiseComm(comEvReceive);
  }
  void event(int16_t commEvent) { raiseComm(commEvent); }
  // The device goes away (and stays away until present is set again).
  void vanish() {
    present = false;
    if (!open) return;
    open = false;
    raiseVanished();
  }

  bool open = false;
  bool present = true;
  bool failOpen = false;
  bool failClear = false;
  int32_t outBufferCount = 0;
  int clears = 0;
  Bytes rx;
  std::vector<Bytes> tx;
  std::vector<std::pair<int16_t, std::string>> openedWith;
};
