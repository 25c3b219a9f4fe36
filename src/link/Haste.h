#pragma once
// How soon bytes awaited on the line must be taken once they are all there.
#include <cstdint>

enum class Haste : int8_t {
  AtOnce,     // they can end the exchange, and the utility may send next
  Soon,       // an echo an answer follows: a moment later does no harm
  ByNextTick  // a clone data frame: nothing answers it, the tick takes it
};
