#include "StandinTest.h"

// The version text belongs to a plug-in, not to a test of the registry.
#define MNoVersionString
#include <maya/MFnPlugin.h>

using mayastandin::Registration;
using mayastandin::RegistrationKind;

namespace {

void* makeNothing() { return nullptr; }

MStringArray extensions(std::initializer_list<const char*> names)
{
    MStringArray result;
    for (const char* name : names)
        result.append(name);
    return result;
}

class MayaRegistry : public StandinTest
{
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        plugin = mayastandin::createPluginObject("/plugins/test.so");
    }
    MObject plugin;
};

TEST_F(MayaRegistry, RecordsEachKindInOrderWithItsDetails)
{
    MStatus attached;
    MFnPlugin fn(plugin, "Vendor", "2.0", "Any", &attached);
    ASSERT_TRUE(attached);
    ASSERT_TRUE(fn.registerImageFile("Img", makeNothing, extensions({"jng", "JNG2"})));
    ASSERT_TRUE(fn.registerCommand("cmd", makeNothing));
    ASSERT_TRUE(fn.registerFileTranslator("Tr", const_cast<char*>("none"), makeNothing,
                                          const_cast<char*>("TrOptions"), const_cast<char*>(""), true));

    std::vector<Registration> all = mayastandin::registrations();
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ(RegistrationKind::ImageFile, all[0].kind);
    EXPECT_EQ("Img", all[0].name);
    EXPECT_EQ((std::vector<std::string>{"jng", "JNG2"}), all[0].extensions);
    EXPECT_EQ(plugin, all[0].plugin);
    EXPECT_EQ(&makeNothing, all[0].creator);
    EXPECT_EQ(RegistrationKind::Command, all[1].kind);
    EXPECT_EQ("cmd", all[1].name);
    EXPECT_EQ(nullptr, all[1].syntaxCreator);
    EXPECT_EQ(RegistrationKind::FileTranslator, all[2].kind);
    EXPECT_EQ("none", all[2].pixmapName);
    EXPECT_EQ("TrOptions", all[2].optionsScriptName);
    EXPECT_EQ("", all[2].defaultOptionsString);
    EXPECT_TRUE(all[2].requiresFullMel);
}

TEST_F(MayaRegistry, TakesVendorAndVersionOnlyWhileInitializing)
{
    MStatus status = mayastandin::runInitialize(
        [](MObject object) {
            MFnPlugin fn(object, "Vendor text", "0.8", "Any");
            return MStatus(MStatus::kSuccess);
        },
        plugin);
    ASSERT_TRUE(status);
    MFnPlugin later(plugin);  // as uninitializePlugin builds it

    mayastandin::PluginInfo info;
    ASSERT_TRUE(mayastandin::pluginInfo(plugin, info));
    EXPECT_EQ("/plugins/test.so", info.name);
    EXPECT_EQ("Vendor text", info.vendor);
    EXPECT_EQ("0.8", info.version);
    EXPECT_EQ("Any", info.requiredApiVersion);
    EXPECT_FALSE(mayastandin::pluginInfo(MObject(), info));
}

TEST_F(MayaRegistry, FindsImageFilesByExtensionIgnoringCaseAndByName)
{
    MFnPlugin fn(plugin);
    fn.registerCommand("jng", makeNothing);  // a command of that name claims nothing
    ASSERT_TRUE(fn.registerImageFile("JNGImporter", makeNothing, extensions({"jng"})));

    Registration found;
    ASSERT_TRUE(mayastandin::findImageFile("JnG", found));
    EXPECT_EQ("JNGImporter", found.name);
    EXPECT_FALSE(mayastandin::findImageFile("png", found));
    EXPECT_FALSE(mayastandin::findImageFile("", found));
    EXPECT_TRUE(mayastandin::findImageFileByName("JNGImporter", found));
    EXPECT_FALSE(mayastandin::findImageFileByName("jng", found));
}

