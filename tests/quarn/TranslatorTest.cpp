#include <maya/MImage.h>
#include <maya/MImageFileInfo.h>

#include <fstream>

#include "PluginTestSupport.h"

using mayastandin::MessageKind;

namespace {

class Translator : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    TestModules() = {TestReaderModule()};
    ASSERT_TRUE(Initialize());
    char pattern[] = "/tmp/translator-XXXXXX";
    m_directory = mkdtemp(pattern);
    m_reader = static_cast<TestImageReader*>(static_cast<MPxImageFile*>(TestImageReader::Create()));
    mayastandin::takeMessages();
  }
  void TearDown() override {
    TestImageReader::Destroy(static_cast<MPxImageFile*>(m_reader));
    std::system(("rm -rf " + m_directory).c_str());
    PluginTest::TearDown();
  }

  std::string Write(const std::string& name, int width, int height, int layout,
                    const std::vector<unsigned char>& pixels) {
    std::string path = m_directory + "/" + name;
    std::ofstream file(path, std::ios::binary);
    file << "TIMG" << static_cast<char>(width) << static_cast<char>(height) << static_cast<char>(layout);
    file.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    return path;
  }

  // The one message of the call: its kind and text, decorations dropped.
  static std::pair<MessageKind, std::string> OnlyMessage() {
    std::vector<mayastandin::Message> messages = mayastandin::takeMessages();
    std::string text;
    for (const auto& message : messages)
      if (message.text != "\r\n" && message.text != "WARNING: ") text += message.text;
    return {messages.empty() ? MessageKind::Info : messages[0].kind, text};
  }

  std::string m_directory;
  TestImageReader* m_reader = nullptr;
};

}  // namespace

// The host closes every file it tried to open: closing after a failed open
// is silent, only a second close warns.
TEST_F(Translator, OpenOfAMissingFileFailsAndAClosedStreamOnlyWarns) {
  MImageFileInfo info;
  std::string path = m_directory + "/missing.timg";
  EXPECT_FALSE(m_reader->open(path.c_str(), &info));
  EXPECT_EQ(std::make_pair(MessageKind::Info, "Can't open file \"" + path + "\" for reading."),
            OnlyMessage());
  EXPECT_FALSE(m_reader->HasStream());
  EXPECT_TRUE(m_reader->close());
  EXPECT_TRUE(mayastandin::takeMessages().empty());
  EXPECT_TRUE(m_reader->close());
  EXPECT_EQ(std::make_pair(MessageKind::Warning, std::string("Tried to close already closed stream.")),
            OnlyMessage());
}

TEST_F(Translator, OpenReportsSizeAndChannelsByLayout) {
  struct Case { int layout; unsigned channels; bool alpha; };
  for (Case c : {Case{1, 4, true}, Case{2, 3, false}, Case{3, 4, true}, Case{4, 1, false}}) {
    std::string path = Write("l" + std::to_string(c.layout) + ".timg", 3, 2, c.layout, {});
    MImageFileInfo info;
    ASSERT_TRUE(m_reader->open(path.c_str(), &info)) << c.layout;
    EXPECT_EQ(3u, info.width());
    EXPECT_EQ(2u, info.height());
    EXPECT_EQ(c.channels, info.channels());
    EXPECT_EQ(c.alpha, info.hasAlpha());
    EXPECT_EQ(1u, info.numberOfImages());
    EXPECT_EQ(MImage::kByte, info.pixelType());
    EXPECT_EQ(MImageFileInfo::kImageTypeColor, info.imageType());
    EXPECT_EQ(MImageFileInfo::kHwTexture2D, info.hardwareType());
    EXPECT_FALSE(info.hasMipMaps());
  }
}

TEST_F(Translator, OpenFailsForUnreadableHeadersAndLayoutsWithoutHostForm) {
  std::string junk = m_directory + "/junk.timg";
  std::ofstream(junk) << "nothing";
  MImageFileInfo info;
  EXPECT_FALSE(m_reader->open(junk.c_str(), &info));
  EXPECT_EQ("Can't read image information out of file \"" + junk + "\".", OnlyMessage().second);
  EXPECT_TRUE(m_reader->HasStream());  // the stream stays for the host's close

  std::string none = Write("none.timg", 2, 2, 0, {});
  EXPECT_FALSE(m_reader->open(none.c_str(), &info));
  EXPECT_EQ("Can't handle file \"" + none + "\".", OnlyMessage().second);
  EXPECT_EQ(2u, info.width());
}

