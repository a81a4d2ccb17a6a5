// A game on the off-screen model, for tests: one fresh game per test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/model/model_backend.h"
#include "platform/platform.h"
#include "scene/game.h"

namespace marivo::testing {

// The whole file as bytes; empty when it cannot be read.
std::string FileText(const std::filesystem::path& path);
// Writes `content` as the whole file, making its folder first.
void PutFile(const std::filesystem::path& path, const std::string& content);

// A folder of its own under the system's temporary folder, removed after.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

class ModelGame {
 public:
  explicit ModelGame(ModelBackend::Options options = {});
  ModelGame(const ModelGame&) = delete;
  ModelGame& operator=(const ModelGame&) = delete;

  // Starts the game; false when start-up ended the program.
  bool Start();
  // Runs the top-level pump until `at` virtual ms since the model started,
  // or until the program ends. Returns false when it ended.
  bool RunUntil(std::uint64_t at);
  bool RunFor(std::uint64_t ms) { return RunUntil(model.Elapsed() + ms); }
  bool Ended() const { return ended_; }
  std::string RecordFile() const;

  TempDir dir;
  ModelBackend model;
  Platform platform;
  Game game;

 private:
  static ModelBackend::Options WithFolder(ModelBackend::Options options, const TempDir& dir);
  bool ended_ = false;
};

// Checks run at chosen virtual times from inside the game's own waits.
class Probes {
 public:
  explicit Probes(ModelGame& g) : g_(g) {}
  ~Probes() { EXPECT_EQ(pending_, 0) << pending_ << " checks never ran"; }
  Probes(const Probes&) = delete;
  Probes& operator=(const Probes&) = delete;
  void At(std::uint64_t at, std::function<void()> check) {
    ++pending_;
    g_.model.CallAt(at, [this, check = std::move(check)] {
      --pending_;
      check();
    });
  }

 private:
  ModelGame& g_;
  int pending_ = 0;
};

}  // namespace marivo::testing
