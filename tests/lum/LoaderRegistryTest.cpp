#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "FakeLoaders.h"
#include "TestServices.h"
#include "kor/CoreServices/Implementations/UStream_Memory.h"

using lum::LImageLoaderTable;
using lum::LLoader_Image;
typedef std::vector<std::string> Events;

namespace {

LoaderLog* g_log = nullptr;
int g_failAtKey = -1;

const std::string SIGNATURES[8] = {"BM",
                                   "GIF89a",
                                   "#?RADIANCE",
                                   std::string("\0\0\1\0", 4),
                                   "\x8BJNG\r\n\x1A\n",
                                   "\xFF\xD8\xFF",
                                   "\x89PNG\r\n\x1A\n",
                                   ""};  // last, like a format without a signature
const std::set<int> WRITABLE[8] = {{0, 1}, {}, {}, {}, {0, 1, 4, 5, 7}, {1, 4, 5}, {0, 1, 3, 4, 5, 6, 7}, {0, 1, 4, 5}};

template <int KEY>
LLoader_Image* MakeFake() {
  if (g_log) g_log->Add(std::to_string(KEY) + " create");
  if (KEY == g_failAtKey) throw std::bad_alloc();
  return new FakeImageLoader(KEY, SIGNATURES[KEY], WRITABLE[KEY], g_log);
}

const lum::LLoaderEntry<LLoader_Image> ALL_EIGHT[] = {
    {0, &MakeFake<0>}, {1, &MakeFake<1>}, {2, &MakeFake<2>}, {3, &MakeFake<3>}, {4, &MakeFake<4>},
    {5, &MakeFake<5>}, {6, &MakeFake<6>}, {7, &MakeFake<7>}, {0, nullptr}};

class NullOutput : public kor::IOutputStream {
 public:
  uint64_t Serialize(const void*, uint64_t size) override { return size; }
  void Close() override {}
  bool IsOpen() override { return true; }
  kor::UString GetName() override { return kor::UString(); }
  void Flush() override {}
};

// Eight fake loaders under their keys, in services of the test's own.
class LoaderRegistry : public ::testing::Test {
 protected:
  // Held by pointer: the services' destructor may raise, the fixture's may not.
  LoaderRegistry() : services(new ScopedTestServices) {}
  void SetUp() override {
    g_log = &log;
    g_failAtKey = -1;
    loaders = new LImageLoaderTable(ALL_EIGHT);
    log.events.clear();
  }
  void TearDown() override {
    delete loaders;
    g_log = nullptr;
    Events().swap(log.events);
    EXPECT_EQ(0, services->Pool().m_currentAllocations);
  }
  // The probes logged so far, as "key probe@position".
  Events Probes() const {
    Events probes;
    for (const std::string& event : log.events)
      if (event.find("probe") != std::string::npos) probes.push_back(event);
    return probes;
  }

  std::unique_ptr<ScopedTestServices> services;
  LoaderLog log;
  LImageLoaderTable* loaders = nullptr;
};

const char JNG_FILE[] = "\x8BJNG\r\n\x1A\n....";
const char PNG_FILE[] = "\x89PNG\r\n\x1A\n....";
const char JPG_FILE[] = "\xFF\xD8\xFF\xE0....";

}  // namespace

TEST_F(LoaderRegistry, MakesLoadersLastKeyFirstAndKeepsThemInKeyOrder) {
  delete loaders;
  log.events.clear();
  loaders = new LImageLoaderTable(ALL_EIGHT);
  EXPECT_EQ((Events{"7 create", "6 create", "5 create", "4 create", "3 create", "2 create", "1 create",
                    "0 create"}),
            log.events);
  ASSERT_EQ(8, loaders->GetNodeNum());
  for (int index = 0; index < 8; ++index) EXPECT_EQ(index, loaders->GetNode(index).key);
  EXPECT_EQ(64, loaders->GetBucketNum());
  log.events.clear();
  delete loaders;
  loaders = nullptr;
  EXPECT_EQ((Events{"0 delete", "1 delete", "2 delete", "3 delete", "4 delete", "5 delete", "6 delete",
                    "7 delete"}),
            log.events);
}

