#include "RigVelaProceduresBeep.h"

#include <QApplication>
#include <utility>

namespace RigVelaProceduresBeep {

namespace {

void platformBeep() { QApplication::beep(); }

BeepHandler& handler() {
  static BeepHandler h = platformBeep;
  return h;
}

}  // namespace

void Beep() {
  const BeepHandler h = handler();  // a copy: the handler may replace itself
  h();
}

BeepHandler SetBeepHandler(BeepHandler h) {
  BeepHandler previous = std::move(handler());
  handler() = h ? std::move(h) : BeepHandler(platformBeep);
  return previous;
}

}  // namespace RigVelaProceduresBeep
