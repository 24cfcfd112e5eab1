// Copying, moving, deleting, directories and the working directory.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "Win32Kernel.h"

namespace {

struct ProgressCall {
  LONGLONG total;
  LONGLONG transferred;
  LONGLONG streamSize;
  LONGLONG streamTransferred;
  DWORD reason;
  bool handlesValid;
};

// Records each call and answers with `answer`, or sets the cancel flag at
// the first call when `cancelFlag` is given.
struct ProgressLog {
  std::vector<ProgressCall> calls;
  DWORD answer = PROGRESS_CONTINUE;
  BOOL* cancelFlag = nullptr;
};

DWORD CALLBACK Record(LARGE_INTEGER total, LARGE_INTEGER transferred, LARGE_INTEGER streamSize,
                      LARGE_INTEGER streamTransferred, DWORD, DWORD reason, HANDLE source,
                      HANDLE destination, LPVOID data) {
  ProgressLog* log = static_cast<ProgressLog*>(data);
  bool valid = source != nullptr && source != INVALID_HANDLE_VALUE && destination != nullptr &&
               destination != INVALID_HANDLE_VALUE;
  log->calls.push_back({total.QuadPart, transferred.QuadPart, streamSize.QuadPart,
                        streamTransferred.QuadPart, reason, valid});
  if (log->cancelFlag != nullptr) *log->cancelFlag = TRUE;
  return log->answer;
}

std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 23);
  return text;
}

using FileCopy = ScratchTest;

TEST_F(FileCopy, ReportsEachChunkWithGrowingTotalsUntilComplete) {
  const std::string data = Pattern(200000);
  WriteText(Path("source"), data);
  ProgressLog log;
  ASSERT_TRUE(CopyFileExA(Path("source").c_str(), Path("copy").c_str(), Record, &log, nullptr, 0));
  EXPECT_EQ(ReadText(Path("copy")), data);

  ASSERT_GE(log.calls.size(), 2u);
  LONGLONG previous = 0;
  for (const ProgressCall& call : log.calls) {
    EXPECT_EQ(call.reason, CALLBACK_CHUNK_FINISHED);
    EXPECT_EQ(call.total, 200000);
    EXPECT_EQ(call.streamSize, 200000);
    EXPECT_EQ(call.streamTransferred, call.transferred);
    EXPECT_GT(call.transferred, previous);
    EXPECT_TRUE(call.handlesValid);
    previous = call.transferred;
  }
  EXPECT_EQ(log.calls.back().transferred, 200000);
}

TEST_F(FileCopy, AnEmptyFileIsReportedOnce) {
  WriteText(Path("empty"), "");
  ProgressLog log;
  ASSERT_TRUE(CopyFileExA(Path("empty").c_str(), Path("copy").c_str(), Record, &log, nullptr, 0));
  ASSERT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(log.calls[0].total, 0);
  EXPECT_EQ(log.calls[0].transferred, 0);
  EXPECT_TRUE(Exists(Path("copy")));
}

TEST_F(FileCopy, CancellingDeletesThePartialDestination) {
  WriteText(Path("source"), Pattern(200000));
  for (DWORD answer : {PROGRESS_CANCEL, PROGRESS_STOP}) {
    ProgressLog log;
    log.answer = answer;
    EXPECT_FALSE(
        CopyFileExA(Path("source").c_str(), Path("copy").c_str(), Record, &log, nullptr, 0));
    EXPECT_EQ(log.calls.size(), 1u) << "answer " << answer;
    EXPECT_FALSE(Exists(Path("copy"))) << "answer " << answer;
  }
  BOOL cancel = FALSE;
  ProgressLog log;
  log.cancelFlag = &cancel;
  EXPECT_FALSE(
      CopyFileExA(Path("source").c_str(), Path("copy").c_str(), Record, &log, &cancel, 0));
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_FALSE(Exists(Path("copy")));
}

TEST_F(FileCopy, QuietFinishesTheCopyWithoutFurtherReports) {
  const std::string data = Pattern(200000);
  WriteText(Path("source"), data);
  ProgressLog log;
  log.answer = PROGRESS_QUIET;
  ASSERT_TRUE(CopyFileExA(Path("source").c_str(), Path("copy").c_str(), Record, &log, nullptr, 0));
  EXPECT_EQ(log.calls.size(), 1u);
  EXPECT_EQ(ReadText(Path("copy")), data);
}

