// Writes the volume of the text listing's memory benchmark (bench/listing_memory.sh): FILES
// deleted files in a chain of five folders named with 255 CJK characters, paths of 4.6 KB.
//   make_long_folders_image IMAGE [FILES]
#include <cstdio>
#include <cstdlib>

#include "tests/support/LongFoldersVolume.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_long_folders_image IMAGE [FILES]\n");
    return 2;
  }
  const long files = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 500'000;
  salvoran::test::WriteImage(argv[1], salvoran::test::FilesInLongFolders(static_cast<int32_t>(files)).Image);
  return 0;
}
