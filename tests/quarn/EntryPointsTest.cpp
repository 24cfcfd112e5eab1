#include <maya/MSceneMessage.h>

#include "PluginTestSupport.h"
#include "kor/CoreServices/Implementations/UMessageChannel.h"
#include "kor/CoreServices/Implementations/UMessageWriter.h"
#include "quarn/Platform/Maya/HPluginRuntime.h"

using mayastandin::MessageKind;
using mayastandin::RegistrationKind;

namespace {

typedef std::vector<std::pair<MessageKind, std::string>> Messages;

Messages Take() {
  Messages taken;
  for (const mayastandin::Message& message : mayastandin::takeMessages())
    taken.push_back({message.kind, message.text});
  return taken;
}

void Say(int channel, const char* text) {
  kor::UMessageWriter(kor::GetCoreServices()->GetChannel(channel), text);
}

}  // namespace

TEST_F(PluginTest, RegistersAnImageFileModuleWithItsExtensionAndTexts) {
  TestModules().push_back(TestReaderModule("JNGImporter"));
  ASSERT_TRUE(Initialize());
  std::vector<mayastandin::Registration> registered = mayastandin::registrations();
  ASSERT_EQ(1u, registered.size());
  EXPECT_EQ(RegistrationKind::ImageFile, registered[0].kind);
  EXPECT_EQ("JNGImporter", registered[0].name);
  EXPECT_EQ(std::vector<std::string>{"timg"}, registered[0].extensions);
  mayastandin::PluginInfo info;
  ASSERT_TRUE(mayastandin::pluginInfo(m_plugin, info));
  EXPECT_EQ("Tests JNG image loader", info.vendor);
  EXPECT_EQ("0.8", info.version);
  EXPECT_EQ("Any", info.requiredApiVersion);
  EXPECT_EQ(1u, mayastandin::callbackCount());
}

TEST_F(PluginTest, RegistersEachModuleTypeWithItsHostCall) {
  TestModules() = {CommandModule("doThing", 0), CommandModule("Translator", 1),
                   CommandModule("Translator2", 2), TestReaderModule()};
  ASSERT_TRUE(Initialize());
  std::vector<mayastandin::Registration> registered = mayastandin::registrations();
  ASSERT_EQ(4u, registered.size());
  EXPECT_EQ(RegistrationKind::Command, registered[0].kind);
  EXPECT_EQ(RegistrationKind::FileTranslator, registered[1].kind);
  EXPECT_EQ("none", registered[1].pixmapName);
  EXPECT_EQ("TranslatorOptions", registered[1].optionsScriptName);
  EXPECT_EQ("", registered[1].defaultOptionsString);
  EXPECT_FALSE(registered[1].requiresFullMel);
  EXPECT_EQ(RegistrationKind::FileTranslator, registered[2].kind);
  EXPECT_EQ(RegistrationKind::ImageFile, registered[3].kind);

  ASSERT_TRUE(uninitializePlugin(m_plugin));
  EXPECT_TRUE(mayastandin::registrations().empty());
  EXPECT_EQ(0u, mayastandin::callbackCount());
}

TEST_F(PluginTest, ARefusedRegistrationStopsTheLoop) {
  TestModules() = {CommandModule("first"), CommandModule("second")};
  ASSERT_TRUE(mayastandin::failNextCall("MFnPlugin::registerCommand", MStatus::kNotFound));
  MStatus status = Initialize();
  EXPECT_EQ(MStatus::kNotFound, status.statusCode());
  EXPECT_TRUE(mayastandin::registrations().empty());  // "second" was never asked for
  EXPECT_EQ(0u, mayastandin::callbackCount());         // nor the exit notification
}

TEST_F(PluginTest, UnknownModuleTypesAreReportedAndFail) {
  TestModules() = {CommandModule("Odd", 9)};
  MStatus status = Initialize();
  EXPECT_FALSE(status);
  std::string text = AllText();
  EXPECT_NE(std::string::npos,
            text.find("Couldn't register module with name \"Odd\". Unknown module type."));
}

TEST_F(PluginTest, ReservedModuleTypeIsABrokenInvariantShownAsAnError) {
  TestModules() = {CommandModule("Reserved", 4)};
  EXPECT_FALSE(Initialize());
  bool shown = false;
  for (const mayastandin::Message& message : mayastandin::takeMessages())
    if (message.kind == MessageKind::Error &&
        message.text.find("'assure' failed: false") != std::string::npos)
      shown = true;
  EXPECT_TRUE(shown);
}

