// Runs the built host program on the fake plug-in, as a user would.

#include "FakeImage.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct RunResult
{
    int exitCode;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Reads a PNG as 8-bit RGBA; false unless the file itself is 8-bit RGBA.
bool readRgbaPng(const fs::path& path, unsigned int& width, unsigned int& height,
                 std::vector<unsigned char>& rgba)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    bool rgbaFile = image.format == PNG_FORMAT_RGBA;
    rgba.resize(PNG_IMAGE_SIZE(image));
    bool read = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
    width = image.width;
    height = image.height;
    png_image_free(&image);
    return rgbaFile && read;
}

std::vector<unsigned char> fakeImageRgba()
{
    const unsigned char* first = &fakeimage::kTopDownRgba[0][0][0];
    return std::vector<unsigned char>(first, first + sizeof fakeimage::kTopDownRgba);
}

class MayaHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "mayahost-test-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // `args` after the plug-in option; `env` is prepended to the command line.
    RunResult run(const std::string& args, const std::string& env = "",
            const std::string& plugin = FAKE_PLUGIN_PATH)
    {
        std::string pluginOption = plugin.empty() ? "" : " --plugin '" + plugin + "'";
        std::string command = env + " '" MAYAHOST_PATH "'" + pluginOption + " " + args + " >'" +
                              (dir / "captured.out").string() + "' 2>'" + (dir / "captured.err").string() + "'";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "captured.out"), readFile(dir / "captured.err")};
    }

    std::string makeFile(const std::string& name)
    {
        fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "not really an image";
        return path.string();
    }

    void expectFakePng(const fs::path& path)
    {
        unsigned int width = 0, height = 0;
        std::vector<unsigned char> rgba;
        ASSERT_TRUE(readRgbaPng(path, width, height, rgba)) << path;
        EXPECT_EQ(fakeimage::kWidth, width);
        EXPECT_EQ(fakeimage::kHeight, height);
        EXPECT_EQ(fakeImageRgba(), rgba) << "rows must run top first, bytes red, green, blue, alpha";
    }

    fs::path dir;
};

TEST_F(MayaHost, InfoListsThePluginAndItsRegistrations)
{
    RunResult result = run("info");
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("vendor: Fake Vendor\n"
              "version: 1.2\n"
              "api: 850\n"
              "imageFile: FakeImporter fake\n"
              "command: fakeCommand\n"
              "fileTranslator: FakeTranslator\n",
              result.out);
    // Without --unload the plug-in hears of the program's exit.
    EXPECT_TRUE(contains(result.err, "// fake plug-in: program exiting\n")) << result.err;
}

TEST_F(MayaHost, LoadWritesThePngTopRowFirstInRgbaOrder)
{
    std::string input = makeFile("x.fake");
    RunResult result = run("load '" + input + "' -o '" + (dir / "x.png").string() + "'");

    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(input + ": 3x2, 4 channels, alpha yes\n", result.out);
    EXPECT_TRUE(contains(result.err, "// Warning: fake images are made up: " + input + "\n")) << result.err;
    expectFakePng(dir / "x.png");
}

TEST_F(MayaHost, SeveralFilesGoIntoACreatedFolder)
{
    std::string a = makeFile("a.fake");
    std::string b = makeFile("sub/b.FAKE");  // extensions match in any case
    fs::path folder = dir / "new" / "out";
    RunResult result = run("load '" + a + "' '" + b + "' -o '" + folder.string() + "'");

    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(a + ": 3x2, 4 channels, alpha yes\n" + b + ": 3x2, 4 channels, alpha yes\n", result.out);
    expectFakePng(folder / "a.png");
    expectFakePng(folder / "b.png");
}

TEST_F(MayaHost, UnloadCallsUninitializeInsteadOfTheExitNotification)
{
    RunResult result = run("--unload load '" + makeFile("x.fake") + "'");
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_TRUE(contains(result.err, "// fake plug-in: uninitialized")) << result.err;
    EXPECT_FALSE(contains(result.err, "program exiting")) << result.err;
    EXPECT_FALSE(contains(result.err, "left")) << result.err;
}

TEST_F(MayaHost, AFailedFileFailsTheRunButTheOthersStillLoad)
{
    std::string good = makeFile("good.fake");
    std::string missing = (dir / "missing.fake").string();
    RunResult result = run("load '" + missing + "' '" + good + "' -o '" + (dir / "out").string() + "'");

    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(good + ": 3x2, 4 channels, alpha yes\n", result.out);
    EXPECT_TRUE(contains(result.err, "// Error: FakeImporter can't open " + missing)) << result.err;
    EXPECT_TRUE(contains(result.err, "// Error: FakeImporter::open(" + missing + ") failed")) << result.err;
    EXPECT_FALSE(fs::exists(dir / "out" / "missing.png"));
    expectFakePng(dir / "out" / "good.png");
}

