#pragma once
// One console row: its value with limits, where it lives in the memory image,
// how it is sent, and the model events that take over its text, sending and Enter.
#include <cstdint>
#include <string>

struct ConsoleItem {
  std::string Title;
  int16_t Value = 0;
  int16_t Min = 0;
  int16_t Max = 255;
  bool BarExist = false;
  bool LoopVal = false;
  int32_t WaitAfterE8 = 200;
  int32_t EeAdr = -1;
  bool EeDataSigned = false;
  int16_t E8Command = -1;
  int16_t Event_Disp = -1;
  int16_t Event_Changed = -1;
  int16_t Event_SendE8 = -1;
  int16_t Event_Enter = -1;
  bool flgChanged = false;
  bool flgEnterOn = false;
};