TEST_F(FileCopy, FailIfExistsLeavesTheDestinationUntouched) {
  WriteText(Path("source"), "new contents");
  WriteText(Path("target"), "old");
  ProgressLog log;
  EXPECT_FALSE(CopyFileExA(Path("source").c_str(), Path("target").c_str(), Record, &log, nullptr,
                           COPY_FILE_FAIL_IF_EXISTS));
  EXPECT_TRUE(log.calls.empty());
  EXPECT_EQ(ReadText(Path("target")), "old");
  EXPECT_FALSE(CopyFileA(Path("source").c_str(), Path("target").c_str(), TRUE));
  EXPECT_EQ(ReadText(Path("target")), "old");

  EXPECT_TRUE(CopyFileA(Path("source").c_str(), Path("target").c_str(), FALSE));
  EXPECT_EQ(ReadText(Path("target")), "new contents");
  EXPECT_TRUE(CopyFileA(Path("source").c_str(), Path("fresh").c_str(), TRUE));
  EXPECT_EQ(ReadText(Path("fresh")), "new contents");
}

TEST_F(FileCopy, CopyingAFileOntoItselfFailsAndKeepsItsData) {
  WriteText(Path("file"), "contents");
  ASSERT_EQ(link(Path("file").c_str(), Path("alias").c_str()), 0);
  EXPECT_FALSE(CopyFileA(Path("file").c_str(), Path("file").c_str(), FALSE));
  EXPECT_FALSE(CopyFileA(Path("file").c_str(), Path("alias").c_str(), FALSE));
  EXPECT_EQ(ReadText(Path("file")), "contents");
}

TEST_F(FileCopy, FailsForAMissingOrExclusivelyHeldSourceWithoutCreatingTheDestination) {
  EXPECT_FALSE(CopyFileA(Path("missing").c_str(), Path("copy").c_str(), FALSE));
  EXPECT_FALSE(Exists(Path("copy")));

  WriteText(Path("held"), "contents");
  HANDLE holder = CreateFileA(Path("held").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CopyFileA(Path("held").c_str(), Path("copy").c_str(), FALSE));
  EXPECT_FALSE(Exists(Path("copy")));
  EXPECT_TRUE(CloseHandle(holder));
}

using FileMove = ScratchTest;

TEST_F(FileMove, RenamesWithinAVolume) {
  WriteText(Path("source"), "contents");
  EXPECT_TRUE(MoveFileExA(Path("source").c_str(), Path("target").c_str(), 0));
  EXPECT_FALSE(Exists(Path("source")));
  EXPECT_EQ(ReadText(Path("target")), "contents");
}

TEST_F(FileMove, AnExistingDestinationIsReplacedOnlyWhenAsked) {
  WriteText(Path("source"), "new");
  WriteText(Path("target"), "old");
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), Path("target").c_str(), MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(ReadText(Path("source")), "new");
  EXPECT_EQ(ReadText(Path("target")), "old");

  EXPECT_TRUE(MoveFileExA(Path("source").c_str(), Path("target").c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  EXPECT_FALSE(Exists(Path("source")));
  EXPECT_EQ(ReadText(Path("target")), "new");
}

TEST_F(FileMove, NeverReplacesADirectory) {
  WriteText(Path("source"), "contents");
  ASSERT_EQ(mkdir(Path("dir").c_str(), 0777), 0);
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), Path("dir").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(Exists(Path("source")));
}

TEST_F(FileMove, AHeldFileStaysWhereItIs) {
  WriteText(Path("source"), "contents");
  WriteText(Path("target"), "old");
  HANDLE holder = CreateFileA(Path("source").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), Path("moved").c_str(), 0));
  EXPECT_FALSE(Exists(Path("moved")));
  EXPECT_TRUE(CloseHandle(holder));

  holder = CreateFileA(Path("target").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), Path("target").c_str(),
                           MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(CloseHandle(holder));
  EXPECT_EQ(ReadText(Path("target")), "old");
}

// Needs a second file system; skipped when every candidate shares the device
// of the scratch directory.
class MoveAcrossVolumes : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    struct stat here;
    ASSERT_EQ(stat(m_dir.c_str(), &here), 0);
    for (const char* base : {"/dev/shm", "/run/shm", "/var/tmp", "/tmp", "/run/user"}) {
      struct stat there;
      if (stat(base, &there) != 0 || there.st_dev == here.st_dev) continue;
      m_other = MakeScratch(base);
      if (!m_other.empty()) return;
    }
    GTEST_SKIP() << "no second file system with a writable folder";
  }
  void TearDown() override {
    if (!m_other.empty()) RemoveTree(m_other);
    ScratchTest::TearDown();
  }
  std::string m_other;
};

