#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "FileTestSupport.h"
#include "SmallDisk.h"
#include "kor/CoreServices/Implementations/UFileReplacement.h"
#include "kor/CoreServices/Implementations/ANSI/UFileSystem_ANSI.h"
#include "kor/CoreServices/Implementations/Windows/UFileSystem_Windows.h"

using kor::UFileSystem_ANSI;
using kor::platform_windows::UFileSystem_Windows;

namespace {

typedef std::vector<float> Progress;
Progress g_progress;
void RecordProgress(float fraction) { g_progress.push_back(fraction); }

template <class T>
struct Deleter {
  void operator()(T* object) const { kor::DeleteObject(object); }
};
typedef std::unique_ptr<kor::IInputStream, Deleter<kor::IInputStream>> Reader;
typedef std::unique_ptr<kor::IOutputStream, Deleter<kor::IOutputStream>> Writer;

std::string ReadAll(kor::IInputStream& stream) {
  std::string text;
  char piece[1000];
  while (uint64_t got = stream.Serialize(piece, sizeof piece)) text.append(piece, got);
  return text;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? buffer : "";
}

bool IsWindows(const UFileSystem_Windows&) { return true; }
bool IsWindows(const UFileSystem_ANSI&) { return false; }

template <class FileSystem>
class FileSystemTest : public ScratchTest {
 protected:
  ~FileSystemTest() noexcept override {}
  void SetUp() override {
    ScratchTest::SetUp();
    g_progress.clear();
  }

  Reader Open(const std::string& path) { return Reader(m_fs.CreateFileReader(Text(path))); }
  Writer Create(const std::string& path, bool overwrite, bool append) {
    return Writer(m_fs.CreateFileWriter(Text(path), overwrite, append));
  }
  bool Copy(const std::string& to, const std::string& from, bool overwrite) {
    return m_fs.Copy(Text(to), Text(from), overwrite, &RecordProgress);
  }
  bool Move(const std::string& to, const std::string& from, bool overwrite) {
    return m_fs.Move(Text(to), Text(from), overwrite, &RecordProgress);
  }
  bool IsWindowsFileSystem() const { return IsWindows(m_fs); }

  FileSystem m_fs;
};

typedef ::testing::Types<UFileSystem_Windows, UFileSystem_ANSI> FileSystems;
TYPED_TEST_SUITE(FileSystemTest, FileSystems);

}  // namespace

