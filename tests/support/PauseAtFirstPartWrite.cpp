// Preloaded into salvoran (LD_PRELOAD) by the tests of an interrupted restore: the first write
// to a temporary ".part" file goes through, then the process waits for a signal, so that a test
// signals it at a known point of a copy instead of racing it. SALVORAN_PAUSE_MARKER names a
// file made once it waits; with SALVORAN_PAUSE_FOREVER it goes on waiting after each signal, as
// a copy stuck on a dead disk does.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char TemporarySuffix[] = ".part";

bool IsTemporaryFile(int fd) {
  char path[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t length = ::readlink(link.c_str(), path, sizeof path);
  const size_t suffixLength = sizeof TemporarySuffix - 1;
  return length >= static_cast<ssize_t>(suffixLength) &&
         std::memcmp(path + length - suffixLength, TemporarySuffix, suffixLength) == 0;
}

void PauseAtFirstTemporaryWrite(int fd) {
  static bool paused = false;
  if (paused || !IsTemporaryFile(fd)) return;
  paused = true;
  if (const char* marker = std::getenv("SALVORAN_PAUSE_MARKER")) ::close(::open(marker, O_WRONLY | O_CREAT, 0644));
  do {
    ::pause();
  } while (std::getenv("SALVORAN_PAUSE_FOREVER") != nullptr);
}

using WriteFunction = ssize_t (*)(int, const void*, size_t, off_t);

ssize_t WriteThenPause(const char* name, int fd, const void* bytes, size_t count, off_t offset) {
  const auto next = reinterpret_cast<WriteFunction>(::dlsym(RTLD_NEXT, name));
  const ssize_t written = next(fd, bytes, count, offset);
  PauseAtFirstTemporaryWrite(fd);
  return written;
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
  return WriteThenPause("pwrite", fd, bytes, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* bytes, size_t count, off_t offset) {
  return WriteThenPause("pwrite64", fd, bytes, count, offset);
}
