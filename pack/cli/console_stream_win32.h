// The pack tool's standard output and error on Windows. A console is written in UTF-16
// (WriteConsoleW), so every character shows as it is, Japanese included, whatever the console's
// code page, and the code page is left as the user had it. A file or a pipe gets the UTF-8 bytes
// unchanged, with plain line feeds, for the scripts that read them.
#pragma once

#include <windows.h>

#include <streambuf>
#include <string>

class ConsoleStreamBuf : public std::streambuf {
 public:
  explicit ConsoleStreamBuf(DWORD standardHandle);
  ~ConsoleStreamBuf() override;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Writes what is pending; in a console, a character cut at the end waits for its other bytes
  // unless `final`.
  bool Flush(bool final);

  HANDLE handle_;
  bool console_;
  std::string pending_;
};