TEST_F(MayaHost, ChoosesTheFormatByModuleOrByBeingTheOnlyOne)
{
    std::string other = makeFile("picture.other");
    EXPECT_EQ(0, run("load '" + other + "'").exitCode);
    EXPECT_EQ(0, run("--module FakeImporter load '" + other + "'").exitCode);

    RunResult result = run("--module NoSuch load '" + other + "'");
    EXPECT_EQ(1, result.exitCode);
    EXPECT_TRUE(contains(result.err, "// Error: no image-file format named 'NoSuch'")) << result.err;
}

TEST_F(MayaHost, NeverWritesOverAnInputOrAnEarlierOutput)
{
    std::string input = makeFile("same.png");
    std::string first = makeFile("one/dup.fake");
    std::string second = makeFile("two/dup.fake");
    RunResult result = run("load '" + input + "' '" + first + "' '" + second + "' -o '" + dir.string() + "'");

    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ("not really an image", readFile(input));
    EXPECT_TRUE(contains(result.err, "is the input file itself")) << result.err;
    EXPECT_TRUE(contains(result.err, "is already written by an earlier file")) << result.err;
    expectFakePng(dir / "dup.png");
}

TEST_F(MayaHost, RefusesPluginsItCannotUse)
{
    RunResult missing = run("info", "", (dir / "nothing.so").string());
    EXPECT_EQ(1, missing.exitCode);
    EXPECT_TRUE(contains(missing.err, "mayahost: can't load plug-in")) << missing.err;

    RunResult noVersion = run("info", "", OPENMAYA_PATH);
    EXPECT_EQ(1, noVersion.exitCode);
    EXPECT_TRUE(contains(noVersion.err, "does not export the text MApiVersion")) << noVersion.err;

    RunResult pointer = run("info", "", POINTER_VERSION_PLUGIN_PATH);
    EXPECT_EQ(1, pointer.exitCode);
    EXPECT_TRUE(contains(pointer.err, "is not a version number")) << pointer.err;

    RunResult failing = run("info", "FAKE_PLUGIN_FAULT=init");
    EXPECT_EQ(1, failing.exitCode);
    EXPECT_TRUE(contains(failing.err, "// Error: initializePlugin failed with status 1")) << failing.err;
    EXPECT_EQ("", failing.out);
}

TEST_F(MayaHost, LooksForTheJngPluginBesideItself)
{
    fs::path besides = fs::path(MAYAHOST_PATH).parent_path() / "Plugin_JNG.so";
    if (fs::exists(besides))
        GTEST_SKIP() << besides << " exists; its own tests cover it";
    RunResult result = run("info", "", "");
    EXPECT_EQ(1, result.exitCode);
    EXPECT_TRUE(contains(result.err, "can't load plug-in '" + besides.string() + "'")) << result.err;
}

TEST_F(MayaHost, SurvivesAPluginThatThrowsOrLeavesThingsBehind)
{
    std::string input = makeFile("x.fake");
    RunResult throwing = run("load '" + input + "'", "FAKE_PLUGIN_FAULT=throw");
    EXPECT_EQ(1, throwing.exitCode);
    EXPECT_TRUE(contains(throwing.err, "FakeImporter::open(" + input + ") threw an exception: fake open fault"))
        << throwing.err;

    RunResult leaking = run("--unload info", "FAKE_PLUGIN_FAULT=leak");
    EXPECT_EQ(0, leaking.exitCode) << leaking.err;
    EXPECT_TRUE(contains(leaking.err, "// Warning: uninitializePlugin left 1 callback(s) registered"))
        << leaking.err;
    EXPECT_TRUE(contains(leaking.err, "// Warning: uninitializePlugin left 3 registration(s)")) << leaking.err;
}

TEST_F(MayaHost, UsageErrorsExitWithOne)
{
    for (const char* args : {"", "frobnicate", "load", "--bogus info", "load x.fake -o", "info -o x.png",
                             "load a.fake -o x -o y"}) {
        RunResult result = run(args);
        EXPECT_EQ(1, result.exitCode) << args;
        EXPECT_TRUE(contains(result.err, "usage: mayahost")) << args << "\n" << result.err;
    }
    RunResult help = run("--help");
    EXPECT_EQ(0, help.exitCode);
    EXPECT_TRUE(contains(help.out, "usage: mayahost"));
}

}  // namespace
