// Naming and writing the files of a restore into one folder: FILES files all called Thumbs.db,
// then as many with names of their own, each through RestoreFolder and an OutputFile committed
// with one byte, as recover --all writes them. The content read from the volume is left out: it
// costs the same whichever names the files have.
//   restore_names_bench [FILES] [FOLDER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "recovery/OutputFile.h"
#include "recovery/RestoreFolder.h"

namespace salvoran {
namespace {

constexpr unsigned DefaultFiles = 100'000;
constexpr std::byte Content{0x5A};

double RestoreInto(const std::filesystem::path& folder, unsigned files, bool sameName) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const auto start = std::chrono::steady_clock::now();
  RestoreFolder output(folder);
  for (unsigned file = 0; file < files; ++file) {
    const std::string name = sameName ? "Thumbs.db" : "Thumbs-" + std::to_string(file) + ".db";
    OutputFile written(output.TargetFor(std::u16string(name.begin(), name.end())), OutputFile::ExistingTarget::Keep);
    written.Write({&Content, 1});
    written.Commit(1);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::filesystem::remove_all(folder);
  return elapsed.count();
}

}  // namespace
}  // namespace salvoran

int main(int argc, char** argv) {
  const unsigned files = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : salvoran::DefaultFiles;
  const std::filesystem::path folder =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path() / "restore-names-bench";
  const double same = salvoran::RestoreInto(folder, files, true);
  const double distinct = salvoran::RestoreInto(folder, files, false);
  std::printf("%u files called Thumbs.db:        %.2f s\n", files, same);
  std::printf("%u files with names of their own: %.2f s\n", files, distinct);
  return 0;
}
