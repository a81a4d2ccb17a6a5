#include "tests/model_fixture.h"

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace marivo::testing {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void PutFile(const std::filesystem::path& path, const std::string& content) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("marivo2-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ModelBackend::Options ModelGame::WithFolder(ModelBackend::Options options, const TempDir& dir) {
  if (options.appPath == ".") options.appPath = dir.Path().string();
  return options;
}

ModelGame::ModelGame(ModelBackend::Options options)
    : model(WithFolder(std::move(options), dir)), platform(model), game(platform) {}

bool ModelGame::Start() {
  try {
    game.Start();
  } catch (const ProgramEnded&) {
    ended_ = true;
  }
  return !ended_;
}

bool ModelGame::RunUntil(std::uint64_t at) {
  if (ended_) return false;
  try {
    while (model.Elapsed() < at) {
      const std::uint32_t deadline =
          model.TickCount() + static_cast<std::uint32_t>(at - model.Elapsed());
      platform.PumpUntil(deadline);
    }
  } catch (const ProgramEnded&) {
    ended_ = true;
  }
  return !ended_;
}

std::string ModelGame::RecordFile() const {
  return (dir.Path() / (model.GetOptions().exeName + ".ini")).string();
}

}  // namespace marivo::testing
