#pragma once
// How soon bytes awaited on the line must be taken once they are all there.
#include <cstdint>

enum class Haste : int8_t {
  AtOnce,     // the moment the last of them comes
  ByNextTick  // a clone data frame: nothing answers it, the tick takes it in
};
