#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DeflateBomb.h"
#include "FileTestSupport.h"
#include "kor/CoreServices/Implementations/UStream_Archive.h"

using kor::UStream_Archive;

namespace {

typedef std::vector<std::string> Messages;

// An archive held in memory under a name, as the file systems' archive
// files carry one.
class NamedMemoryStream : public kor::UStream_Memory {
 public:
  explicit NamedMemoryStream(const Bytes& bytes) : kor::UStream_Memory(bytes.data(), bytes.size()) {}
  kor::UString GetName() override { return kor::UString("test.zip"); }
};

std::string ReadAll(kor::IInputStream& stream) {
  std::string text;
  char piece[777];
  while (uint64_t got = stream.Serialize(piece, sizeof piece)) text.append(piece, got);
  return text;
}

struct Opened {
  bool open;
  uint64_t size;
  std::string content;
};

Opened Open(const Bytes& archive, const std::string& member) {
  NamedMemoryStream stream(archive);
  UStream_Archive opened(stream, Text(member));
  Opened result{opened.IsOpen(), opened.GetSize(), ""};
  result.content = ReadAll(opened);
  return result;
}

std::string NotFound(const std::string& member, const std::string& archive = "test.zip") {
  return "The file \"" + member + "\" can't be found inside the archive \"" + archive + "\".";
}

const char* const NO_DIRECTORY = "Can't handle file \"test.zip\". No central directory found.";

class ArchiveStream : public ::testing::Test {
 protected:
  ~ArchiveStream() noexcept override {}
  RecordedWarnings m_warnings;
};

}  // namespace

TEST_F(ArchiveStream, StoredAndDeflatedMembersReadBackExactly) {
  std::string stored = Pattern(5000), deflated = Pattern(70000) + std::string(3000, 'z');
  ZipImage zip = ZipBuilder()
                     .Add("stored.txt", stored)
                     .Add("docs/deflated.txt", deflated, ZipBuilder::DEFLATED)
                     .Build();
  ASSERT_LT(zip.bytes.size(), deflated.size());  // really compressed

  NamedMemoryStream archive(zip.bytes);
  archive.SeekForward(9);
  UStream_Archive member(archive, Text("docs/deflated.txt"));
  EXPECT_EQ(9u, archive.GetPosition());
  EXPECT_TRUE(member.IsOpen());
  EXPECT_STREQ("", member.GetName().GetText());
  EXPECT_EQ(deflated.size(), member.GetSize());
  EXPECT_EQ(deflated, ReadAll(member));
  EXPECT_TRUE(member.IsEndOfStream());
  member.SeekToBegin();
  member.SeekForward(10);
  char piece[3];
  ASSERT_EQ(3u, member.Serialize(piece, 3));
  EXPECT_EQ(deflated.substr(10, 3), std::string(piece, 3));

  Opened plain = Open(zip.bytes, "stored.txt");
  EXPECT_TRUE(plain.open);
  EXPECT_EQ(stored, plain.content);
  EXPECT_TRUE(m_warnings.Messages().empty());
}

TEST_F(ArchiveStream, OutlivesTheArchiveItWasReadFrom) {
  auto bytes = std::make_unique<Bytes>(ZipBuilder().Add("a.txt", "alpha").Build().bytes);
  auto archive = std::make_unique<NamedMemoryStream>(*bytes);
  UStream_Archive member(*archive, Text("a.txt"));
  archive.reset();
  bytes.reset();
  EXPECT_EQ("alpha", ReadAll(member));
  member.Close();
  EXPECT_FALSE(member.IsOpen());
}

