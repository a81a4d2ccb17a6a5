#include "platform/qt/startup_trace.h"

#include <time.h>

#include <cstdio>

namespace marivo::qt {
namespace {

std::int64_t Read(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

constexpr const char* kPartNames[] = {"fonts", "pictures", "record", "lock"};

}  // namespace

StartupTrace::Times StartupTrace::Now() {
  return {Read(CLOCK_MONOTONIC), Read(CLOCK_THREAD_CPUTIME_ID)};
}

StartupTrace::StartupTrace(bool enabled) : enabled_(enabled), active_(enabled) {
  if (!active_) return;
  phaseStart_ = Now();
  std::printf("marivo2: main entered %lld %lld\n", static_cast<long long>(phaseStart_.wall),
              static_cast<long long>(phaseStart_.cpu));
}

void StartupTrace::EndPhase(const char* name) {
  if (!active_) return;
  const Times now = Now();
  std::printf("marivo2: phase %s %lld %lld\n", name,
              static_cast<long long>(now.wall - phaseStart_.wall - inPartsThisPhase_.wall),
              static_cast<long long>(now.cpu - phaseStart_.cpu - inPartsThisPhase_.cpu));
  phaseStart_ = now;
  inPartsThisPhase_ = {};
}

StartupTrace::Scope::Scope(StartupTrace& trace, Part part) : trace_(trace), part_(part) {
  if (!trace_.active_ || trace_.depth_++ > 0) return;
  counting_ = true;
  const Times now = Now();
  wall_ = now.wall;
  cpu_ = now.cpu;
}

StartupTrace::Scope::~Scope() {
  if (!trace_.active_) return;
  --trace_.depth_;
  if (!counting_) return;
  const Times now = Now();
  Times& part = trace_.parts_[static_cast<int>(part_)];
  part.wall += now.wall - wall_;
  part.cpu += now.cpu - cpu_;
  trace_.inPartsThisPhase_.wall += now.wall - wall_;
  trace_.inPartsThisPhase_.cpu += now.cpu - cpu_;
}

void StartupTrace::Finish() {
  if (!active_) return;
  const std::int64_t shown = Read(CLOCK_MONOTONIC);
  EndPhase("paint");
  for (int i = 0; i < static_cast<int>(parts_.size()); ++i) {
    std::printf("marivo2: part %s %lld %lld\n", kPartNames[i],
                static_cast<long long>(parts_[i].wall), static_cast<long long>(parts_[i].cpu));
  }
  std::printf("marivo2: process cpu %lld\n",
              static_cast<long long>(Read(CLOCK_PROCESS_CPUTIME_ID)));
  std::printf("marivo2: scene shown %lld\n", static_cast<long long>(shown));
  std::fflush(stdout);
  active_ = false;
}

void StartupTrace::NoteTextShown() {
  if (!enabled_ || textNoted_) return;
  textNoted_ = true;
  std::printf("marivo2: text shown %lld\n", static_cast<long long>(Read(CLOCK_MONOTONIC)));
  std::fflush(stdout);
}

}  // namespace marivo::qt
