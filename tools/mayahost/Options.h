#pragma once

#include <string>
#include <vector>

// What the command line asks for.
struct Options
{
    std::string plugin;   // empty: Plugin_JNG.so beside the program
    std::string module;   // image-file registration to use for every file
    bool unload = false;  // call uninitializePlugin instead of sending the exit notification
    bool help = false;
    unsigned threads = 1;  // worker threads that read the files at once
    std::string command;  // "info" or "load"
    std::vector<std::string> files;
    std::string output;   // -o: a PNG file, or a folder when several files are loaded
};

// False with `error` set when the command line is not usable.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

const char* usageText();
