#pragma once
// The beep that ends an automatic procedure. The platform's beep by default;
// replaceable like the message box.
#include <functional>

namespace RigVelaProceduresBeep {

using BeepHandler = std::function<void()>;

void Beep();
// Installs handler (the platform's beep when empty); returns the one before.
BeepHandler SetBeepHandler(BeepHandler handler);

}  // namespace RigVelaProceduresBeep
