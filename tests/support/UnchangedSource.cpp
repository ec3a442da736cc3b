#include "tests/support/UnchangedSource.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "tests/support/CommandRunner.h"

namespace salvoran::test {
namespace {

constexpr uint32_t ChangeEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// The change events waiting on the watch, as text for the failure message.
std::string PendingChanges(int watch) {
  std::string changes;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t got; (got = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_MODIFY) changes += " modified";
      if (event->mask & IN_CLOSE_WRITE) changes += " closed-after-write";
      if (event->mask & IN_ATTRIB) changes += " attributes-changed";
      if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) changes += " moved-or-deleted";
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return changes;
}

}  // namespace

UnchangedSource::UnchangedSource(std::string path) : path_(std::move(path)), digest_(FileDigest(path_)) {
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ < 0 || ::inotify_add_watch(watch_, path_.c_str(), ChangeEvents) < 0) {
    ADD_FAILURE() << "cannot watch " << path_ << ": " << std::strerror(errno);
  }
}

UnchangedSource::~UnchangedSource() {
  if (watch_ >= 0) {
    EXPECT_EQ(PendingChanges(watch_), "") << path_;
    ::close(watch_);
  }
  EXPECT_EQ(FileDigest(path_), digest_) << path_;
}

}  // namespace salvoran::test
