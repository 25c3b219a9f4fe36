#pragma once
// What the console asks of the model object: the text, the sending and the Enter
// action of rows with an event number, and the pause after an adjustment command.
#include <cstdint>
#include <string>

class clsConsole;

class ConsoleEvents {
 public:
  virtual ~ConsoleEvents() = default;

  virtual std::string ConsEv_Disp(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) = 0;
  virtual void ConsEv_SendE8(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) = 0;
  virtual void ConsEv_Enter(clsConsole& objConsole, int16_t Index, int16_t evNo, int16_t val) = 0;
  virtual void setWaitE8Required(int32_t ms) = 0;
};
