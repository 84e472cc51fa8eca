#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "pack/io/interrupt_cleanup.h"

namespace {

// The handler may only touch plain memory and call async-signal-safe functions, so the paths
// live in fixed buffers, each published by its flag after it is complete.
constexpr int kGuards = 4;  // extract writes two files at once, build one
constexpr size_t kPathBytes = 4096;
char guardedPaths[kGuards][kPathBytes];
volatile std::sig_atomic_t guarded[kGuards];
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
bool handlersSet = false;

extern "C" void RemoveAndEnd(int interrupt) {
  for (int i = 0; i < kGuards; ++i)
    if (guarded[i]) unlink(guardedPaths[i]);
  // End as the interrupt would have ended the process: its default action, so the parent sees
  // the conventional status (128 + the signal's number in a shell).
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(interrupt, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, interrupt);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(interrupt);
}

void SetHandlers() {
  handlersSet = true;
  for (int interrupt : kInterrupts) {
    struct sigaction action, before;
    if (sigaction(interrupt, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RemoveAndEnd;
    sigfillset(&action.sa_mask);  // one clean-up at a time
    sigaction(interrupt, &action, nullptr);
  }
}

}  // namespace

int RemoveOnInterrupt(const std::filesystem::path& temporary) {
  if (!handlersSet) SetHandlers();
  const std::string& path = temporary.native();
  if (path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kGuards; ++i) {
    if (guarded[i]) continue;
    std::memcpy(guardedPaths[i], path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the path is whole before it is seen
    guarded[i] = 1;
    return i;
  }
  return -1;
}

void ForgetOnInterrupt(int guard) {
  if (guard >= 0 && guard < kGuards) guarded[guard] = 0;
}
