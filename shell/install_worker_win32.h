// The worker thread that runs the install while the main thread pumps messages.
#pragma once

#include <windows.h>

#include <cstdint>

// Starts the one detached worker for this process. A second call, which only a message from
// another program can cause, starts nothing: the run works on process-wide state. Returns false
// when the thread could not be started.
bool StartInstallWorker(HWND* window);

// True from the worker's start until its run has returned.
bool InstallWorkerRunning();

// The exit code the launcher ends with as things stand: the run's result once the worker has
// finished; the worker-start code when it could not be started; otherwise (the window went before
// the run was over, or before it began) the code of a window destroyed from outside.
uint32_t LauncherExitCode();
