#include "clsIndEep_RigVela.h"

#include <cstdio>
#include <string_view>

#include "NumberFormat.h"

namespace {

constexpr int32_t BaseFreqAdr = 80;
constexpr int32_t BaseFreqMaxKHz = 800000;
constexpr int32_t LsdAdr = 172;
constexpr int32_t MidFlagOffset = 37;
constexpr int32_t RecordModeOffset = 20;
constexpr int32_t Block2CbOffset = 4;
constexpr int32_t FreqSlantAdr = 124;
constexpr int32_t FreqSlantBandSize = 6;
constexpr int FreqSlantBands = 7;
constexpr int DumpRowLength = 16;
constexpr const char* NewLine = "\r\n";

// A single value line: fixed address, or another one when the "Mid" flag is set.
struct ValueLine {
  std::string_view label;
  int32_t adr;
  int32_t midAdr;  // -1: same address either way
  bool isSigned;
};

constexpr ValueLine LevelLines[] = {
    {"              POW H CB Level: ", 168, -1, false},
    {"             POW H Pri Level: ", 167, -1, false},
    {"                 POW L Level: ", 166, -1, false},
    {"                 BAL W Level: ", 99, 113, false},
    {"                 MOD W Level: ", 98, 112, false},
    {"             CTCS/DTCS Level: ", 83, -1, false},
    {"                   SQL Level: ", 184, -1, false},
    {"                   REF Level: ", 173, -1, false},
    {"              BPF Correction: ", 86, -1, false},
    {"                BPF T1 Level: ", 84, -1, false},
    {"                BPF T2 Level: ", 85, -1, false},
    {"                RX LVA Level: ", 92, -1, false},
    {"                TX LVA Level: ", 93, -1, false},
};

// Frequency slants: one line per band, the byte at the given offset within the band.
struct SlantGroup {
  std::string_view labelStem;  // followed by the band digit and ": "
  int32_t offset;
};

constexpr SlantGroup SlantGroups[] = {
    {"       MOD Slant(Freq) Band", 3}, {"      Tone Slant(Freq) Band", 2},
    {"       POW Slant(Freq) Band", 5}, {"       BAL Slant(Freq) Band", 4},
    {"    Rx LVA Slant(Freq) Band", 0}, {"    Tx LVA Slant(Freq) Band", 1},
};

constexpr ValueLine TempLines[] = {
    {"        MOD Slant(Temp) Area: ", 90, -1, true},
    {"       Tone Slant(Temp) Area: ", 89, -1, true},
    {"        SQL Slant(Temp) Area: ", 88, -1, true},
    {"        BAL Slant(Temp) Area: ", 91, -1, true},
    {"           Tone W Correction: ", 97, 111, true},
};

constexpr std::string_view BaseFreqLabel = "              Base Frequency: ";

constexpr ValueLine RssiLines[] = {
    {"               RSSI S1 Level: ", 169, -1, false},
    {"               RSSI S3 Level: ", 170, -1, false},
};

}  // namespace

clsIndEep_RigVela::clsIndEep_RigVela(const clsCmcEeprom& image, const clsIndPtbl_RigVela& table)
    : image_(image), table_(table) {
  chNames_.fill(" ");
}

int32_t clsIndEep_RigVela::byteAt(int64_t adr) const {
  return adr >= 0 && adr < image_.eeSize() ? image_.ReadByte(static_cast<int32_t>(adr)) : 0;
}

int64_t clsIndEep_RigVela::recordAddress(int32_t start_address, int16_t chNo, int32_t recordSize) {
  return int64_t{start_address} + int64_t{chNo} * recordSize;
}

int64_t clsIndEep_RigVela::channelRecord(int32_t start_address, int16_t chNo) const {
  return recordAddress(start_address, chNo, table_.RigVelaFunc_Obj_Size(clsIndPtbl_RigVela::ObjChannels));
}

int64_t clsIndEep_RigVela::block2Record(int32_t start_address, int16_t chNo) const {
  return recordAddress(start_address, chNo, table_.RigVelaFunc_Obj_Size(clsIndPtbl_RigVela::ObjChannelBlock2));
}

bool clsIndEep_RigVela::RigVelaEep_GetMid() const { return bitAt(int64_t{commonAdr_} + MidFlagOffset, 7); }

bool clsIndEep_RigVela::RigVelaEep_GetChAppear(int32_t start_address, int16_t chNo) const {
  if (chNo < 0) return false;
  return Check_MRCH(channelRecord(start_address, chNo));
}

std::string clsIndEep_RigVela::RigVelaEep_GetChName(int16_t chNo) {
  std::string name = std::to_string(int32_t{chNo} + 1);
  if (chNo >= 0 && chNo < ChNameCount) chNames_[static_cast<size_t>(chNo)] = name;
  return name;
}