TEST_F(PluginTest, ChannelsReachTheHostDisplaysWithTheirDecorations) {
  TestModules() = {TestReaderModule()};
  ASSERT_TRUE(Initialize());
  Take();
  Say(1, "nobody");
  EXPECT_TRUE(Take().empty());
  Say(5, "bad");
  EXPECT_EQ((Messages{{MessageKind::Error, "bad"}, {MessageKind::Error, "\r\n"}}), Take());
  Say(6, "file");
  EXPECT_EQ((Messages{{MessageKind::Info, "file"}, {MessageKind::Info, "\r\n"}}), Take());
  Say(7, "a\r\nb");
  EXPECT_EQ((Messages{{MessageKind::Warning, "WARNING: "},
                      {MessageKind::Warning, "a\r\n"},
                      {MessageKind::Warning, "         "},
                      {MessageKind::Warning, "b"},
                      {MessageKind::Warning, "\r\n"}}),
            Take());
  Say(2, "dbg");
  Messages debug = Take();
  ASSERT_EQ(3u, debug.size());
  EXPECT_EQ(MessageKind::Info, debug[0].first);
  EXPECT_EQ("DEBUG:   ", debug[0].second);
  for (int channel : {3, 4}) {
    Say(channel, "x");
    EXPECT_EQ(MessageKind::Info, Take().at(0).first) << channel;
  }
}

TEST_F(PluginTest, ExitNotificationTakesThePluginDownAndAnUnloadLaterSucceeds) {
  TestModules() = {TestReaderModule()};
  ASSERT_TRUE(Initialize());
  EXPECT_NE(m_accessorBefore, kor::GetCoreServicesAccessor());
  EXPECT_EQ(1u, mayastandin::notifyExit());
  EXPECT_TRUE(mayastandin::registrations().empty());
  EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor());
  EXPECT_EQ(0, quarn::GetPluginDescription().modules.GetCount());
  EXPECT_TRUE(uninitializePlugin(m_plugin));
  EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor());
}

TEST_F(PluginTest, ASecondInitialisationReplacesTheServicesAndKeepsOneModule) {
  TestModules() = {TestReaderModule()};
  ASSERT_TRUE(Initialize());
  kor::ICoreServices* first = kor::GetCoreServices();
  ASSERT_TRUE(Initialize());
  EXPECT_NE(first, kor::GetCoreServices());
  EXPECT_EQ(1, quarn::GetPluginDescription().modules.GetCount());
  EXPECT_EQ(1u, mayastandin::registrations().size());
  EXPECT_EQ(1u, mayastandin::callbackCount());  // the first exit notification is gone
  ASSERT_TRUE(uninitializePlugin(m_plugin));
  EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor());
  EXPECT_EQ(0u, mayastandin::callbackCount());
  EXPECT_EQ(0u, mayastandin::notifyExit());  // nothing left to call into an unloaded library
}

namespace {
void* CreateNothing() { return nullptr; }
}  // namespace

// The host unloads a plug-in whose initialisation failed without calling
// uninitializePlugin: whatever the failed initialisation did must be undone.
TEST_F(PluginTest, AFailedInitialisationLeavesNothingRegistered) {
  quarn::ModuleInfoBase noObjects = TestReaderModule("NoObjects");
  noObjects.create = &CreateNothing;
  struct Case {
    const char* what;
    std::vector<quarn::ModuleInfoBase> modules;
    const char* failingCall;
  };
  const Case cases[] = {
      {"a creator that makes nothing", {CommandModule("first"), TestReaderModule(), noObjects}, nullptr},
      {"a refused exit notification", {CommandModule("first"), TestReaderModule()}, "MSceneMessage::addCallback"},
  };
  for (const Case& c : cases) {
    TestModules() = c.modules;
    if (c.failingCall) {
      ASSERT_TRUE(mayastandin::failNextCall(c.failingCall, MStatus::kFailure));
    }
    EXPECT_FALSE(Initialize()) << c.what;
    EXPECT_TRUE(mayastandin::registrations().empty()) << c.what;
    EXPECT_EQ(0u, mayastandin::callbackCount()) << c.what;
    EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor()) << c.what;
    EXPECT_EQ(0, quarn::GetPluginDescription().modules.GetCount()) << c.what;
  }
  EXPECT_NE(std::string::npos,
            AllText().find("Couldn't register module with name \"NoObjects\". It can't create its objects."));
}

TEST_F(PluginTest, RefusedExitNotificationIsReportedAndTheAccessorRestored) {
  TestModules() = {TestReaderModule()};
  ASSERT_TRUE(mayastandin::failNextCall("MSceneMessage::addCallback", MStatus::kFailure));
  MStatus status = Initialize();
  EXPECT_FALSE(status);
  EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor());
  std::string text = AllText();
  EXPECT_NE(std::string::npos, text.find("Couldn't register callback upon program shutdown."));
}

TEST_F(PluginTest, ARefusedDeregistrationStillTearsDown) {
  TestModules() = {CommandModule("a"), CommandModule("b")};
  ASSERT_TRUE(Initialize());
  ASSERT_TRUE(mayastandin::failNextCall("MFnPlugin::deregisterCommand", MStatus::kFailure));
  EXPECT_FALSE(uninitializePlugin(m_plugin));
  EXPECT_EQ(2u, mayastandin::registrations().size());  // later modules stay registered
  EXPECT_EQ(0u, mayastandin::callbackCount());
  EXPECT_EQ(m_accessorBefore, kor::GetCoreServicesAccessor());
}