TEST_F(ArchiveStream, NamesMatchExactlyAndTheLastDuplicateWins) {
  ZipImage zip =
      ZipBuilder().Add("Dir/File.txt", "upper").Add("same", "first").Add("same", "second").Build();
  EXPECT_EQ("upper", Open(zip.bytes, "Dir/File.txt").content);
  EXPECT_EQ("second", Open(zip.bytes, "same").content);
  EXPECT_TRUE(m_warnings.Messages().empty());

  Opened lower = Open(zip.bytes, "dir/file.txt");
  EXPECT_FALSE(lower.open);
  EXPECT_EQ(0u, lower.size);
  EXPECT_EQ(Messages{NotFound("dir/file.txt")}, m_warnings.Messages());
}

TEST_F(ArchiveStream, MemberPathsReachIntoNestedArchives) {
  Bytes deepest = ZipBuilder().Add("x.txt", "three levels").Build().bytes;
  Bytes inner = ZipBuilder()
                    .Add("readme.txt", "inside")
                    .Add("deep.zip", deepest, ZipBuilder::DEFLATED)
                    .Build()
                    .bytes;
  Bytes outer = ZipBuilder()
                    .Add("inner.zip", inner)
                    .Add("sub/inner.zip", inner, ZipBuilder::DEFLATED)
                    .Build()
                    .bytes;
  EXPECT_EQ("inside", Open(outer, "inner.zip/readme.txt").content);
  EXPECT_EQ("inside", Open(outer, "sub/inner.zip/readme.txt").content);
  EXPECT_EQ("inside", Open(outer, "inner.zip\\readme.txt").content);
  Opened deep = Open(outer, "sub/inner.zip/deep.zip/x.txt");
  EXPECT_TRUE(deep.open);
  EXPECT_EQ(12u, deep.size);
  EXPECT_EQ("three levels", deep.content);
  EXPECT_TRUE(m_warnings.Messages().empty());

  // The inner archive, a member, has no name of its own.
  EXPECT_FALSE(Open(outer, "inner.zip/missing.txt").open);
  EXPECT_EQ((Messages{NotFound("missing.txt", ""), NotFound("inner.zip/missing.txt")}),
            m_warnings.Messages());
}

TEST_F(ArchiveStream, NestedSearchIsBoundedOnCraftedArchives) {
  // Every prefix of x/x/x/... is an archive holding the same names again:
  // trying every split at every level would take exponential time.
  const std::vector<std::string> names = {"x", "x/x", "x/x/x", "x/x/x/x"};
  Bytes level = ZipBuilder().Add("leaf", "end").Build().bytes;
  for (int depth = 0; depth < 4; ++depth) {
    ZipBuilder builder;
    for (const std::string& name : names) builder.Add(name, level);
    level = builder.Build().bytes;
  }
  std::string path;
  for (int i = 0; i < 14; ++i) path += "x/";
  path += "missing";
  EXPECT_FALSE(Open(level, path).open);
  // Unbounded, this search draws 336 warnings; one per nested archive
  // opened, plus the final one, is the most it may now draw.
  EXPECT_LE(m_warnings.Messages().size(), 17u);
  EXPECT_EQ(NotFound(path), m_warnings.Messages().back());
}

TEST_F(ArchiveStream, FindsTheEndRecordBehindComments) {
  for (size_t length : {size_t(100), size_t(65535)}) {
    ZipImage zip = ZipBuilder().Add("m.txt", "commented").Comment(Pattern(length)).Build();
    EXPECT_EQ("commented", Open(zip.bytes, "m.txt").content) << length;
  }
  EXPECT_TRUE(m_warnings.Messages().empty());

  // No comment is that long: an end record further back is not looked for.
  ZipImage zip = ZipBuilder().Add("m.txt", "commented").Comment(Pattern(65535)).Build();
  zip.bytes.push_back('!');
  EXPECT_FALSE(Open(zip.bytes, "m.txt").open);
  EXPECT_EQ((Messages{NO_DIRECTORY, NotFound("m.txt")}), m_warnings.Messages());
}

