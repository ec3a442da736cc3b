// Preloaded into salvoran (LD_PRELOAD) by the tests of an interrupted restore: the first write
// to a temporary ".part" file goes through, then the process waits for a signal, so that a test
// signals it at a known point of a copy instead of racing it. SALVORAN_PAUSE_MARKER names a
// file made once it waits; with SALVORAN_PAUSE_FOREVER it goes on waiting after each signal, as
// a copy stuck on a dead disk does.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The kernel may hand a signal to any thread of the process, so the waiting thread cannot rely
// on pause() returning: the program's handlers are wrapped to say that one ran.
std::atomic<bool> signalHandled{false};
void (*programHandlers[NSIG])(int) = {};

void NoteSignal(int number) {
  signalHandled = true;
  programHandlers[number](number);
}

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
  if (std::getenv("SALVORAN_PAUSE_FOREVER") != nullptr) {
    for (;;) ::pause();
  }
  while (!signalHandled) ::usleep(1000);
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

extern "C" int sigaction(int number, const struct sigaction* action, struct sigaction* previous) {
  using SigactionFunction = int (*)(int, const struct sigaction*, struct sigaction*);
  static const auto next = reinterpret_cast<SigactionFunction>(::dlsym(RTLD_NEXT, "sigaction"));
  if (action == nullptr || number <= 0 || number >= NSIG || (action->sa_flags & SA_SIGINFO) != 0 ||
      action->sa_handler == SIG_DFL || action->sa_handler == SIG_IGN) {
    return next(number, action, previous);
  }
  struct sigaction wrapped = *action;
  programHandlers[number] = action->sa_handler;
  wrapped.sa_handler = NoteSignal;
  return next(number, &wrapped, previous);
}
