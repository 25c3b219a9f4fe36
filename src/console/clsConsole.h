#pragma once
// The technician's list of adjustment rows, mirrored line by line in a list box.
// Sets keep every row inside its limits and redraw it; the model takes over rows
// that carry event numbers.
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ConsoleItem.h"

class QListWidget;
class ConsoleEvents;
class clsCmcLnk3Sequence;
class clsCmcEeprom;

class clsConsole {
 public:
  static constexpr int16_t DefaultBarWidth = 20;

  void setmyListBox(QListWidget* list);
  void setmyEventClass(ConsoleEvents* events) { myEventClass_ = events; }
  void setmyLnk3Seq(clsCmcLnk3Sequence* seq) { myLnk3Seq_ = seq; }
  void setmyEeprom(clsCmcEeprom* eeprom) { myEeprom_ = eeprom; }
  QListWidget* myListBox() const;

  void Clear();
  void AddItem();
  int16_t ListCount() const { return static_cast<int16_t>(items_.size()); }

  const std::string& Title(int16_t Index) const { return at(Index).Title; }
  void setTitle(int16_t Index, const std::string& v);
  int16_t Value(int16_t Index) const { return at(Index).Value; }
  void setValue(int16_t Index, int16_t v);
  int16_t Min(int16_t Index) const { return at(Index).Min; }
  void setMin(int16_t Index, int16_t v);
  int16_t Max(int16_t Index) const { return at(Index).Max; }
  void setMax(int16_t Index, int16_t v);
  bool BarExist(int16_t Index) const { return at(Index).BarExist; }
  void setBarExist(int16_t Index, bool v) { at(Index).BarExist = v; }
  bool LoopVal(int16_t Index) const { return at(Index).LoopVal; }
  void setLoopVal(int16_t Index, bool v) { at(Index).LoopVal = v; }
  int32_t WaitAfterE8(int16_t Index) const { return at(Index).WaitAfterE8; }
  void setWaitAfterE8(int16_t Index, int32_t v) { at(Index).WaitAfterE8 = v; }
  bool flgChanged(int16_t Index) const { return at(Index).flgChanged; }
  void setflgChanged(int16_t Index, bool v);
  bool flgEnterOn(int16_t Index) const { return at(Index).flgEnterOn; }
  void setflgEnterOn(int16_t Index, bool v);
  int32_t EeAdr(int16_t Index) const { return at(Index).EeAdr; }
  void setEeAdr(int16_t Index, int32_t v) { at(Index).EeAdr = v; }
  bool EeDataSigned(int16_t Index) const { return at(Index).EeDataSigned; }
  void setEeDataSigned(int16_t Index, bool v) { at(Index).EeDataSigned = v; }
  int16_t E8Command(int16_t Index) const { return at(Index).E8Command; }
  void setE8Command(int16_t Index, int16_t v) { at(Index).E8Command = v; }
  int16_t Event_Disp(int16_t Index) const { return at(Index).Event_Disp; }
  void setEvent_Disp(int16_t Index, int16_t v);
  int16_t Event_Changed(int16_t Index) const { return at(Index).Event_Changed; }
  void setEvent_Changed(int16_t Index, int16_t v) { at(Index).Event_Changed = v; }
  int16_t Event_SendE8(int16_t Index) const { return at(Index).Event_SendE8; }
  void setEvent_SendE8(int16_t Index, int16_t v) { at(Index).Event_SendE8 = v; }
  int16_t Event_Enter(int16_t Index) const { return at(Index).Event_Enter; }
  void setEvent_Enter(int16_t Index, int16_t v) { at(Index).Event_Enter = v; }

  std::string DefaultString(int16_t Index) const;
  std::string BarString(int16_t Index) const;
  void UpDown(int16_t Index, int16_t stp);
  void Disp(int16_t Index);
  void ReadFromEe(int16_t Index);
  void WriteToEe(int16_t Index);
  void SendE8(int16_t Index);
  void EnterPushed(int16_t Index);
  void EnterExec(int16_t Index);

  // The adjustment command text: command byte, then the ASCII codes of the
  // value's two hex digits (command 5, value 122: "053741").
  static std::string E8Text(int16_t command, int16_t value);

  // Told after a row's value went to the sequencer.
  std::function<void(int16_t Index)> OnSendE8;

 private:
  ConsoleItem& at(int16_t Index) { return items_.at(static_cast<size_t>(Index)); }
  const ConsoleItem& at(int16_t Index) const { return items_.at(static_cast<size_t>(Index)); }
  void LimitValue(int16_t Index);
  void setLine(int16_t Index, const std::string& text);

  std::vector<ConsoleItem> items_;
  int16_t barWidth_ = DefaultBarWidth;
  QPointer<QListWidget> myListBox_;
  ConsoleEvents* myEventClass_ = nullptr;
  clsCmcLnk3Sequence* myLnk3Seq_ = nullptr;
  clsCmcEeprom* myEeprom_ = nullptr;
};
