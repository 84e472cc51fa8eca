// The whole job of the launcher in one procedure.
#pragma once

#include <cstdint>

// Finds the payload, writes the installer and the package into a sub-folder of the temporary
// folder, starts the installer there with the launcher's own arguments, waits for it and removes
// what it wrote. Every failure has been reported by the time it returns. The result is the exit
// code the launcher ends with: the installer's own when it ran and ended, otherwise the code of
// the message reported or of the ending (launch/exit_codes.h).
uint32_t RunInstall();
