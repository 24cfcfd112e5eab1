// A fresh folder per test under the system's temporary folder, removed with
// everything in it afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lum-test-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(pattern.data()));
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  std::filesystem::path m_dir;
};
