#include "tests/support/message_box_watcher.h"

#include <algorithm>
#include <iomanip>

#include "tests/support/process_windows.h"

constexpr int kMessageTextId = 0xFFFF;
constexpr int kMessageIconId = 0x0440;

bool operator==(const SeenMessageBox& a, const SeenMessageBox& b) {
  return a.caption == b.caption && a.text == b.text && a.hasOwner == b.hasOwner &&
         a.iconShown == b.iconShown && a.buttonIds == b.buttonIds;
}

static void PrintText(const std::wstring& text, std::ostream* out) {
  *out << '"';
  for (wchar_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      *out << static_cast<char>(unit);
    } else {
      *out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << static_cast<unsigned>(unit)
           << std::dec;
    }
  }
  *out << '"';
}

void PrintTo(const SeenMessageBox& box, std::ostream* out) {
  *out << "{caption ";
  PrintText(box.caption, out);
  *out << ", text ";
  PrintText(box.text, out);
  *out << (box.hasOwner ? ", owned" : ", no owner") << (box.iconShown ? ", icon" : ", no icon")
       << ", buttons";
  for (int id : box.buttonIds) *out << ' ' << id;
  *out << '}';
}

SeenMessageBox ErrorBox(const std::wstring& caption, const std::wstring& text) {
  SeenMessageBox box;
  box.caption = caption;
  box.text = text;
  box.hasOwner = false;
  box.iconShown = true;
  box.buttonIds = {IDOK};
  return box;
}

static BOOL CALLBACK CollectButton(HWND child, LPARAM context) {
  if (ClassNameOf(child) == L"Button" && IsWindowVisible(child)) {
    reinterpret_cast<std::vector<int>*>(context)->push_back(GetDlgCtrlID(child));
  }
  return TRUE;
}

void MessageBoxWatcher::Poll() {
  for (HWND window : TopLevelWindowsOf(processId_)) {
    if (std::find(handled_.begin(), handled_.end(), window) != handled_.end()) continue;
    if (ClassNameOf(window) != L"#32770") continue;
    HWND textControl = GetDlgItem(window, kMessageTextId);
    if (!textControl) continue;
    SeenMessageBox box;
    box.text = TextOf(textControl);
    if (box.text.empty()) continue;  // not filled in yet
    box.caption = TextOf(window);
    box.hasOwner = GetWindow(window, GW_OWNER) != nullptr;
    HWND icon = GetDlgItem(window, kMessageIconId);
    DWORD_PTR iconHandle = 0;
    box.iconShown =
        icon && IsWindowVisible(icon) &&
        SendMessageTimeoutW(icon, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &iconHandle) &&
        iconHandle != 0;
    EnumChildWindows(window, CollectButton, reinterpret_cast<LPARAM>(&box.buttonIds));
    boxes_.push_back(box);
    handled_.push_back(window);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
  }
}