TEST_F(LoaderRegistry, JngIsRefusedByTheFirstFourAndTakenByKeyFour) {
  kor::UStream_Memory stream(JNG_FILE, sizeof JNG_FILE - 1);
  EXPECT_EQ(loaders->Get(4), LLoader_Image::FindReader(*loaders, stream));
  EXPECT_EQ((Events{"0 probe@0", "1 probe@0", "2 probe@0", "3 probe@0", "4 probe@0"}), Probes());
  EXPECT_EQ(0u, stream.GetPosition());
}

TEST_F(LoaderRegistry, PngIsTakenByKeySixAfterSixRefusals) {
  kor::UStream_Memory stream(PNG_FILE, sizeof PNG_FILE - 1);
  EXPECT_EQ(loaders->Get(6), LLoader_Image::FindReader(*loaders, stream));
  EXPECT_EQ((Events{"0 probe@0", "1 probe@0", "2 probe@0", "3 probe@0", "4 probe@0", "5 probe@0", "6 probe@0"}),
            Probes());
  EXPECT_EQ(0u, stream.GetPosition());
}

TEST_F(LoaderRegistry, ProbesStartWhereTheCallerLeftTheStream) {
  const char file[] = "abc\x89PNG\r\n\x1A\n";
  kor::UStream_Memory stream(file, sizeof file - 1);
  stream.SeekForward(3);
  EXPECT_EQ(loaders->Get(6), LLoader_Image::FindReader(*loaders, stream));
  for (const std::string& probe : Probes()) EXPECT_NE(std::string::npos, probe.find("@3")) << probe;
  EXPECT_EQ(3u, stream.GetPosition());
}

namespace {
// Reads its bytes and forgets to step back.
class CarelessLoader : public FakeImageLoader {
 public:
  CarelessLoader(LoaderLog* log) : FakeImageLoader(0, "zz", {}, log) {}
  bool CanRead(kor::IInputStream& stream) override {
    char head[2];
    stream.Serialize(head, 2);
    return false;
  }
};
}  // namespace

TEST_F(LoaderRegistry, AProbeThatMovesTheStreamIsPutBack) {
  LImageLoaderTable table;
  table.Insert(0, new CarelessLoader(&log));
  table.Insert(1, new FakeImageLoader(1, "ab", {}, &log));
  const char file[] = "ab..";
  kor::UStream_Memory stream(file, 4);
  EXPECT_EQ(table.Get(1), LLoader_Image::FindReader(table, stream));
  EXPECT_EQ((Events{"1 probe@0"}), Probes());
  EXPECT_EQ(0u, stream.GetPosition());

  // A probe near the end of a stream cannot step back by what it asked
  // for: it would land before where it started.
  LImageLoaderTable shortTable;
  shortTable.Insert(0, new FakeImageLoader(0, "12345678", {}, &log));
  shortTable.Insert(1, new FakeImageLoader(1, "ab", {}, &log));
  const char tail[] = "zzzzab";
  kor::UStream_Memory near(tail, 6);
  near.SeekForward(4);
  log.events.clear();
  EXPECT_EQ(shortTable.Get(1), LLoader_Image::FindReader(shortTable, near));
  EXPECT_EQ((Events{"0 probe@4", "1 probe@4"}), Probes());
  EXPECT_EQ(4u, near.GetPosition());
}

TEST_F(LoaderRegistry, NothingRecognisedMeansNoReaderAndNoLoad) {
  const char file[] = "...";
  kor::UStream_Memory stream(file, 3);
  LImageLoaderTable withoutFallback;
  withoutFallback.Insert(6, new FakeImageLoader(6, SIGNATURES[6], {}, &log));
  EXPECT_EQ(nullptr, LLoader_Image::FindReader(withoutFallback, stream));
  lum::LData_Image record;
  EXPECT_FALSE(LLoader_Image::LoadInfo(withoutFallback, stream, record));
  EXPECT_FALSE(LLoader_Image::Load(withoutFallback, stream, record));
  EXPECT_EQ(lum::TEXTURE_FORMAT_NONE, record.format);
  EXPECT_EQ(nullptr, record.imageData);
  EXPECT_EQ(0u, stream.GetPosition());

  LImageLoaderTable empty;
  EXPECT_EQ(nullptr, LLoader_Image::FindReader(empty, stream));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(empty, lum::TEXTURE_FORMAT_A8B8G8R8));
  NullOutput output;
  EXPECT_FALSE(LLoader_Image::Save(empty, output, record, nullptr));
}

