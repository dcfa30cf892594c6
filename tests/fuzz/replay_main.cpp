// Runs the fuzz target once over every file of the folders given: the stored
// corpus as a regression test, without libFuzzer.
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    DIR* dir = opendir(argv[i]);
    if (!dir) {
      fprintf(stderr, "cannot open %s\n", argv[i]);
      return 1;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(dir))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(dir);
    for (const std::string& name : names) {
      std::string bytes;
      if (!platform::ReadFile(platform::JoinPath(argv[i], name), &bytes)) return 1;
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++count;
    }
  }
  printf("%d inputs\n", count);
  return count > 0 ? 0 : 1;  // an empty corpus tests nothing
}