TEST_F(Translator, OpenWithoutInformationRecordReadsNothing) {
  std::string junk = m_directory + "/junk.timg";
  std::ofstream(junk) << "nothing";
  EXPECT_TRUE(m_reader->open(junk.c_str(), nullptr));
  EXPECT_TRUE(mayastandin::takeMessages().empty());
  EXPECT_TRUE(m_reader->close());
  EXPECT_TRUE(mayastandin::takeMessages().empty());
  EXPECT_TRUE(m_reader->close());
  EXPECT_EQ("Tried to close already closed stream.", OnlyMessage().second);
}

TEST_F(Translator, ASecondOpenReplacesTheFirstStream) {
  std::string first = Write("first.timg", 1, 1, 4, {10});
  std::string second = Write("second.timg", 1, 1, 4, {20});
  MImageFileInfo info;
  ASSERT_TRUE(m_reader->open(first.c_str(), &info));
  ASSERT_TRUE(m_reader->open(second.c_str(), &info));
  MImage image;
  ASSERT_TRUE(m_reader->load(image, 0));
  EXPECT_EQ(20, mayastandin::view(image).pixels[0]);
}

TEST_F(Translator, LoadTurnsRowsOverAndOrdersBytesForTheHost) {
  // Rows (p, q) and (s, t) of layout 2.
  std::string path = Write("rgbx.timg", 2, 2, 2,
                           {1, 2, 3, 9, 4, 5, 6, 9, 7, 8, 9, 9, 10, 11, 12, 9});
  MImageFileInfo info;
  ASSERT_TRUE(m_reader->open(path.c_str(), &info));
  MImage image;
  ASSERT_TRUE(m_reader->load(image, 0));
  mayastandin::ImageView view = mayastandin::view(image);
  ASSERT_EQ(4u, view.channels);
  const std::vector<unsigned char> host(view.pixels, view.pixels + 16);
  EXPECT_EQ((std::vector<unsigned char>{9, 8, 7, 255, 12, 11, 10, 255, 3, 2, 1, 255, 6, 5, 4, 255}), host);
}

TEST_F(Translator, LoadConvertsRgbaGreyAndSixteenBitLayouts) {
  struct Case {
    int layout;
    std::vector<unsigned char> pixel;
    std::vector<unsigned char> host;
  };
  const Case cases[] = {
      {1, {1, 2, 3, 4}, {3, 2, 1, 4}},
      {4, {77}, {77, 77, 77, 255}},
      {3, {0xFF, 0xFF, 0x01, 0x01, 0x00, 0x00, 0x80, 0x80}, {0, 1, 255, 128}},
  };
  for (const Case& c : cases) {
    std::string path = Write("p" + std::to_string(c.layout) + ".timg", 1, 1, c.layout, c.pixel);
    MImageFileInfo info;
    ASSERT_TRUE(m_reader->open(path.c_str(), &info));
    MImage image;
    ASSERT_TRUE(m_reader->load(image, 0)) << c.layout;
    const unsigned char* pixels = mayastandin::view(image).pixels;
    EXPECT_EQ(c.host, std::vector<unsigned char>(pixels, pixels + 4)) << c.layout;
  }
}

TEST_F(Translator, LoadFailuresAreReportedNotThrown) {
  MImage image;
  EXPECT_FALSE(m_reader->load(image, 0));  // nothing open
  EXPECT_NE(std::string::npos, OnlyMessage().second.find("Can't load file"));

  std::string shortFile = Write("short.timg", 4, 4, 1, {1, 2, 3});
  MImageFileInfo info;
  ASSERT_TRUE(m_reader->open(shortFile.c_str(), &info));
  EXPECT_FALSE(m_reader->load(image, 0));
  EXPECT_EQ("Can't load file \"" + shortFile + "\".", OnlyMessage().second);

  EXPECT_FALSE(m_reader->load(image, 1));
  std::pair<MessageKind, std::string> shown = OnlyMessage();
  EXPECT_EQ(MessageKind::Error, shown.first);
  EXPECT_NE(std::string::npos, shown.second.find("'assure' failed: imgNumber == 0"));

  std::string good = Write("good.timg", 1, 1, 4, {5});
  ASSERT_TRUE(m_reader->open(good.c_str(), &info));
  ASSERT_TRUE(mayastandin::failNextCall("MImage::create", MStatus::kFailure));
  EXPECT_FALSE(m_reader->load(image, 0));
  EXPECT_EQ("Can't load file \"" + good + "\".", OnlyMessage().second);
}

TEST_F(Translator, GlLoadAlwaysFails) {
  MImageFileInfo info;
  EXPECT_FALSE(m_reader->glLoad(info, 0));
  EXPECT_EQ("Can't handle glLoad call.", OnlyMessage().second);
  EXPECT_FALSE(m_reader->glLoad(info, 2));
  EXPECT_EQ(MessageKind::Error, OnlyMessage().first);
}