TEST_F(MayaRegistry, DeregistrationRemovesOnlyWhatWasRegisteredAndIsLogged)
{
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerImageFile("Img", makeNothing, extensions({"x"})));
    ASSERT_TRUE(fn.registerCommand("Img", makeNothing));

    EXPECT_EQ(MStatus::kFailure, fn.deregisterFileTranslator("Img").statusCode());
    EXPECT_TRUE(fn.deregisterImageFile("Img"));
    EXPECT_EQ(MStatus::kFailure, fn.deregisterImageFile("Img").statusCode());

    std::vector<Registration> left = mayastandin::registrations();
    ASSERT_EQ(1u, left.size());
    EXPECT_EQ(RegistrationKind::Command, left[0].kind);

    std::vector<mayastandin::RegistryEvent> log = mayastandin::registryLog();
    ASSERT_EQ(3u, log.size());
    EXPECT_TRUE(log[0].registered);
    EXPECT_TRUE(log[1].registered);
    EXPECT_FALSE(log[2].registered);
    EXPECT_EQ(RegistrationKind::ImageFile, log[2].kind);
    EXPECT_EQ("Img", log[2].name);
}

TEST_F(MayaRegistry, NameBelongsToThePluginThatRegisteredIt)
{
    MObject other = mayastandin::createPluginObject("other.so");
    MFnPlugin mine(plugin), theirs(other);
    ASSERT_TRUE(mine.registerImageFile("Img", makeNothing, extensions({"a"})));

    // Registering again replaces the entry in place; another plug-in can't take or drop it.
    ASSERT_TRUE(mine.registerImageFile("Img", makeNothing, extensions({"b"})));
    EXPECT_EQ(MStatus::kFailure, theirs.registerImageFile("Img", makeNothing, extensions({"c"})).statusCode());
    EXPECT_EQ(MStatus::kFailure, theirs.deregisterImageFile("Img").statusCode());

    std::vector<Registration> all = mayastandin::registrations();
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(std::vector<std::string>{"b"}, all[0].extensions);
    EXPECT_EQ(plugin, all[0].plugin);
}

TEST_F(MayaRegistry, RefusesObjectsThatAreNoPluginAndMalformedRegistrations)
{
    MObject node = mayastandin::createNode("node");
    for (MObject object : {MObject(), node}) {
        MStatus status;
        MFnPlugin fn(object, "v", "1", "Any", &status);
        EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
        EXPECT_FALSE(fn.registerCommand("cmd", makeNothing));
    }

    MFnPlugin fn(plugin);
    EXPECT_EQ(MStatus::kInvalidParameter, fn.registerCommand("cmd", nullptr).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter, fn.registerCommand("", makeNothing).statusCode());
    EXPECT_EQ(MStatus::kInvalidParameter,
              fn.registerImageFile("Img", makeNothing, MStringArray()).statusCode());
    EXPECT_TRUE(mayastandin::registrations().empty());
}

TEST_F(MayaRegistry, InjectedFailuresAreUsedUpInOrder)
{
    EXPECT_FALSE(mayastandin::failNextCall("MFnPlugin::registerImagefile", MStatus::kFailure));
    ASSERT_TRUE(mayastandin::failNextCall("MFnPlugin::registerImageFile", MStatus::kLicenseFailure));
    ASSERT_TRUE(mayastandin::failNextCall("MFnPlugin::registerImageFile", MStatus::kEndOfFile));

    MFnPlugin fn(plugin);
    EXPECT_EQ(MStatus::kLicenseFailure, fn.registerImageFile("Img", makeNothing, extensions({"x"})).statusCode());
    EXPECT_EQ(MStatus::kEndOfFile, fn.registerImageFile("Img", makeNothing, extensions({"x"})).statusCode());
    EXPECT_TRUE(mayastandin::registrations().empty());
    EXPECT_TRUE(fn.registerImageFile("Img", makeNothing, extensions({"x"})));
}

TEST_F(MayaRegistry, ResetForgetsRegistrationsAndPluginObjects)
{
    MFnPlugin fn(plugin);
    ASSERT_TRUE(fn.registerCommand("cmd", makeNothing));
    mayastandin::reset();

    EXPECT_TRUE(mayastandin::registrations().empty());
    EXPECT_TRUE(mayastandin::registryLog().empty());
    MStatus status;
    MFnPlugin stale(plugin, "v", "1", "Any", &status);
    EXPECT_FALSE(status);
}

}  // namespace