TEST_F(ArchiveStream, ArchivesWithoutDirectoryDrawBothWarnings) {
  ZipImage empty = ZipBuilder().Build();
  ASSERT_EQ(22u, empty.bytes.size());
  Bytes shortFile = {0x50, 0x4B, 0x05, 0x06, 0};
  for (const Bytes& bytes : {empty.bytes, shortFile, Bytes()}) {
    m_warnings.Clear();
    EXPECT_FALSE(Open(bytes, "a").open);
    EXPECT_EQ((Messages{NO_DIRECTORY, NotFound("a")}), m_warnings.Messages()) << bytes.size();
  }
}

TEST_F(ArchiveStream, RefusesUnsupportedCompressionMethods) {
  ZipImage zip = ZipBuilder().Add("m.bin", "raw bytes", 12).Add("ok.txt", "fine").Build();
  NamedMemoryStream archive(zip.bytes);
  UStream_Archive member(archive, Text("m.bin"));
  EXPECT_FALSE(member.IsOpen());
  EXPECT_EQ(0u, member.GetSize());
  char byte;
  EXPECT_EQ(0u, member.Serialize(&byte, 1));
  EXPECT_TRUE(member.IsEndOfStream());
  EXPECT_EQ(Messages{"Can't handle file \"m.bin\" in archive \"test.zip\". "
                     "Unsupported compression method used."},
            m_warnings.Messages());
}

TEST_F(ArchiveStream, RefusesDirectoryFieldsBeyondTheArchive) {
  ZipImage zip = ZipBuilder().Add("a.txt", "alpha").Add("b.txt", "beta").Build();
  struct Defect {
    const char* what;
    size_t at;
    uint32_t value;
    bool wide;
  };
  const Defect defects[] = {
      {"entry count", zip.endRecord + 10, 0xFFFF, false},
      {"directory offset", zip.endRecord + 16, 0xFFFFFFF0u, true},
      {"directory offset near the end", zip.endRecord + 16, uint32_t(zip.bytes.size() - 10), true},
      {"name length", zip.centralHeaders[0] + 28, 60000, false},
  };
  for (const Defect& defect : defects) {
    Bytes bytes = zip.bytes;
    if (defect.wide) Put32(bytes, defect.at, defect.value);
    else Put16(bytes, defect.at, defect.value);
    m_warnings.Clear();
    EXPECT_FALSE(Open(bytes, "a.txt").open) << defect.what;
    EXPECT_EQ((Messages{NO_DIRECTORY, NotFound("a.txt")}), m_warnings.Messages()) << defect.what;
  }
}

TEST_F(ArchiveStream, RefusesMemberDataBeyondTheArchive) {
  ZipImage zip = ZipBuilder()
                     .Add("a.txt", "alpha")
                     .Add("p.txt", Pattern(4000), ZipBuilder::DEFLATED)
                     .Build();
  struct Defect {
    const char* what;
    size_t member;
    size_t field;
    uint32_t value;
  };
  const uint32_t size = static_cast<uint32_t>(zip.bytes.size());
  const Defect defects[] = {
      {"local header offset", 0, 42, size},
      {"local header offset, header cut", 0, 42, size - 20},
      {"stored size", 0, 24, 1u << 30},
      {"stored size by one", 0, 24, size},
      {"compressed size", 1, 20, 0xFFFFFFFFu},
  };
  for (const Defect& defect : defects) {
    Bytes bytes = zip.bytes;
    Put32(bytes, zip.centralHeaders[defect.member] + defect.field, defect.value);
    std::string name = defect.member == 0 ? "a.txt" : "p.txt";
    m_warnings.Clear();
    EXPECT_FALSE(Open(bytes, name).open) << defect.what;
    EXPECT_EQ(Messages{NotFound(name)}, m_warnings.Messages()) << defect.what;
  }
}

