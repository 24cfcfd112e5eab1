// A fresh directory per test, removed with everything in it afterwards, and
// plain POSIX helpers that check the stand-in's results independently of it.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

inline void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") RemoveTree(path + "/" + name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

// Makes a directory under base; empty when that fails.
inline std::string MakeScratch(const std::string& base) {
  std::string pattern = base + "/win32-standin-XXXXXX";
  return mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    m_dir = MakeScratch(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    ASSERT_FALSE(m_dir.empty()) << "cannot create a scratch directory";
  }
  void TearDown() override { RemoveTree(m_dir); }

  std::string Path(const std::string& name) const { return m_dir + "/" + name; }

  std::string m_dir;
};
