#include "Options.h"

namespace {

bool takeValue(int argc, char** argv, int& i, std::string& value, std::string& error)
{
    std::string option = argv[i];
    if (i + 1 >= argc) {
        error = option + " needs a value";
        return false;
    }
    if (!value.empty()) {
        error = option + " given twice";
        return false;
    }
    value = argv[++i];
    if (value.empty())
        error = option + " needs a non-empty value";
    return !value.empty();
}

bool checkCommand(const Options& options, std::string& error)
{
    if (options.command == "info") {
        if (!options.files.empty() || !options.output.empty() || !options.module.empty())
            error = "info takes no files, -o or --module";
    } else if (options.command == "load") {
        if (options.files.empty())
            error = "load needs at least one file";
    } else if (options.command.empty()) {
        error = "no command given";
    } else {
        error = "unknown command '" + options.command + "'";
    }
    return error.empty();
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool ok = true;
        if (onlyFiles || arg.empty() || arg[0] != '-') {
            if (options.command.empty())
                options.command = arg;
            else
                options.files.push_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (arg == "--plugin") {
            ok = takeValue(argc, argv, i, options.plugin, error);
        } else if (arg == "--module") {
            ok = takeValue(argc, argv, i, options.module, error);
        } else if (arg == "-o") {
            ok = takeValue(argc, argv, i, options.output, error);
        } else if (arg == "--unload") {
            options.unload = true;
        } else {
            error = "unknown option '" + arg + "'";
            ok = false;
        }
        if (!ok)
            return false;
    }
    return checkCommand(options, error);
}

const char* usageText()
{
    return "usage: mayahost [--plugin PATH] info\n"
           "       mayahost [--plugin PATH] [--module NAME] [--unload] load FILE... [-o OUT]\n"
           "\n"
           "  --plugin PATH  plug-in to load (default: Plugin_JNG.so beside mayahost)\n"
           "  --module NAME  read every file with the image-file registration NAME\n"
           "  --unload       call uninitializePlugin at the end instead of sending\n"
           "                 the program-exit notification\n"
           "  -o OUT         write the image as PNG to OUT; with several files OUT is\n"
           "                 a folder that receives <base name>.png per file\n";
}
