// After every case, whether this program's own handles still work: its HKEY_CURRENT_USER (a handle
// the registry functions open once and keep for the process) and its standard handles. A case that
// closes a handle it was not given breaks one of them for every later case, which then fails far
// from the cause, and only in some orders. This check fails the case after which a handle stopped
// working, naming the handle; it reports each handle once.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

class OwnHandlesCheck : public testing::EmptyTestEventListener {
 public:
  // What works now is what must keep working; a handle that does not work at the start is not
  // watched.
  OwnHandlesCheck();
  void OnTestEnd(const testing::TestInfo& info) override;

 private:
  struct StandardHandle {
    DWORD which;       // STD_INPUT_HANDLE, ...
    const char* name;  // "standard input", ...
    HANDLE value;
    DWORD fileType;
    bool watched;
  };

  // Empty while the handle works; otherwise what failed.
  static std::string CurrentUserProblem();
  static std::string StandardHandleProblem(const StandardHandle& handle);

  bool currentUserWatched_;
  StandardHandle standard_[3];
};
