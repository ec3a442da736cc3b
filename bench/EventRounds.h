#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <functional>

// Measures how long the window goes without handling its events: a timer due at once fires at
// every round of the event loop, so the gaps between its shots are the times it could not answer.
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
    sinceRound_.start();
    timer_.start();
  }
  // The gap up to now counts too.
  void Stop() {
    Note();
    timer_.stop();
  }
  double LongestGapMs() const { return longestMs_; }

 private:
  void Note() {
    longestMs_ = std::max(longestMs_, static_cast<double>(sinceRound_.nsecsElapsed()) / 1e6);
    sinceRound_.start();
  }

  std::function<void()> eachRound_;
  QTimer timer_;
  QElapsedTimer sinceRound_;
  double longestMs_ = 0;
};
