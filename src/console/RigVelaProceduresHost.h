#pragma once
// What the automatic procedures need of the model around them: the link's state,
// the A/D reader, single adjustment commands, the image and the console rows.
#include <cstdint>
#include <string>

class clsConsole;

class RigVelaProceduresHost {
 public:
  virtual ~RigVelaProceduresHost() = default;

  virtual bool SequencerBusy() const = 0;
  // One step of reading an A/D slot; true when the reading has ended.
  virtual bool ReadAD(int16_t slot, bool firstPass) = 0;
  virtual int16_t AdLast(int16_t slot) const = 0;
  // A reading has ended with a malformed answer; the model resets next.
  virtual bool ReadingFailed() const = 0;
  virtual void SendE8NoAnswer(const std::string& e8Text) = 0;
  virtual void WriteImageByte(int32_t adr, int16_t value) = 0;
  // Sends a row's value as the technician's changes are sent.
  virtual void SendItem(int16_t index) = 0;
  virtual clsConsole& Console() = 0;
  // Ends any procedure and returns the rows to rest.
  virtual void AutoReset() = 0;
};
