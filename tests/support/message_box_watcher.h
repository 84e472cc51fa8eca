// Watching another process for message boxes: top-level dialogs (class "#32770") whose message
// text control (id 0xFFFF) has been filled. Each box is recorded once, exactly as shown, and
// closed with its OK button, as a user would.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

struct SeenMessageBox {
  std::wstring caption;
  std::wstring text;
  bool hasOwner = false;
  bool iconShown = false;      // its icon control holds an icon
  std::vector<int> buttonIds;  // the ids of its buttons, in window order
};

bool operator==(const SeenMessageBox& a, const SeenMessageBox& b);
void PrintTo(const SeenMessageBox& box, std::ostream* out);

// The launcher's error box: this caption and text, no owner, the error icon and one OK button.
SeenMessageBox ErrorBox(const std::wstring& caption, const std::wstring& text);

class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(DWORD processId) : processId_(processId) {}

  // Records the boxes that have appeared since the last call and presses OK on each.
  void Poll();

  const std::vector<SeenMessageBox>& Boxes() const { return boxes_; }

 private:
  DWORD processId_;
  std::vector<HWND> handled_;
  std::vector<SeenMessageBox> boxes_;
};