// A member's data and its recorded size disagree: the stream holds what
// both allow, after a warning; broken data leaves it empty.
TEST_F(ArchiveStream, DeflatedMembersNeverReachBeyondTheBytesProduced) {
  std::string text = Pattern(4000);
  ZipImage zip = ZipBuilder().Add("p.txt", text, ZipBuilder::DEFLATED).Build();
  size_t entry = zip.centralHeaders[0];
  const std::string problem = "Can't handle file \"p.txt\" in archive \"test.zip\". ";
  struct Case {
    const char* what;
    size_t field;
    uint32_t value;
    bool open;
    std::string content;
    std::string warning;
  };
  const Case cases[] = {
      {"recorded size larger", 24, 100000, true, text, problem + "It holds less data than its recorded size."},
      {"recorded size smaller", 24, 10, true, text.substr(0, 10),
       problem + "It holds more data than its recorded size."},
      {"recorded size beyond any buffer", 24, 0xFFFFFFFFu, false, "", problem + "Its size is too large."},
      {"data cut short", 20, 20, false, "", problem + "Its compressed data is corrupt."},
  };
  for (const Case& c : cases) {
    Bytes bytes = zip.bytes;
    Put32(bytes, entry + c.field, c.value);
    m_warnings.Clear();
    Opened opened = Open(bytes, "p.txt");
    EXPECT_EQ(c.open, opened.open) << c.what;
    EXPECT_EQ(c.content.size(), opened.size) << c.what;
    EXPECT_EQ(c.content, opened.content) << c.what;
    EXPECT_EQ(Messages{c.warning}, m_warnings.Messages()) << c.what;
  }
}

// Two megabytes that inflate to 2 GiB, recorded as 10 bytes, directly and
// inside a nested archive: each costs no more than its recorded size.
TEST_F(ArchiveStream, ADeflateBombCostsOnlyItsRecordedSize) {
  Bytes bomb = DeflateBomb(uint64_t(2) << 30);
  Bytes inner = ZipBuilder().AddDeflatedAs("bomb.bin", bomb, 10).Build().bytes;
  Bytes outer = ZipBuilder().AddDeflatedAs("bomb.bin", bomb, 10).Add("inner.zip", inner).Build().bytes;
  for (const char* name : {"bomb.bin", "inner.zip/bomb.bin"}) {
    m_warnings.Clear();
    const kor::UMemoryPool& pool = *kor::GetCoreServices()->GetMemoryPool();
    uint64_t largestBefore = pool.m_maximumSize;  // the archive built here
    Opened opened = Open(outer, name);
    EXPECT_TRUE(opened.open) << name;
    EXPECT_EQ(std::string(10, '\0'), opened.content) << name;
    EXPECT_EQ(largestBefore, pool.m_maximumSize) << name;
    // A nested archive is a stream without a name of its own.
    std::string archive = name[0] == 'i' ? "" : "test.zip";
    EXPECT_EQ(Messages{"Can't handle file \"bomb.bin\" in archive \"" + archive +
                       "\". It holds more data than its recorded size."},
              m_warnings.Messages())
        << name;
  }
}

TEST_F(ArchiveStream, SurvivesTruncatedAndCorruptedArchives) {
  Bytes inner = ZipBuilder().Add("i.txt", "inner").Build().bytes;
  ZipImage zip = ZipBuilder()
                     .Add("a.txt", Pattern(300))
                     .Add("d.txt", Pattern(2000), ZipBuilder::DEFLATED)
                     .Add("n.zip", inner)
                     .Comment("comment")
                     .Build();
  const char* names[] = {"a.txt", "d.txt", "n.zip/i.txt"};
  for (size_t length = 0; length < zip.bytes.size(); ++length) {
    Bytes cut(zip.bytes.begin(), zip.bytes.begin() + static_cast<long>(length));
    for (const char* name : names) Open(cut, name);
  }
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes = zip.bytes;
    for (int flips = 1 + round % 4; flips > 0; --flips)
      bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
    Opened opened = Open(bytes, names[round % 3]);
    EXPECT_EQ(opened.size, opened.content.size());
  }
}
