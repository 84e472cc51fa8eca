// Preloaded (LD_PRELOAD) into the real vossimere-pack by the command-line test, so that it can
// interrupt a build or an extract at a known point instead of racing a fast disk: the first large
// write (a piece of an embedded file being copied into the temporary output, by fwrite or by the
// kernel's copy_file_range) goes through, then the file named by VOSSIMERE_TEST_HOLD_MARK is
// created and the program waits for a signal.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

static void HoldAfterLargeWrite(size_t written) {
  const char* mark = std::getenv("VOSSIMERE_TEST_HOLD_MARK");
  if (mark && written >= 65536) {
    int made = open(mark, O_WRONLY | O_CREAT, 0644);
    if (made >= 0) close(made);
    for (;;) pause();
  }
}

extern "C" ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset,
                                   size_t count, unsigned int flags) {
  using CopyFileRange = ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned int);
  static CopyFileRange real = reinterpret_cast<CopyFileRange>(dlsym(RTLD_NEXT, "copy_file_range"));
  ssize_t copied = real(in, inOffset, out, outOffset, count, flags);
  if (copied > 0) HoldAfterLargeWrite(static_cast<size_t>(copied));
  return copied;
}

extern "C" size_t fwrite(const void* bytes, size_t size, size_t count, std::FILE* file) {
  using Fwrite = size_t (*)(const void*, size_t, size_t, std::FILE*);
  static Fwrite real = reinterpret_cast<Fwrite>(dlsym(RTLD_NEXT, "fwrite"));
  size_t written = real(bytes, size, count, file);
  if (size * count >= 65536) std::fflush(file);
  HoldAfterLargeWrite(size * count);
  return written;
}
