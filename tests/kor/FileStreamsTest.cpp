#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "FileTestSupport.h"
#include "Win32Kernel.h"
#include "kor/CoreServices/Implementations/ANSI/UFileSystem_ANSI.h"
#include "kor/CoreServices/Implementations/Windows/UFileSystem_Windows.h"

using kor::UFileSystem_ANSI;
using kor::platform_windows::UFileSystem_Windows;

namespace {

template <class T>
struct Deleter {
  void operator()(T* object) const { kor::DeleteObject(object); }
};
typedef std::unique_ptr<kor::IInputStream, Deleter<kor::IInputStream>> Reader;
typedef std::unique_ptr<kor::IOutputStream, Deleter<kor::IOutputStream>> Writer;

const uint64_t TWO_GIB = uint64_t(1) << 31;

// The error a call raised, or none.
template <class Call>
bool Raises(Call call, kor::ErrorDescription* raised) {
  try {
    call();
  } catch (const kor::ErrorDescription& error) {
    *raised = error;
    return true;
  }
  return false;
}

class WindowsFileStreams : public ScratchTest {
 protected:
  ~WindowsFileStreams() noexcept override {}
  UFileSystem_Windows m_fs;
};

class PortableFileSystem : public ScratchTest {
 protected:
  ~PortableFileSystem() noexcept override {}
  UFileSystem_ANSI m_fs;
};

}  // namespace

TEST_F(WindowsFileStreams, TransfersOf2GiBRaiseBeforeTouchingTheFile) {
  std::string path = Path("f.txt");
  WriteFile(path, "abc");
  Reader reader(m_fs.CreateFileReader(Text(path)));
  ASSERT_TRUE(reader);
  char buffer[4];
  kor::ErrorDescription raised(0, "", "", "");
  ASSERT_TRUE(Raises([&] { reader->Serialize(buffer, TWO_GIB); }, &raised));
  EXPECT_STREQ("'assure' failed: size < (1<<31)", raised.GetMessage());
  EXPECT_NE(nullptr, std::strstr(raised.GetHistory(),
                                 "kor::platform_windows::UFileWindows_SerializingPolicy_Input::Serialize"));
  EXPECT_EQ(0u, reader->GetPosition());
  EXPECT_EQ(3u, reader->Serialize(buffer, sizeof buffer));

  Writer writer(m_fs.CreateFileWriter(Text(Path("out.txt")), true, false));
  ASSERT_TRUE(writer);
  ASSERT_TRUE(Raises([&] { writer->Serialize(buffer, ~uint64_t(0)); }, &raised));
  EXPECT_STREQ("'assure' failed: size < (1<<31)", raised.GetMessage());
  EXPECT_NE(nullptr, std::strstr(raised.GetHistory(),
                                 "kor::platform_windows::UFileWindows_SerializingPolicy_Output::Serialize"));
  writer.reset();
  EXPECT_EQ("", ReadFile(Path("out.txt")));
}

// Two file nodes may name one texture: readers share reading, writers hold
// the file alone.
TEST_F(WindowsFileStreams, ReadersShareTheFileAndAWriterHoldsItAlone) {
  std::string path = Path("held.txt");
  WriteFile(path, "held");
  Reader reader(m_fs.CreateFileReader(Text(path)));
  ASSERT_TRUE(reader);
  Reader second(m_fs.CreateFileReader(Text(path)));
  ASSERT_TRUE(second);
  EXPECT_TRUE(m_fs.ExistsFile(Text(path)));
  EXPECT_EQ(4u, m_fs.GetFileSize(Text(path)));
  char bytes[4] = {};
  EXPECT_EQ(4u, second->Serialize(bytes, 4));
  EXPECT_EQ(4u, reader->Serialize(bytes, 4));
  EXPECT_EQ("held", std::string(bytes, 4));
  // A writer would change what the readers read: it does not open, and the
  // file stays as it was.
  EXPECT_FALSE(Writer(m_fs.CreateFileWriter(Text(path), true, false)));
  reader.reset();
  EXPECT_FALSE(Writer(m_fs.CreateFileWriter(Text(path), true, false)));
  second->Close();
  EXPECT_EQ("held", ReadFile(path));

  // Held by a writer, the file counts as absent to everyone else.
  Writer writer(m_fs.CreateFileWriter(Text(path), true, true));
  ASSERT_TRUE(writer);
  EXPECT_FALSE(m_fs.ExistsFile(Text(path)));
  EXPECT_EQ(0u, m_fs.GetFileSize(Text(path)));
  EXPECT_FALSE(m_fs.CreateFileReader(Text(path)));
  writer.reset();
  EXPECT_TRUE(m_fs.ExistsFile(Text(path)));
}

TEST_F(WindowsFileStreams, MoveTakesTheCopyBackWhenTheSourceStays) {
  std::string source = Path("src.txt"), destination = Path("dst.txt");
  WriteFile(source, "stays");
  // Held by someone who shares reading but not deletion: the rename and the
  // deletion fail, the copy succeeds.
  HANDLE holder = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_FALSE(m_fs.Move(Text(destination), Text(source), true, nullptr));
  CloseHandle(holder);
  EXPECT_FALSE(Exists(destination));
  EXPECT_EQ("stays", ReadFile(source));

  // Archive members are for reading only.
  WriteFile(Path("a.zip"), ZipBuilder().Add("m.txt", "member").Build().bytes);
  EXPECT_FALSE(m_fs.Copy(Text(destination), Text(Path("a.zip/m.txt")), false, nullptr));
  EXPECT_FALSE(m_fs.Move(Text(destination), Text(Path("a.zip/m.txt")), false, nullptr));
  EXPECT_FALSE(Exists(destination));
}

TEST_F(PortableFileSystem, CopiesArchiveMembersOut) {
  WriteFile(Path("a.zip"),
            ZipBuilder().Add("m.txt", Pattern(3000), ZipBuilder::DEFLATED).Build().bytes);
  EXPECT_TRUE(m_fs.Copy(Text(Path("out.txt")), Text(Path("a.zip/m.txt")), false, nullptr));
  EXPECT_EQ(Pattern(3000), ReadFile(Path("out.txt")));

  // A member that is not there copies nothing, not an empty file.
  EXPECT_FALSE(m_fs.Copy(Text(Path("none.txt")), Text(Path("a.zip/none.txt")), false, nullptr));
  EXPECT_FALSE(Exists(Path("none.txt")));

  // The member cannot be deleted afterwards: the move takes its copy back.
  EXPECT_FALSE(m_fs.Move(Text(Path("moved.txt")), Text(Path("a.zip/m.txt")), false, nullptr));
  EXPECT_FALSE(Exists(Path("moved.txt")));
  EXPECT_TRUE(Exists(Path("a.zip")));
}

TEST(PortableFileSystemStart, ConstructionAllocatesNothing) {
  ScopedTestServices services;
  services.Pool().ClearLog();
  alignas(UFileSystem_ANSI) unsigned char storage[sizeof(UFileSystem_ANSI)];
  UFileSystem_ANSI* fs = new (storage) UFileSystem_ANSI();
  EXPECT_EQ(0, services.Pool().Logged());
  fs->~UFileSystem_ANSI();
  EXPECT_EQ(0, services.Pool().Logged());
}
