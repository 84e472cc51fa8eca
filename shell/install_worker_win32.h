// The worker thread that runs the install while the main thread pumps messages.
#pragma once

#include <windows.h>

// Starts the one detached worker for this process. A second call, which only a message from
// another program can cause, starts nothing: the run works on process-wide state. Returns false
// when the thread could not be started.
bool StartInstallWorker(HWND* window);

// True from the worker's start until its run has returned.
bool InstallWorkerRunning();