TEST_F(LoaderRegistry, ValuelessEntriesAreSkipped) {
  LImageLoaderTable table;
  table.Insert(0, nullptr);
  table.Insert(1, new FakeImageLoader(1, "ab", {}, &log));
  table.Insert(4, nullptr);
  kor::UStream_Memory stream("ab", 2);
  EXPECT_EQ(table.Get(1), LLoader_Image::FindReader(table, stream));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(table, lum::TEXTURE_FORMAT_A8B8G8R8));
}

TEST_F(LoaderRegistry, OnlyTheJngLoaderIsAskedToWrite) {
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(*loaders, lum::TEXTURE_FORMAT_L16));
  EXPECT_EQ(loaders->Get(4), LLoader_Image::GetWriter(*loaders, lum::TEXTURE_FORMAT_A8B8G8R8));
  EXPECT_EQ(loaders->Get(4), LLoader_Image::GetWriter(*loaders, lum::TEXTURE_FORMAT_A8L8));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(*loaders, lum::TEXTURE_FORMAT_NONE));

  LImageLoaderTable withoutJng;
  withoutJng.Insert(6, new FakeImageLoader(6, SIGNATURES[6], WRITABLE[6], &log));
  EXPECT_EQ(nullptr, LLoader_Image::GetWriter(withoutJng, lum::TEXTURE_FORMAT_A8B8G8R8));
}

TEST_F(LoaderRegistry, AJpegReadIsSavedByTheJngLoader) {
  kor::UStream_Memory stream(JPG_FILE, sizeof JPG_FILE - 1);
  lum::LData_Image record;
  ASSERT_TRUE(LLoader_Image::LoadInfo(*loaders, stream, record));
  ASSERT_TRUE(LLoader_Image::Load(*loaders, stream, record));
  EXPECT_EQ(lum::TEXTURE_FORMAT_X8B8G8R8, record.format);
  lum::LImageSaveOptions options;
  NullOutput output;
  EXPECT_TRUE(LLoader_Image::Save(*loaders, output, record, &options));
  Events actions;
  for (const std::string& event : log.events)
    if (event.find("probe") == std::string::npos) actions.push_back(event);
  EXPECT_EQ((Events{"5 info", "5 read", "4 write with options"}), actions);

  record.format = lum::TEXTURE_FORMAT_L16;  // the JNG loader cannot write it
  EXPECT_FALSE(LLoader_Image::Save(*loaders, output, record, &options));
}

TEST_F(LoaderRegistry, AFailedBuildDestroysTheLoadersAlreadyMade) {
  g_failAtKey = 3;
  EXPECT_THROW(LImageLoaderTable table(ALL_EIGHT), std::bad_alloc);
  EXPECT_EQ((Events{"7 create", "6 create", "5 create", "4 create", "3 create", "4 delete", "5 delete",
                    "6 delete", "7 delete"}),
            log.events);
  g_failAtKey = -1;

  const lum::LLoaderEntry<LLoader_Image> twice[] = {{1, &MakeFake<1>}, {1, &MakeFake<2>}, {0, nullptr}};
  log.events.clear();
  try {
    LImageLoaderTable table(twice);
    FAIL() << "a key listed twice was accepted";
  } catch (const kor::ErrorDescription& error) {
    EXPECT_NE(nullptr, std::strstr(error.GetMessage(), "'assure' failed: "));
  }
  EXPECT_EQ((Events{"2 create", "1 create", "2 delete", "1 delete"}), log.events);
}
