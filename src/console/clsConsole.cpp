#include "clsConsole.h"

#include <QListWidget>
#include <algorithm>
#include <cmath>

#include "Common.h"
#include "ConsoleEvents.h"
#include "clsCmcEeprom.h"
#include "clsCmcLnk3Sequence.h"

void clsConsole::setmyListBox(QListWidget* list) { myListBox_ = list; }

QListWidget* clsConsole::myListBox() const { return myListBox_; }

void clsConsole::Clear() {
  items_.clear();
  barWidth_ = DefaultBarWidth;
  if (myListBox_) myListBox_->clear();
}

void clsConsole::AddItem() {
  items_.emplace_back();
  if (myListBox_) {
    while (myListBox_->count() < ListCount()) myListBox_->addItem(QString());
  }
  Disp(static_cast<int16_t>(ListCount() - 1));
}

void clsConsole::setTitle(int16_t Index, const std::string& v) {
  at(Index).Title = v;
  Disp(Index);
}

void clsConsole::setValue(int16_t Index, int16_t v) {
  ConsoleItem& item = at(Index);
  const int16_t before = item.Value;
  item.Value = v;
  LimitValue(Index);
  if (item.Value != before) Disp(Index);
  item.flgChanged = true;
}

void clsConsole::setMin(int16_t Index, int16_t v) {
  ConsoleItem& item = at(Index);
  item.Min = v;
  if (item.Max < item.Min) item.Max = item.Min;
  LimitValue(Index);
  Disp(Index);
}

void clsConsole::setMax(int16_t Index, int16_t v) {
  ConsoleItem& item = at(Index);
  item.Max = v;
  if (item.Max < item.Min) item.Min = item.Max;
  LimitValue(Index);
  Disp(Index);
}

void clsConsole::setflgChanged(int16_t Index, bool v) {
  at(Index).flgChanged = v;
  if (v) {
    LimitValue(Index);
    Disp(Index);
  }
}

void clsConsole::setflgEnterOn(int16_t Index, bool v) {
  if (v) {
    for (ConsoleItem& item : items_) item.flgEnterOn = false;
  }
  at(Index).flgEnterOn = v;
}

void clsConsole::setEvent_Disp(int16_t Index, int16_t v) {
  at(Index).Event_Disp = v;
  Disp(Index);
}

void clsConsole::LimitValue(int16_t Index) {
  ConsoleItem& item = at(Index);
  const int16_t before = item.Value;
  if (item.Value < item.Min) item.Value = item.Min;
  if (item.Max < item.Value) item.Value = item.Max;
  if (item.Value != before) Disp(Index);
}

std::string clsConsole::DefaultString(int16_t Index) const {
  const ConsoleItem& item = at(Index);
  const std::string number = "   " + std::to_string(item.Value);
  std::string text = item.Title + ":" + number.substr(number.size() - 4);
  if (item.BarExist) text += BarString(Index);
  return text;
}

std::string clsConsole::BarString(int16_t Index) const {
  const ConsoleItem& item = at(Index);
  // Formed wide: a range the bar cannot show still gives a bar of full width.
  const double span = static_cast<double>(item.Max) - item.Min;
  const double k = std::nearbyint((static_cast<double>(item.Value) - item.Min) * barWidth_ / span);
  const int filled = std::isnan(k) ? 0 : static_cast<int>(std::clamp<double>(k, 0, barWidth_));
  return " [" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(barWidth_ - filled), '-') + "]";
}

void clsConsole::UpDown(int16_t Index, int16_t stp) {
  const ConsoleItem& item = at(Index);
  int32_t next = static_cast<int32_t>(item.Value) + stp;
  if (item.LoopVal) {
    if (item.Value >= item.Max && stp > 0) {
      next = item.Min;
    } else if (item.Value <= item.Min && stp < 0) {
      next = item.Max;
    }
  }
  // A step past the 16-bit range stops at its end; the limits then apply.
  setValue(Index, static_cast<int16_t>(std::clamp<int32_t>(next, INT16_MIN, INT16_MAX)));
}

void clsConsole::Disp(int16_t Index) {
  const ConsoleItem& item = at(Index);
  if (item.Event_Disp < 0 || myEventClass_ == nullptr) {
    setLine(Index, DefaultString(Index));
  } else {
    setLine(Index, myEventClass_->ConsEv_Disp(*this, Index, item.Event_Disp, item.Value));
  }
}

void clsConsole::setLine(int16_t Index, const std::string& text) {
  if (!myListBox_) return;
  QListWidgetItem* line = myListBox_->item(Index);
  if (line == nullptr) return;
  const QString shown = QString::fromStdString(text);
  if (line->text() != shown) line->setText(shown);
}

void clsConsole::ReadFromEe(int16_t Index) {
  const ConsoleItem& item = at(Index);
  if (item.EeAdr < 0 || myEeprom_ == nullptr) return;
  int16_t b = myEeprom_->ReadByte(item.EeAdr);
  if (item.EeDataSigned && b >= 128) b = static_cast<int16_t>(b - 256);
  setValue(Index, b);
}

void clsConsole::WriteToEe(int16_t Index) {
  const ConsoleItem& item = at(Index);
  if (item.EeAdr < 0 || myEeprom_ == nullptr) return;
  myEeprom_->WriteByte(item.EeAdr, static_cast<uint8_t>(static_cast<uint16_t>(item.Value) & 0xFF));
}

std::string clsConsole::E8Text(int16_t command, int16_t value) {
  return Common::ByteToHexStr(command) + Common::ByteToAscHexStr(value);
}

void clsConsole::SendE8(int16_t Index) {
  const ConsoleItem& item = at(Index);
  if (item.Event_SendE8 >= 0) {
    if (myEventClass_) myEventClass_->ConsEv_SendE8(*this, Index, item.Event_SendE8, item.Value);
    if (OnSendE8) OnSendE8(Index);
  } else if (item.E8Command >= 0) {
    if (myLnk3Seq_) myLnk3Seq_->easySendE8NoAnswer(E8Text(item.E8Command, item.Value));
    if (myEventClass_) myEventClass_->setWaitE8Required(item.WaitAfterE8);
    if (OnSendE8) OnSendE8(Index);
  }
  WriteToEe(Index);
}

void clsConsole::EnterPushed(int16_t Index) { setflgEnterOn(Index, true); }

void clsConsole::EnterExec(int16_t Index) {
  const ConsoleItem& item = at(Index);
  if (item.Event_Enter < 0) return;
  if (myEventClass_) myEventClass_->ConsEv_Enter(*this, Index, item.Event_Enter, item.Value);
  Disp(Index);
}
