// Opening, sharing, transfers and positions of file handles.
#include <unistd.h>

#include <string>
#include <vector>

#include "ScratchDirectory.h"
#include "Win32Kernel.h"

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

HANDLE OpenForReading(const std::string& path) {
  return Open(path, GENERIC_READ, 0, OPEN_EXISTING);
}

DWORD Position(HANDLE file) { return SetFilePointer(file, 0, nullptr, FILE_CURRENT); }

using Dispositions = ScratchTest;

TEST_F(Dispositions, CreateAlwaysEmptiesAnExistingFileAndCreatesAMissingOne) {
  WriteText(Path("old"), "contents");
  HANDLE old = Open(Path("old"), GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(old, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(old, nullptr), 0u);
  EXPECT_TRUE(CloseHandle(old));
  EXPECT_EQ(ReadText(Path("old")), "");

  HANDLE fresh = Open(Path("new"), GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(fresh));
  EXPECT_TRUE(Exists(Path("new")));
}

TEST_F(Dispositions, OpenAlwaysKeepsContentsAndCreatesAMissingFile) {
  WriteText(Path("kept"), "contents");
  HANDLE kept = Open(Path("kept"), GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(kept, nullptr), 8u);
  EXPECT_EQ(Position(kept), 0u);
  EXPECT_TRUE(CloseHandle(kept));
  EXPECT_EQ(ReadText(Path("kept")), "contents");

  HANDLE fresh = Open(Path("new"), GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(fresh));
  EXPECT_TRUE(Exists(Path("new")));
}

TEST_F(Dispositions, OpenExistingFailsOnAMissingFileWithoutCreatingIt) {
  EXPECT_EQ(OpenForReading(Path("missing")), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("missing"), GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Exists(Path("missing")));
}

TEST_F(Dispositions, CreateNewFailsOnAnExistingFileAndLeavesItAlone) {
  WriteText(Path("present"), "contents");
  EXPECT_EQ(Open(Path("present"), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadText(Path("present")), "contents");

  HANDLE fresh = Open(Path("new"), GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(fresh));
}

TEST_F(Dispositions, DirectoriesCannotBeOpened) {
  EXPECT_EQ(OpenForReading(m_dir), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(m_dir, GENERIC_WRITE, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(m_dir, GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
}

TEST_F(Dispositions, BackslashesSeparateLikeSlashes) {
  ASSERT_EQ(mkdir(Path("sub").c_str(), 0777), 0);
  WriteText(Path("sub/file.txt"), "x");
  std::string windowsPath = m_dir + "\\sub\\file.txt";
  HANDLE file = OpenForReading(windowsPath);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
}

using Sharing = ScratchTest;

TEST_F(Sharing, AFileHeldWithoutSharingCannotBeOpenedAgainUntilClosed) {
  WriteText(Path("held"), "contents");
  HANDLE holder = OpenForReading(Path("held"));
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const DWORD everyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  EXPECT_EQ(OpenForReading(Path("held")), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("held"), GENERIC_READ, everyShare, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("held"), GENERIC_WRITE, everyShare, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(holder));

  HANDLE again = OpenForReading(Path("held"));
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(again));
}

TEST_F(Sharing, AnOpenThatFailsForSharingNeverEmptiesTheHeldFile) {
  WriteText(Path("held"), "contents");
  HANDLE holder = OpenForReading(Path("held"));
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("held"), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("held"), GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(holder));
  EXPECT_EQ(ReadText(Path("held")), "contents");
}

TEST_F(Sharing, AnExclusiveOpenFailsWhileASharingHandleIsOpen) {
  WriteText(Path("shared"), "contents");
  HANDLE reader = Open(Path("shared"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenForReading(Path("shared")), INVALID_HANDLE_VALUE);
  // Reading is shared both ways, writing is not.
  HANDLE second = Open(Path("shared"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(Path("shared"), GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(CloseHandle(reader));
}

TEST_F(Sharing, TheSameFileIsRecognisedUnderAnotherName) {
  WriteText(Path("original"), "contents");
  ASSERT_EQ(link(Path("original").c_str(), Path("alias").c_str()), 0);
  ASSERT_EQ(symlink(Path("original").c_str(), Path("symlink").c_str()), 0);
  HANDLE holder = OpenForReading(Path("original"));
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenForReading(Path("alias")), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenForReading(Path("symlink")), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(holder));
}

TEST_F(Sharing, AHeldFileCanBeDeletedOnlyWhenDeletionIsShared) {
  WriteText(Path("file"), "contents");
  HANDLE holder = Open(Path("file"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileA(Path("file").c_str()));
  EXPECT_TRUE(Exists(Path("file")));
  EXPECT_TRUE(CloseHandle(holder));

  holder = Open(Path("file"), GENERIC_READ, FILE_SHARE_DELETE, OPEN_EXISTING);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeleteFileA(Path("file").c_str()));
  EXPECT_FALSE(Exists(Path("file")));
  EXPECT_TRUE(CloseHandle(holder));
}

using Transfers = ScratchTest;

TEST_F(Transfers, WritesAndReadsLargeBlocksWithCounts) {
  std::vector<unsigned char> data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7 + 3);
  HANDLE writer = Open(Path("data"), GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(writer, data.data(), data.size(), &written, nullptr));
  EXPECT_EQ(written, data.size());
  EXPECT_TRUE(FlushFileBuffers(writer));
  EXPECT_TRUE(CloseHandle(writer));

  HANDLE reader = OpenForReading(Path("data"));
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  std::vector<unsigned char> back(data.size() + 100, 0);
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(reader, back.data(), back.size(), &read, nullptr));
  EXPECT_EQ(read, data.size());
  back.resize(read);
  EXPECT_EQ(back, data);
  // At the end a read succeeds with nothing.
  read = 99;
  EXPECT_TRUE(ReadFile(reader, back.data(), 10, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_TRUE(CloseHandle(reader));
}

TEST_F(Transfers, AHandleOnlyDoesWhatItWasOpenedFor) {
  WriteText(Path("file"), "contents");
  char buffer[8];
  DWORD count = 99;
  HANDLE reader = Open(Path("file"), GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(FlushFileBuffers(reader));
  EXPECT_TRUE(CloseHandle(reader));

  HANDLE writer = Open(Path("file"), GENERIC_WRITE, 0, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  count = 99;
  EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(CloseHandle(writer));
  EXPECT_EQ(ReadText(Path("file")), "contents");
}

TEST_F(Transfers, AClosedHandleIsRejected) {
  WriteText(Path("file"), "contents");
  HANDLE file = OpenForReading(Path("file"));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
  char buffer[4];
  DWORD count = 0;
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_FALSE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(CloseHandle(nullptr));
}

class FilePointer : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    WriteText(Path("ten"), "0123456789");
    m_file = Open(Path("ten"), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(m_file, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
    ScratchTest::TearDown();
  }
  char ByteAtPosition() {
    char byte = 0;
    DWORD count = 0;
    ReadFile(m_file, &byte, 1, &count, nullptr);
    return count == 1 ? byte : '?';
  }
  HANDLE m_file = INVALID_HANDLE_VALUE;
};

TEST_F(FilePointer, MovesFromBeginCurrentAndEndWithSignedDistances) {
  EXPECT_EQ(SetFilePointer(m_file, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_EQ(ByteAtPosition(), '4');
  EXPECT_EQ(SetFilePointer(m_file, 2, nullptr, FILE_CURRENT), 7u);
  EXPECT_EQ(SetFilePointer(m_file, -6, nullptr, FILE_CURRENT), 1u);
  EXPECT_EQ(ByteAtPosition(), '1');
  EXPECT_EQ(SetFilePointer(m_file, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(ByteAtPosition(), '7');
  EXPECT_EQ(SetFilePointer(m_file, 0, nullptr, FILE_END), 10u);
}

TEST_F(FilePointer, APositionBeforeTheStartFailsAndKeepsThePosition) {
  ASSERT_EQ(SetFilePointer(m_file, 3, nullptr, FILE_BEGIN), 3u);
  EXPECT_EQ(SetFilePointer(m_file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(SetFilePointer(m_file, -4, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(SetFilePointer(m_file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  LONG high = -1;
  EXPECT_EQ(SetFilePointer(m_file, 0, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(Position(m_file), 3u);
  EXPECT_EQ(SetFilePointer(m_file, 5, nullptr, 7u), INVALID_SET_FILE_POINTER);
}

TEST_F(FilePointer, PositionsPastTheEndAreAllowedAndGrowTheFileOnlyWhenWritten) {
  EXPECT_EQ(SetFilePointer(m_file, 20, nullptr, FILE_END), 30u);
  EXPECT_EQ(GetFileSize(m_file, nullptr), 10u);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(m_file, "!", 1, &count, nullptr));
  EXPECT_EQ(GetFileSize(m_file, nullptr), 31u);
}

TEST_F(FilePointer, AHighPartMakesA64BitDistanceAndReceivesTheHighHalf) {
  // The halves are combined as bits: high 1 and low -4 is 8 GiB - 4, not
  // 4 GiB - 4; from the end at 10 that gives 8 GiB + 6.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(m_file, -4, &high, FILE_END), 6u);
  EXPECT_EQ(high, 2);
  high = -1;
  EXPECT_EQ(SetFilePointer(m_file, -10, &high, FILE_CURRENT), 0xFFFFFFFCu);
  EXPECT_EQ(high, 1);
  // Without a high part the position must fit in 32 bits.
  EXPECT_EQ(SetFilePointer(m_file, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  high = 0;
  EXPECT_EQ(SetFilePointer(m_file, 0, &high, FILE_CURRENT), 0xFFFFFFFCu);
  EXPECT_EQ(high, 1);
}

TEST_F(FilePointer, GetFileSizeGivesTheHighHalfThroughItsPointer) {
  LONG high = 1;
  ASSERT_EQ(SetFilePointer(m_file, 3, &high, FILE_BEGIN), 3u);
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(m_file, "x", 1, &count, nullptr));  // a sparse file of 4 GiB + 4
  DWORD sizeHigh = 0;
  EXPECT_EQ(GetFileSize(m_file, &sizeHigh), 4u);
  EXPECT_EQ(sizeHigh, 1u);
  EXPECT_EQ(GetFileSize(m_file, nullptr), 4u);
}

}  // namespace
