// Preloaded (LD_PRELOAD) into the real vossimere-pack by the command-line test, so that it can
// interrupt a build or an extract at a known point instead of racing a fast disk: the first large
// write (a piece of an embedded file being copied into the temporary output) goes through, then
// the file named by VOSSIMERE_TEST_HOLD_MARK is created and the program waits for a signal.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern "C" size_t fwrite(const void* bytes, size_t size, size_t count, std::FILE* file) {
  using Fwrite = size_t (*)(const void*, size_t, size_t, std::FILE*);
  static Fwrite real = reinterpret_cast<Fwrite>(dlsym(RTLD_NEXT, "fwrite"));
  size_t written = real(bytes, size, count, file);
  const char* mark = std::getenv("VOSSIMERE_TEST_HOLD_MARK");
  if (mark && size * count >= 65536) {
    std::fflush(file);
    int made = open(mark, O_WRONLY | O_CREAT, 0644);
    if (made >= 0) close(made);
    for (;;) pause();
  }
  return written;
}