TYPED_TEST(FileSystemTest, ReadsPlainFilesUnderTheirPath) {
  std::string path = this->Path("plain.txt");
  WriteFile(path, "abcdef");
  EXPECT_TRUE(this->m_fs.ExistsFile(Text(path)));
  EXPECT_EQ(6u, this->m_fs.GetFileSize(Text(path)));
  Reader reader = this->Open(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(path, reader->GetName().GetText());
  EXPECT_EQ(6u, reader->GetSize());
  EXPECT_EQ("abcdef", ReadAll(*reader));

  // Directories are not files, nor archives on the way to one.
  EXPECT_FALSE(this->m_fs.ExistsFile(Text(this->m_dir)));
  EXPECT_EQ(0u, this->m_fs.GetFileSize(Text(this->m_dir)));
  EXPECT_FALSE(this->Open(this->m_dir));
  EXPECT_FALSE(this->Open(this->Path("missing.txt")));
  EXPECT_FALSE(this->Open("no-such-file-anywhere"));
  EXPECT_FALSE(this->m_fs.ExistsFile(Text(this->Path("missing.txt"))));
  EXPECT_TRUE(this->m_warnings.Messages().empty());
}

TYPED_TEST(FileSystemTest, ReaderSeeksReportsEndAndClosesOnce) {
  std::string path = this->Path("seek.txt");
  WriteFile(path, "0123456789");
  Reader reader = this->Open(path);
  ASSERT_TRUE(reader);
  reader->SeekForward(4).SeekBackward(1);
  EXPECT_EQ(3u, reader->GetPosition());
  char piece[4];
  ASSERT_EQ(4u, reader->Serialize(piece, 4));
  EXPECT_EQ("3456", std::string(piece, 4));
  reader->SeekToEnd();
  EXPECT_TRUE(reader->IsEndOfStream());
  EXPECT_EQ(0u, reader->Serialize(piece, 4));
  reader->SeekToBegin();
  EXPECT_FALSE(reader->IsEndOfStream());

  // The size is asked for once; later growth is not seen.
  WriteFile(path, "0123456789 and more");
  EXPECT_EQ(10u, reader->GetSize());

  reader->Close();
  EXPECT_FALSE(reader->IsOpen());
  EXPECT_EQ(0u, reader->Serialize(piece, 4));
  reader->Close();
  EXPECT_EQ(path, reader->GetName().GetText());
}

TYPED_TEST(FileSystemTest, OpensArchiveMembersOnThePath) {
  ASSERT_EQ(0, mkdir(this->Path("a").c_str(), 0777));
  WriteFile(this->Path("a/b.zip"),
            ZipBuilder().Add("c/d.txt", "member d").Add("c.txt", "member c").Build().bytes);
  Reader member = this->Open(this->Path("a/b.zip/c/d.txt"));
  ASSERT_TRUE(member);
  EXPECT_TRUE(member->IsOpen());
  EXPECT_STREQ("", member->GetName().GetText());
  EXPECT_EQ("member d", ReadAll(*member));
  EXPECT_TRUE(this->m_warnings.Messages().empty());

  // The archive stream comes back even when the member is not in it.
  Reader missing = this->Open(this->Path("a/b.zip/nothing.txt"));
  ASSERT_TRUE(missing);
  EXPECT_FALSE(missing->IsOpen());
  EXPECT_EQ(std::vector<std::string>{"The file \"nothing.txt\" can't be found inside the archive \"" +
                                     this->Path("a/b.zip") + "\"."},
            this->m_warnings.Messages());
  // Sizes and existence are about files, not members.
  EXPECT_FALSE(this->m_fs.ExistsFile(Text(this->Path("a/b.zip/c.txt"))));
  EXPECT_EQ(0u, this->m_fs.GetFileSize(Text(this->Path("a/b.zip/c.txt"))));
}

TYPED_TEST(FileSystemTest, BackslashesWinOverNearerSlashes) {
  // The archive a\b.zip as the Windows stand-in reads it (a folder a) and
  // as C stdio on this system reads it (one file with a backslash in its name).
  Bytes zip = ZipBuilder().Add("c/d.txt", "member d").Add("c.txt", "member c").Build().bytes;
  ASSERT_EQ(0, mkdir(this->Path("a").c_str(), 0777));
  WriteFile(this->Path("a/b.zip"), zip);
  WriteFile(this->Path("a\\b.zip"), zip);

  Reader member = this->Open(this->Path("a\\b.zip\\c/d.txt"));
  ASSERT_TRUE(member);
  EXPECT_EQ("member d", ReadAll(*member));
  // Only the prefix before the backslash after a is tried, and it is no file.
  EXPECT_FALSE(this->Open(this->Path("a\\b.zip/c.txt")));
  // Without a backslash the nearest slash is taken.
  Reader slash = this->Open(this->Path("a/b.zip/c.txt"));
  ASSERT_TRUE(slash);
  EXPECT_EQ("member c", ReadAll(*slash));
}

TYPED_TEST(FileSystemTest, WritersHonourOverwriteAndAppend) {
  std::string path = this->Path("out.txt");
  {
    Writer writer = this->Create(path, false, false);
    ASSERT_TRUE(writer);
    EXPECT_EQ(path, writer->GetName().GetText());
    EXPECT_EQ(5u, writer->Serialize("first", 5));
    EXPECT_EQ(0u, writer->Serialize("x", 0));
    writer->Flush();
    writer->Close();
    EXPECT_FALSE(writer->IsOpen());
    EXPECT_EQ(0u, writer->Serialize("lost", 4));
    writer->Close();
  }
  EXPECT_EQ("first", ReadFile(path));
  EXPECT_FALSE(this->Create(path, false, false));
  EXPECT_EQ("first", ReadFile(path));
  for (bool overwrite : {false, true}) {
    Writer appender = this->Create(path, overwrite, true);
    ASSERT_TRUE(appender);
    EXPECT_EQ(1u, appender->Serialize("+", 1));
  }
  EXPECT_EQ("first++", ReadFile(path));
  Writer replacer = this->Create(path, true, false);
  ASSERT_TRUE(replacer);
  replacer->Serialize("new", 3);
  replacer.reset();
  EXPECT_EQ("new", ReadFile(path));
  EXPECT_FALSE(this->Create(this->Path("no/such/folder.txt"), true, false));
}

TYPED_TEST(FileSystemTest, CopiesReportProgress) {
  std::string text = Pattern(2500);
  WriteFile(this->Path("src.bin"), text);
  ASSERT_TRUE(this->Copy(this->Path("dst.bin"), this->Path("src.bin"), false));
  EXPECT_EQ(text, ReadFile(this->Path("dst.bin")));
  EXPECT_EQ(text, ReadFile(this->Path("src.bin")));
  // Windows reports what its copy routine reports (one chunk here); the
  // portable copy reports every 1024-byte piece.
  Progress expected = this->IsWindowsFileSystem()
                          ? Progress{0.0f, 1.0f, 1.0f}
                          : Progress{0.0f, 1024.0f / 2500.0f, 2048.0f / 2500.0f, 1.0f, 1.0f};
  EXPECT_EQ(expected, g_progress);

  g_progress.clear();
  WriteFile(this->Path("empty"), "");
  ASSERT_TRUE(this->Copy(this->Path("empty-copy"), this->Path("empty"), false));
  EXPECT_TRUE(Exists(this->Path("empty-copy")));
  for (float fraction : g_progress) EXPECT_TRUE(fraction >= 0.0f && fraction <= 1.0f);
  // No callback is fine too.
  EXPECT_TRUE(this->m_fs.Copy(Text(this->Path("third.bin")), Text(this->Path("src.bin")), false,
                              nullptr));
}

TYPED_TEST(FileSystemTest, CopiesNeverReplaceWithoutOverwrite) {
  WriteFile(this->Path("src"), "source");
  WriteFile(this->Path("dst"), "keep me");
  EXPECT_FALSE(this->Copy(this->Path("dst"), this->Path("src"), false));
  EXPECT_EQ("keep me", ReadFile(this->Path("dst")));
  EXPECT_EQ(this->IsWindowsFileSystem() ? Progress{0.0f} : (Progress{0.0f, 1.0f}), g_progress);

  EXPECT_TRUE(this->Copy(this->Path("dst"), this->Path("src"), true));
  EXPECT_EQ("source", ReadFile(this->Path("dst")));

  EXPECT_FALSE(this->Copy(this->Path("other"), this->Path("missing"), true));
  EXPECT_FALSE(Exists(this->Path("other")));
}

TYPED_TEST(FileSystemTest, CopiesAndMovesAcrossDirectories) {
  std::string sub = this->Path("sub");
  ASSERT_TRUE(this->m_fs.MakeDirectory(Text(sub)));
  EXPECT_FALSE(this->m_fs.MakeDirectory(Text(sub)));
  EXPECT_FALSE(this->m_fs.MakeDirectory(Text(this->Path("x/y"))));  // one level only
  WriteFile(this->Path("f.txt"), "content");
  ASSERT_TRUE(this->Copy(sub + "/copy.txt", this->Path("f.txt"), false));
  ASSERT_TRUE(this->Move(sub + "/moved.txt", this->Path("f.txt"), false));
  EXPECT_FALSE(Exists(this->Path("f.txt")));
  EXPECT_EQ("content", ReadFile(sub + "/moved.txt"));
  EXPECT_EQ("content", ReadFile(sub + "/copy.txt"));

  EXPECT_FALSE(this->m_fs.DeleteDirectory(Text(sub)));  // not empty
  EXPECT_TRUE(this->m_fs.Delete(Text(sub + "/moved.txt")));
  EXPECT_FALSE(this->m_fs.Delete(Text(sub + "/moved.txt")));
  EXPECT_TRUE(this->m_fs.Delete(Text(sub + "/copy.txt")));
  EXPECT_TRUE(this->m_fs.DeleteDirectory(Text(sub)));
  EXPECT_FALSE(Exists(sub));
}

TYPED_TEST(FileSystemTest, MovesNeverReplaceWithoutOverwrite) {
  WriteFile(this->Path("src"), "source");
  WriteFile(this->Path("dst"), "keep me");
  EXPECT_FALSE(this->Move(this->Path("dst"), this->Path("src"), false));
  EXPECT_EQ("keep me", ReadFile(this->Path("dst")));
  EXPECT_EQ("source", ReadFile(this->Path("src")));
  EXPECT_EQ(0.0f, g_progress.front());
  EXPECT_EQ(1.0f, g_progress.back());

  g_progress.clear();
  EXPECT_TRUE(this->Move(this->Path("dst"), this->Path("src"), true));
  EXPECT_EQ("source", ReadFile(this->Path("dst")));
  EXPECT_FALSE(Exists(this->Path("src")));
  // A rename, on both: no copy to report.
  EXPECT_EQ((Progress{0.0f, 1.0f}), g_progress);
}

TYPED_TEST(FileSystemTest, AFileCopiedOrMovedOntoItselfStaysIntact) {
  ASSERT_EQ(0, mkdir(this->Path("sub").c_str(), 0777));
  WriteFile(this->Path("self.txt"), "precious");
  const std::string real = RealPath(this->m_dir) + "/self.txt";
  struct Spelling {
    std::string destination, source;
  } const spellings[] = {
      {"self.txt", "self.txt"},
      {"./self.txt", "self.txt"},
      {"self.txt", "sub/../self.txt"},
      {"sub/.././self.txt", this->Path("self.txt")},
      {real, "self.txt"},
      {this->Path("sub/../self.txt"), real},
  };
  std::string start = CurrentDirectory();
  ASSERT_EQ(0, chdir(this->m_dir.c_str()));
  for (const Spelling& names : spellings) {
    SCOPED_TRACE(names.destination + " <- " + names.source);
    this->m_warnings.Clear();
    for (bool overwrite : {true, false}) {
      EXPECT_FALSE(this->Copy(names.destination, names.source, overwrite));
      EXPECT_EQ("precious", ReadFile("self.txt"));
    }
    EXPECT_EQ(std::vector<std::string>(2, "Can't copy the file \"" + names.source + "\" onto itself."),
              this->m_warnings.Messages());
    // Moved onto itself the file is already in place; without the overwrite
    // flag its own name is an existing destination.
    EXPECT_TRUE(this->Move(names.destination, names.source, true));
    EXPECT_FALSE(this->Move(names.destination, names.source, false));
    EXPECT_EQ("precious", ReadFile("self.txt"));
  }
  ASSERT_EQ(0, chdir(start.c_str()));
  EXPECT_EQ((std::vector<std::string>{"self.txt", "sub"}), Names(this->m_dir));
}

TYPED_TEST(FileSystemTest, AReplacementTakesTheTargetsPlaceOnlyWhenComplete) {
  std::string target = this->Path("target.txt");
  WriteFile(target, "old");
  {
    kor::UFileReplacement replacement(this->m_fs, Text(target));
    ASSERT_NE(nullptr, replacement.GetStream());
    EXPECT_EQ(3u, replacement.GetStream()->Serialize("new", 3));
    EXPECT_EQ("old", ReadFile(target));  // nothing changes before the commit
    EXPECT_EQ(2u, Names(this->m_dir).size());
    EXPECT_TRUE(replacement.Commit());
    EXPECT_EQ(nullptr, replacement.GetStream());
  }
  EXPECT_EQ("new", ReadFile(target));
  EXPECT_EQ(std::vector<std::string>{"target.txt"}, Names(this->m_dir));

  // Given up (an exception part-way, say), the replacement leaves no trace.
  {
    kor::UFileReplacement replacement(this->m_fs, Text(target));
    ASSERT_NE(nullptr, replacement.GetStream());
    replacement.GetStream()->Serialize("half", 4);
  }
  EXPECT_EQ("new", ReadFile(target));
  EXPECT_EQ(std::vector<std::string>{"target.txt"}, Names(this->m_dir));

  // A new name appears only once complete; a missing folder has no stream.
  kor::UFileReplacement fresh(this->m_fs, Text(this->Path("fresh.txt")));
  ASSERT_NE(nullptr, fresh.GetStream());
  EXPECT_FALSE(Exists(this->Path("fresh.txt")));
  EXPECT_TRUE(fresh.Commit());
  EXPECT_EQ("", ReadFile(this->Path("fresh.txt")));
  EXPECT_FALSE(fresh.Commit());
  kor::UFileReplacement nowhere(this->m_fs, Text(this->Path("no/such/folder.txt")));
  EXPECT_EQ(nullptr, nowhere.GetStream());
  EXPECT_FALSE(nowhere.Commit());
}

TYPED_TEST(FileSystemTest, AReplacementOnAFullDiskKeepsTheFileThatWasThere) {
  std::string disk = this->Path("disk");
  ASSERT_EQ(0, mkdir(disk.c_str(), 0777));
  SmallDisk small(disk);
  if (!small.IsMounted()) GTEST_SKIP() << SmallDisk::SkipReason();
  const std::string good = Pattern(3000);
  WriteFile(disk + "/good.bin", good);
  // No room at all: the portable writer's buffer takes the bytes and only
  // the close can fail. Some room: the write itself comes back short.
  struct Case {
    size_t room, bytes;
  } const cases[] = {{0, 100}, {8192, 30000}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.room);
    ASSERT_TRUE(small.Fill(test.room));
    std::string bytes = Pattern(test.bytes);
    kor::UFileReplacement replacement(this->m_fs, Text(disk + "/good.bin"));
    if (kor::IOutputStream* stream = replacement.GetStream()) stream->Serialize(bytes.data(), bytes.size());
    EXPECT_FALSE(replacement.Commit());
    EXPECT_EQ(good, ReadFile(disk + "/good.bin"));
    EXPECT_EQ((std::vector<std::string>{"filler", "good.bin"}), Names(disk));

    // The plain writer tells of the loss too.
    Writer writer = this->Create(disk + "/plain.bin", true, false);
    ASSERT_TRUE(writer);
    writer->Serialize(bytes.data(), bytes.size());
    EXPECT_FALSE(this->m_fs.CloseFileWriter(*writer));
    writer.reset();
    this->m_fs.Delete(Text(disk + "/plain.bin"));
  }
}

