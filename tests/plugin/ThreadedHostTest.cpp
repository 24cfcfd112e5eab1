// The host reading textures on several threads at once, as it does when a
// scene opens: every image, message and exit status is what one thread gives.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ScratchFolder.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode = -1;
  std::string output;  // stdout, then stderr
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Result RunHost(const std::string& arguments, const fs::path& scratch) {
  fs::path out = scratch / "stdout", err = scratch / "stderr";
  std::string command = std::string(MAYAHOST_PATH) + " --plugin " + PLUGIN_PATH + " " +
                        arguments + " >" + out.string() + " 2>" + err.string();
  int status = std::system(command.c_str());
  Result run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.output = Slurp(out) + "--- stderr\n" + Slurp(err);
  return run;
}

// Every file of a folder by name, with its bytes.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = Slurp(entry.path());
  return files;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Damage of the kinds files suffer: cut short, a flipped byte in the first
// chunk's header or in the middle of the data.
void WriteDamagedCopies(const fs::path& source, const fs::path& folder) {
  std::string bytes = Slurp(source), stem = source.stem().string();
  Write(folder / (stem + "_cut60.jng"), bytes.substr(0, 60));
  Write(folder / (stem + "_cuthalf.jng"), bytes.substr(0, bytes.size() / 2));
  for (size_t at : {size_t(12), bytes.size() / 2}) {
    std::string flipped = bytes;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
    Write(folder / (stem + "_flip" + std::to_string(at) + ".jng"), flipped);
  }
}

class ThreadedHost : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    fs::create_directory(m_dir / "in");
  }

  // The good files, damaged copies of each, every good file but the last
  // again under another name of the same file, and the last one named twice
  // (the large sample: its images are the slowest to write).
  std::string FileList(const std::vector<fs::path>& sources) {
    std::string list;
    for (const fs::path& source : sources) {
      fs::path good = m_dir / "in" / source.filename();
      fs::copy_file(source, good);
      WriteDamagedCopies(good, m_dir / "in");
      if (source != sources.back())
        fs::create_hard_link(good, m_dir / "in" / (good.stem().string() + "_again.jng"));
    }
    for (const auto& entry : fs::directory_iterator(m_dir / "in")) list += " " + entry.path().string();
    return list + " " + (m_dir / "in" / sources.back().filename()).string();
  }

};

}  // namespace

TEST_F(ThreadedHost, EightThreadsGiveWhatOneThreadGives) {
  std::vector<fs::path> sources;
  fs::path jng = fs::path(LUM_TESTDATA_DIR) / "imagemagick" / "jng";
  if (fs::exists(jng))
    for (const auto& entry : fs::directory_iterator(jng)) sources.push_back(entry.path());
  sources.push_back(SAMPLE_PATH);
  std::string files = FileList(sources);

  // Every run writes to one folder name, as the messages name it.
  const fs::path out = m_dir / "out";
  fs::create_directory(out);
  Result one = RunHost("load" + files + " -o " + out.string(), m_dir);
  std::map<std::string, std::string> images = Contents(out);
  ASSERT_EQ(1, one.exitCode) << one.output;  // the damaged files fail
  ASSERT_GE(images.size(), 2 * sources.size() - 1) << one.output;

  const int kRounds = 100;
  for (int round = 0; round < kRounds; ++round) {
    fs::remove_all(out);
    fs::create_directory(out);
    Result eight = RunHost("load --threads 8" + files + " -o " + out.string(), m_dir);
    ASSERT_EQ(one.exitCode, eight.exitCode) << "round " << round << "\n" << eight.output;
    ASSERT_EQ(one.output, eight.output) << "round " << round;
    ASSERT_TRUE(Contents(out) == images) << "round " << round << ": the images differ";
  }
}

TEST_F(ThreadedHost, AThreadCountThatIsNoNumberIsRefusedWithAReason) {
  for (const char* count : {"0", "-1", "x", "257", "99999999999", "''"}) {
    Result run = RunHost(std::string("load --threads ") + count + " " + SAMPLE_PATH, m_dir);
    EXPECT_EQ(1, run.exitCode) << count;
    EXPECT_NE(std::string::npos, run.output.find("mayahost: --threads needs ")) << run.output;
  }
}
