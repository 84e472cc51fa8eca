// The whole job of the launcher in one procedure.
#pragma once

// Finds the payload, writes the installer and the package into a sub-folder of the temporary
// folder, starts the installer there, waits for it and removes what it wrote. Every failure has
// been shown to the user by the time it returns.
void RunInstall();