const std::string& clsIndEep_RigVela::chNames(int16_t chNo) const {
  static const std::string none = " ";
  return chNo >= 0 && chNo < ChNameCount ? chNames_[static_cast<size_t>(chNo)] : none;
}

int32_t clsIndEep_RigVela::RigVelaEep_GetChFreqRxReal(int32_t start_address, int16_t chNo) const {
  return ReadFreqBlock(channelRecord(start_address, chNo));
}

int32_t clsIndEep_RigVela::RigVelaEep_GetChFreqTxReal(int32_t start_address, int16_t chNo) const {
  return ReadFreqBlock(channelRecord(start_address, chNo));
}

int16_t clsIndEep_RigVela::RigVelaEep_GetChRFPower(int32_t start_address, int16_t chNo) const {
  return bitAt(block2Record(start_address, chNo), 0) ? 0 : 1;
}

bool clsIndEep_RigVela::RigVelaEep_GetChModeCB(int32_t start_address, int16_t chNo) const {
  return bitAt(block2Record(start_address, chNo) + Block2CbOffset, 7);
}

int16_t clsIndEep_RigVela::RigVelaEep_GetChModeDig(int32_t start_address, int16_t chNo) const {
  return static_cast<int16_t>(byteAt(channelRecord(start_address, chNo) + RecordModeOffset) & 3);
}

bool clsIndEep_RigVela::RigVelaEep_GetChMode(int32_t start_address, int16_t chNo) const {
  return bitAt(channelRecord(start_address, chNo) + RecordModeOffset, 6);
}

int32_t clsIndEep_RigVela::ReadFreqBlock(int64_t adr) const {
  int32_t v = byteAt(adr) & 0x7F;
  for (int64_t i = 1; i < 4; ++i) v = v * 256 + byteAt(adr + i);
  return v;
}

bool clsIndEep_RigVela::Check_Inh(int64_t adr) const { return bitAt(adr, 7); }

bool clsIndEep_RigVela::Check_MRCH(int64_t adr) const { return Check_Inh(adr) || ReadFreqBlock(adr) > 0; }

int32_t clsIndEep_RigVela::ReadBaseFreqBlock() const {
  int32_t kHz = (byteAt(BaseFreqAdr) * 256 + byteAt(BaseFreqAdr + 1)) * 100;
  if (kHz > BaseFreqMaxKHz || kHz < 0) kHz = 0;
  return kHz * 1000;
}

int32_t clsIndEep_RigVela::ReadLSD(bool sft) const {
  const int32_t adr = sft ? LsdAdr + 2 : LsdAdr;
  return byteAt(adr) * 256 + byteAt(adr + 1);
}

std::string clsIndEep_RigVela::RigVelaEep_FmtUnsigned(int32_t v) {
  return NumberFormat::RightAligned(std::to_string(v), 4);
}

std::string clsIndEep_RigVela::RigVelaEep_FmtSigned(int32_t v) { return RigVelaEep_FmtUnsigned(v > 127 ? v - 256 : v); }

std::string clsIndEep_RigVela::RigVelaEep_DispPara() const {
  const bool mid = RigVelaEep_GetMid();
  std::string text;
  auto addLine = [&text](std::string_view label, const std::string& value) {
    text.append(label).append(value).append(NewLine);
  };
  auto addValue = [&](const ValueLine& line) {
    const int32_t v = byteAt(mid && line.midAdr >= 0 ? line.midAdr : line.adr);
    addLine(line.label, line.isSigned ? RigVelaEep_FmtSigned(v) : RigVelaEep_FmtUnsigned(v));
  };

  for (const ValueLine& line : LevelLines) addValue(line);
  for (const SlantGroup& group : SlantGroups) {
    for (int band = 0; band < FreqSlantBands; ++band) {
      const std::string label = std::string(group.labelStem) + std::to_string(band) + ": ";
      addLine(label, RigVelaEep_FmtSigned(byteAt(FreqSlantAdr + FreqSlantBandSize * band + group.offset)));
    }
  }
  for (const ValueLine& line : TempLines) addValue(line);
  const double mhz = ReadBaseFreqBlock() / 1000000.0;
  addLine(BaseFreqLabel, NumberFormat::RightAligned(NumberFormat::Format(mhz, "###0.##0"), 8) + "MHz");
  for (const ValueLine& line : RssiLines) addValue(line);
  return text;
}

std::string clsIndEep_RigVela::RigVelaEep_DispDebug() const {
  std::string text = std::string("         EEPROM Data") + NewLine;
  const Bytes& bytes = image_.bytes();
  char cell[24];
  for (size_t row = 0; row < bytes.size(); row += DumpRowLength) {
    std::snprintf(cell, sizeof cell, "%04zX:", row);
    text += cell;
    for (size_t i = row; i < bytes.size() && i < row + DumpRowLength; ++i) {
      std::snprintf(cell, sizeof cell, " %02X", bytes[i]);
      text += cell;
    }
    text += NewLine;
  }
  return text;
}
