// The host program's -o on a disk that fills up.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "SmallDisk.h"

namespace fs = std::filesystem;

namespace {

int Host(const std::string& arguments, std::string& output) {
  std::string command = std::string(MAYAHOST_PATH) + " --plugin " + PLUGIN_PATH + " " + arguments;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(MayahostOutput, AFullDiskKeepsTheFileThatWasThere) {
  std::string pattern = (fs::temp_directory_path() / "mayahost-test-XXXXXX").string();
  ASSERT_NE(nullptr, mkdtemp(pattern.data()));
  fs::path disk = pattern;
  {
    SmallDisk small(disk.string());
    if (!small.IsMounted()) {
      fs::remove(disk);
      GTEST_SKIP() << SmallDisk::SkipReason();
    }
    const std::string good = "a good picture\n";
    fs::path out = disk / "ring.png";  // the sample as PNG takes far more than the disk holds
    for (size_t room : {0, 8192}) {
      SCOPED_TRACE(room);
      fs::remove(disk / "filler");
      std::ofstream(out, std::ios::binary) << good;
      ASSERT_TRUE(small.Fill(room));
      std::string output;
      EXPECT_EQ(1, Host("load " + std::string(SAMPLE_PATH) + " -o " + out.string(), output));
      EXPECT_NE(std::string::npos, output.find("can't write '" + out.string() + "'")) << output;
      EXPECT_EQ(good, Slurp(out));
      // A new name is not left behind as an empty or partial file either.
      fs::remove(out);
      ASSERT_TRUE(small.Fill(room));
      output.clear();
      EXPECT_EQ(1, Host("load " + std::string(SAMPLE_PATH) + " -o " + out.string(), output));
      int entries = 0;
      for (const auto& entry : fs::directory_iterator(disk)) entries += entry.path().filename() != "filler";
      EXPECT_EQ(0, entries);
    }
  }
  fs::remove_all(disk);
}
