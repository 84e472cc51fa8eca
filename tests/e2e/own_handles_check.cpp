#include "tests/e2e/own_handles_check.h"

// Opens a key below HKEY_CURRENT_USER and asks it something: both go through the process's cached
// handle of the user's hive.
std::string OwnHandlesCheck::CurrentUserProblem() {
  DWORD subkeys = 0;
  LONG status = RegQueryInfoKeyW(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    return "RegQueryInfoKeyW(HKEY_CURRENT_USER) returns " + std::to_string(status);
  }
  HKEY software = nullptr;
  status = RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_QUERY_VALUE, &software);
  if (status != ERROR_SUCCESS) {
    return "RegOpenKeyExW(HKEY_CURRENT_USER, \"Software\") returns " + std::to_string(status);
  }
  status = RegQueryInfoKeyW(software, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(software);
  if (status != ERROR_SUCCESS) {
    return "RegQueryInfoKeyW(HKEY_CURRENT_USER\\Software) returns " + std::to_string(status);
  }
  return std::string();
}

// The handle is still the one the program started with, still open, and still the same kind of
// file: a closed value that was given to something else since passes the first two.
std::string OwnHandlesCheck::StandardHandleProblem(const StandardHandle& handle) {
  HANDLE now = GetStdHandle(handle.which);
  if (now != handle.value) return std::string("GetStdHandle gives another handle");
  DWORD flags = 0;
  if (!GetHandleInformation(now, &flags)) {
    return "GetHandleInformation fails with error " + std::to_string(GetLastError());
  }
  SetLastError(ERROR_SUCCESS);
  DWORD fileType = GetFileType(now);
  DWORD error = GetLastError();
  if (fileType != handle.fileType || (fileType == FILE_TYPE_UNKNOWN && error != ERROR_SUCCESS)) {
    return "GetFileType gives " + std::to_string(fileType) + " (error " + std::to_string(error) +
           ") instead of " + std::to_string(handle.fileType);
  }
  return std::string();
}

OwnHandlesCheck::OwnHandlesCheck()
    : currentUserWatched_(CurrentUserProblem().empty()),
      standard_{{STD_INPUT_HANDLE, "standard input", nullptr, FILE_TYPE_UNKNOWN, false},
                {STD_OUTPUT_HANDLE, "standard output", nullptr, FILE_TYPE_UNKNOWN, false},
                {STD_ERROR_HANDLE, "standard error", nullptr, FILE_TYPE_UNKNOWN, false}} {
  for (StandardHandle& handle : standard_) {
    handle.value = GetStdHandle(handle.which);
    DWORD flags = 0;
    if (handle.value == nullptr || handle.value == INVALID_HANDLE_VALUE ||
        !GetHandleInformation(handle.value, &flags)) {
      continue;
    }
    SetLastError(ERROR_SUCCESS);
    handle.fileType = GetFileType(handle.value);
    handle.watched = handle.fileType != FILE_TYPE_UNKNOWN || GetLastError() == ERROR_SUCCESS;
  }
}

void OwnHandlesCheck::OnTestEnd(const testing::TestInfo& info) {
  // The case is still the current one here, and the result printers come after this listener: the
  // failure is the case's own.
  std::string after = std::string(" after ") + info.test_suite_name() + "." + info.name();
  if (currentUserWatched_) {
    std::string problem = CurrentUserProblem();
    if (!problem.empty()) {
      ADD_FAILURE() << "HKEY_CURRENT_USER stopped working" << after << ": " << problem;
      currentUserWatched_ = false;
    }
  }
  for (StandardHandle& handle : standard_) {
    if (!handle.watched) continue;
    std::string problem = StandardHandleProblem(handle);
    if (!problem.empty()) {
      ADD_FAILURE() << "the program's " << handle.name << " stopped working" << after << ": "
                    << problem;
      handle.watched = false;
    }
  }
}
