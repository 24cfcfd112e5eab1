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

// The most worker threads a load may ask for.
const unsigned kMaxThreads = 256;

bool takeThreads(int argc, char** argv, int& i, Options& options, std::string& error)
{
    std::string text;
    if (!takeValue(argc, argv, i, text, error))
        return false;
    if (text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(text) < 1 || std::stoul(text) > kMaxThreads) {
        error = "--threads needs a number from 1 to " + std::to_string(kMaxThreads) + ", not '" +
                text + "'";
        return false;
    }
    options.threads = static_cast<unsigned>(std::stoul(text));
    return true;
}

bool checkCommand(const Options& options, std::string& error)
{
    if (options.command == "info") {
        if (!options.files.empty() || !options.output.empty() || !options.module.empty() ||
            options.threads != 1)
            error = "info takes no files, -o, --module or --threads";
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
        } else if (arg == "--threads") {
            ok = takeThreads(argc, argv, i, options, error);
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
           "       mayahost [--plugin PATH] [--module NAME] [--unload] [--threads N]\n"
           "                load FILE... [-o OUT]\n"
           "\n"
           "  --plugin PATH  plug-in to load (default: Plugin_JNG.so beside mayahost)\n"
           "  --module NAME  read every file with the image-file registration NAME\n"
           "  --unload       call uninitializePlugin at the end instead of sending\n"
           "                 the program-exit notification\n"
           "  --threads N    read the files on N worker threads at once, each file\n"
           "                 with its own reader; output and messages keep the order\n"
           "                 of the files\n"
           "  -o OUT         write the image as PNG to OUT; with several files OUT is\n"
           "                 a folder that receives <base name>.png per file\n";
}
