#include "RigVelaItemTable.h"

#include <array>

#include "clsConsole.h"

namespace {

using Row = RigVelaItemTable::Row;
using Kept = RigVelaItemTable::Kept;
constexpr std::nullopt_t none = std::nullopt;

// title, address, command, display / send / Enter events, min, max, loops, bar, kept
const std::array<Row, 17> kRows{{
    {"    CH No.", none, 0x00, 0, 0, none, 0, 0, true, false, Kept::ChNo},
    {" Pow(H CB)", 168, 0x09, none, none, none, none, none, false, true, Kept::None},
    {"Pow(H Pri)", 167, 0x0A, none, none, none, none, none, false, true, Kept::None},
    {"  Pow(Low)", 166, 0x0B, none, none, none, none, none, false, true, Kept::None},
    {"       BAL", 99, 0x10, none, none, none, none, none, false, true, Kept::Bal},
    {"     MOD W", 98, 0x0C, none, none, none, none, none, false, true, Kept::ModW},
    {" CTCS/DTCS", 83, 0x0F, none, none, none, none, none, false, true, Kept::None},
    {"       SQL", 184, 0x08, none, none, none, none, none, false, true, Kept::None},
    {"       REF", 173, 0x05, none, none, none, none, none, false, true, Kept::None},
    {"   BPF ALL", none, none, 2, none, 7, none, none, false, false, Kept::BpfAll},
    {"    BPF T1", 84, 0x13, 3, none, 3, none, none, false, true, Kept::BpfT1},
    {"    BPF T2", 85, 0x14, 3, none, 4, none, none, false, true, Kept::None},
    {"    RX LVA", 92, 0x06, 6, none, 8, none, none, false, true, Kept::RxLva},
    {"    TX LVA", 93, 0x07, 6, none, 9, none, none, false, true, Kept::None},
    {"LV(RX LVA)", none, none, 7, none, none, none, none, false, true, Kept::LvRxLva},
    {"LV(TX LVA)", none, none, 7, none, none, none, none, false, true, Kept::LvTxLva},
    {"      RSSI", none, none, 4, none, 1, none, none, false, false, Kept::Rssi},
}};

}  // namespace

std::span<const RigVelaItemTable::Row> RigVelaItemTable::Rows() { return kRows; }

RigVelaItemIndex RigVelaItemTable::Build(clsConsole& console) {
  RigVelaItemIndex kept;
  for (const Row& row : kRows) {
    console.AddItem();
    const int16_t index = static_cast<int16_t>(console.ListCount() - 1);
    ApplyRow(console, index, row);
    Keep(kept, row.kept, index);
  }
  return kept;
}

// Title first; the bar last, so the bars appear only with the next redraw.
void RigVelaItemTable::ApplyRow(clsConsole& console, int16_t index, const Row& row) {
  console.setTitle(index, row.title);
  if (row.eeAdr) {
    console.setEeAdr(index, *row.eeAdr);
    console.setEeDataSigned(index, false);
  }
  if (row.e8Command) console.setE8Command(index, *row.e8Command);
  if (row.eventDisp) console.setEvent_Disp(index, *row.eventDisp);
  if (row.eventSendE8) console.setEvent_SendE8(index, *row.eventSendE8);
  if (row.eventEnter) console.setEvent_Enter(index, *row.eventEnter);
  if (row.min) console.setMin(index, *row.min);
  if (row.max) console.setMax(index, *row.max);
  if (row.loopVal) console.setLoopVal(index, true);
  if (row.barExist) console.setBarExist(index, true);
}

void RigVelaItemTable::Keep(RigVelaItemIndex& kept, Kept which, int16_t index) {
  switch (which) {
    case Kept::None: break;
    case Kept::ChNo: kept.chNo = index; break;
    case Kept::Bal: kept.bal = index; break;
    case Kept::ModW: kept.modW = index; break;
    case Kept::BpfAll: kept.bpfAll = index; break;
    case Kept::BpfT1: kept.bpfT1 = index; break;
    case Kept::RxLva: kept.rxLva = index; break;
    case Kept::LvRxLva: kept.lvRxLva = index; break;
    case Kept::LvTxLva: kept.lvTxLva = index; break;
    case Kept::Rssi: kept.rssi = index; break;
  }
}