TEST_F(MoveAcrossVolumes, FailsUnlessCopyingIsAllowed) {
  WriteText(Path("source"), "contents");
  std::string target = m_other + "/target";
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_TRUE(Exists(Path("source")));
  EXPECT_FALSE(Exists(target));

  EXPECT_TRUE(MoveFileExA(Path("source").c_str(), target.c_str(),
                          MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
  EXPECT_FALSE(Exists(Path("source")));
  EXPECT_EQ(ReadText(target), "contents");
}

TEST_F(MoveAcrossVolumes, CopyingKeepsTheReplaceRule) {
  WriteText(Path("source"), "new");
  std::string target = m_other + "/target";
  WriteText(target, "old");
  EXPECT_FALSE(MoveFileExA(Path("source").c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED));
  EXPECT_EQ(ReadText(target), "old");
  EXPECT_TRUE(Exists(Path("source")));

  EXPECT_TRUE(MoveFileExA(Path("source").c_str(), target.c_str(),
                          MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadText(target), "new");
  EXPECT_FALSE(Exists(Path("source")));
}

using DirectoryCalls = ScratchTest;

TEST_F(DirectoryCalls, CreatesOneLevelOnly) {
  EXPECT_FALSE(CreateDirectoryA(Path("a/b").c_str(), nullptr));
  EXPECT_FALSE(Exists(Path("a")));
  EXPECT_TRUE(CreateDirectoryA(Path("a").c_str(), nullptr));
  EXPECT_TRUE(CreateDirectoryA((m_dir + "\\a\\b").c_str(), nullptr));
  EXPECT_TRUE(Exists(Path("a/b")));
  EXPECT_FALSE(CreateDirectoryA(Path("a").c_str(), nullptr));
}

TEST_F(DirectoryCalls, RemovesOnlyEmptyDirectories) {
  ASSERT_TRUE(CreateDirectoryA(Path("dir").c_str(), nullptr));
  WriteText(Path("dir/file"), "x");
  EXPECT_FALSE(RemoveDirectoryA(Path("dir").c_str()));
  EXPECT_FALSE(RemoveDirectoryA(Path("dir/file").c_str()));
  EXPECT_FALSE(DeleteFileA(Path("dir").c_str()));
  EXPECT_TRUE(Exists(Path("dir/file")));

  EXPECT_TRUE(DeleteFileA(Path("dir/file").c_str()));
  EXPECT_FALSE(DeleteFileA(Path("dir/file").c_str()));
  EXPECT_TRUE(RemoveDirectoryA(Path("dir").c_str()));
  EXPECT_FALSE(Exists(Path("dir")));
}

class WorkingDirectory : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    char buffer[PATH_MAX];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    m_saved = buffer;
    char* real = realpath(m_dir.c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    m_real = real;
    std::free(real);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(m_saved.c_str()), 0);
    ScratchTest::TearDown();
  }
  std::string m_saved;
  std::string m_real;
};

TEST_F(WorkingDirectory, ReportsTheLengthNeededWhenTheBufferIsTooSmall) {
  ASSERT_TRUE(SetCurrentDirectoryA(m_dir.c_str()));
  const DWORD length = static_cast<DWORD>(m_real.size());
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);

  std::vector<char> small(length, '#');
  EXPECT_EQ(GetCurrentDirectoryA(length, small.data()), length + 1);
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(length, '#'));

  std::vector<char> exact(length + 1, '#');
  EXPECT_EQ(GetCurrentDirectoryA(length + 1, exact.data()), length);
  EXPECT_EQ(std::string(exact.data()), m_real);
}

TEST_F(WorkingDirectory, ChangesToAnExistingDirectoryOnly) {
  ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
  WriteText(Path("sub/file"), "x");
  ASSERT_TRUE(SetCurrentDirectoryA((m_dir + "\\sub").c_str()));
  EXPECT_FALSE(SetCurrentDirectoryA("missing"));
  EXPECT_FALSE(SetCurrentDirectoryA("file"));

  char buffer[PATH_MAX];
  ASSERT_LT(GetCurrentDirectoryA(sizeof buffer, buffer), sizeof buffer);
  EXPECT_EQ(std::string(buffer), m_real + "/sub");
  HANDLE relative = CreateFileA("file", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(relative, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(relative));
}

}  // namespace
