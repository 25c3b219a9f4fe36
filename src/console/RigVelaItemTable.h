#pragma once
// The Selvik's seventeen console rows and the building of them on a console.
#include <cstdint>
#include <optional>
#include <span>

class clsConsole;

// Console indices of the rows the model works with; the row after BPF T1 is
// BPF T2, the row after RX LVA is TX LVA.
struct RigVelaItemIndex {
  int16_t chNo = -1;
  int16_t bal = -1;
  int16_t modW = -1;
  int16_t bpfAll = -1;
  int16_t bpfT1 = -1;
  int16_t rxLva = -1;
  int16_t lvRxLva = -1;
  int16_t lvTxLva = -1;
  int16_t rssi = -1;
};

class RigVelaItemTable {
 public:
  enum class Kept { None, ChNo, Bal, ModW, BpfAll, BpfT1, RxLva, LvRxLva, LvTxLva, Rssi };

  // One row; an empty field keeps the value the console gives a new row.
  struct Row {
    const char* title;
    std::optional<int32_t> eeAdr;
    std::optional<int16_t> e8Command;
    std::optional<int16_t> eventDisp;
    std::optional<int16_t> eventSendE8;
    std::optional<int16_t> eventEnter;
    std::optional<int16_t> min;
    std::optional<int16_t> max;
    bool loopVal;
    bool barExist;
    Kept kept;
  };

  static std::span<const Row> Rows();
  // Appends every row to the console (already cleared) and returns where they went.
  static RigVelaItemIndex Build(clsConsole& console);

 private:
  static void ApplyRow(clsConsole& console, int16_t index, const Row& row);
  static void Keep(RigVelaItemIndex& kept, Kept which, int16_t index);
};
