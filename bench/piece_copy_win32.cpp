#include "bench/piece_copy_win32.h"

bool CopyFileInPieces(const std::wstring& source, const std::wstring& target, DWORD pieceSize,
                      void* buffer) {
  HANDLE in = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  bool good = out != INVALID_HANDLE_VALUE;
  while (good) {
    DWORD got = 0;
    DWORD put = 0;
    good = ReadFile(in, buffer, pieceSize, &got, nullptr) != 0;
    if (!good || got == 0) break;
    good = WriteFile(out, buffer, got, &put, nullptr) && put == got;
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  CloseHandle(in);
  return good;
}
