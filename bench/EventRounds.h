#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <functional>

// Measures how long the window goes without handling its events: a timer due at once fires at
// every round of the event loop, so the gaps between its shots are the times it could not answer.
// Beside each gap, the processor time the window's thread spent in it: on a machine shared with
// other work, a gap can be long while the thread waits for a processor.
class EventRounds {
 public:
  // eachRound, when given, runs at every round.
  explicit EventRounds(std::function<void()> eachRound = {}) : eachRound_(std::move(eachRound)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      Note();
      if (eachRound_) eachRound_();
    });
  }

  // Forgets the gaps before.
  void Start() {
    longestMs_ = 0;
    longestWorkMs_ = 0;
    sinceRound_.start();
    workAtRound_ = ThreadCpuMs();
    timer_.start();
  }
  // The gap up to now counts too.
  void Stop() {
    Note();
    timer_.stop();
  }
  double LongestGapMs() const { return longestMs_; }
  // The most processor time the window's thread spent between two rounds.
  double LongestWorkMs() const { return longestWorkMs_; }

 private:
  static double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  }
  void Note() {
    longestMs_ = std::max(longestMs_, static_cast<double>(sinceRound_.nsecsElapsed()) / 1e6);
    sinceRound_.start();
    const double work = ThreadCpuMs();
    longestWorkMs_ = std::max(longestWorkMs_, work - workAtRound_);
    workAtRound_ = work;
  }

  std::function<void()> eachRound_;
  QTimer timer_;
  QElapsedTimer sinceRound_;
  double longestMs_ = 0;
  double workAtRound_ = 0;
  double longestWorkMs_ = 0;
};
