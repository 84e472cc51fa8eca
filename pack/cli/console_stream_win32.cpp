#include "pack/cli/console_stream_win32.h"

#include "pack/text/utf.h"

ConsoleStreamBuf::ConsoleStreamBuf(DWORD standardHandle) : handle_(GetStdHandle(standardHandle)) {
  DWORD mode;
  console_ =
      handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
}

ConsoleStreamBuf::~ConsoleStreamBuf() { Flush(true); }

// Output is written a line at a time, so a message is on the screen before a long step begins.
ConsoleStreamBuf::int_type ConsoleStreamBuf::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_.push_back(traits_type::to_char_type(c));
  if (c == '\n' && !Flush(false)) return traits_type::eof();
  return c;
}

std::streamsize ConsoleStreamBuf::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<size_t>(count));
  if (pending_.find('\n') != std::string::npos && !Flush(false)) return 0;
  return count;
}

int ConsoleStreamBuf::sync() { return Flush(false) ? 0 : -1; }

static void AppendUtf16(char32_t value, std::wstring& wide) {
  if (value < 0x10000) {
    wide.push_back(static_cast<wchar_t>(value));
  } else {
    value -= 0x10000;
    wide.push_back(static_cast<wchar_t>(0xD800 + (value >> 10)));
    wide.push_back(static_cast<wchar_t>(0xDC00 + (value & 0x3FF)));
  }
}

// The UTF-16 of the first `complete` bytes of `text`; a byte that starts no well-formed sequence
// shows as U+FFFD. Without `final`, a sequence cut short by the end of `text` is left out.
static std::wstring ConsoleText(const std::string& text, bool final, size_t& complete) {
  std::wstring wide;
  size_t at = 0;
  while (at < text.size()) {
    char32_t value;
    size_t length = DecodeUtf8At(text, at, value);
    if (length == 0) {
      bool leadByte = static_cast<unsigned char>(text[at]) >= 0xC2;
      if (!final && leadByte && text.size() - at < 4) break;
      value = 0xFFFD;
      length = 1;
    }
    AppendUtf16(value, wide);
    at += length;
  }
  complete = at;
  return wide;
}

bool ConsoleStreamBuf::Flush(bool final) {
  if (pending_.empty()) return true;
  bool written = true;
  if (console_) {
    size_t complete;
    std::wstring wide = ConsoleText(pending_, final, complete);
    for (size_t done = 0; written && done < wide.size();) {
      DWORD count = 0;
      written = WriteConsoleW(handle_, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                              &count, nullptr) &&
                count > 0;
      done += count;
    }
    pending_.erase(0, complete);
  } else {
    for (size_t done = 0; written && done < pending_.size();) {
      DWORD count = 0;
      written = WriteFile(handle_, pending_.data() + done,
                          static_cast<DWORD>(pending_.size() - done), &count, nullptr) &&
                count > 0;
      done += count;
    }
    pending_.clear();
  }
  return written;
}