TYPED_TEST(FileSystemTest, MovesAcrossVolumesCopyAndDelete) {
  struct stat here, there;
  if (stat(this->m_dir.c_str(), &here) != 0 || stat("/dev/shm", &there) != 0 ||
      here.st_dev == there.st_dev)
    GTEST_SKIP() << "/dev/shm is not a volume of its own beside " << this->m_dir;
  std::string other = MakeScratch("/dev/shm");
  if (other.empty()) GTEST_SKIP() << "cannot create a folder in /dev/shm";
  WriteFile(this->Path("far.txt"), "travels");
  EXPECT_TRUE(this->Move(other + "/far.txt", this->Path("far.txt"), false));
  EXPECT_EQ("travels", ReadFile(other + "/far.txt"));
  EXPECT_FALSE(Exists(this->Path("far.txt")));
  RemoveTree(other);
}

TYPED_TEST(FileSystemTest, CachesTheWorkingDirectory) {
  std::string start = CurrentDirectory();
  ASSERT_EQ(0, chdir(this->m_dir.c_str()));
  std::string first = this->m_fs.GetWorkingDirectory().GetText();
  EXPECT_EQ(CurrentDirectory() + "/", first);

  ASSERT_EQ(0, mkdir("x", 0777));
  ASSERT_EQ(0, chdir("x"));
  EXPECT_EQ(first, this->m_fs.GetWorkingDirectory().GetText());  // not asked again
  ASSERT_EQ(0, chdir(".."));

  EXPECT_TRUE(this->m_fs.SetWorkingDirectory(Text("x")));
  EXPECT_STREQ("x/", this->m_fs.GetWorkingDirectory().GetText());
  EXPECT_EQ(this->m_dir + "/x", CurrentDirectory());
  EXPECT_FALSE(this->m_fs.SetWorkingDirectory(Text("no-such-folder")));
  EXPECT_STREQ("x/", this->m_fs.GetWorkingDirectory().GetText());
  ASSERT_EQ(0, chdir(start.c_str()));
}

TYPED_TEST(FileSystemTest, InitFillsTheCacheAndFindFilesFindsNothing) {
  std::string start = CurrentDirectory();
  ASSERT_EQ(0, chdir(this->m_dir.c_str()));
  this->m_fs.Init();
  ASSERT_EQ(0, chdir(start.c_str()));
  EXPECT_EQ(this->m_dir + "/", this->m_fs.GetWorkingDirectory().GetText());
  this->m_fs.Shutdown();
  EXPECT_EQ(this->m_dir + "/", this->m_fs.GetWorkingDirectory().GetText());

  WriteFile(this->Path("found.txt"), "x");
  kor::UArray<kor::UString> found = this->m_fs.FindFiles(Text(this->m_dir), Text("*"), true);
  EXPECT_EQ(0, found.GetNum());
}
