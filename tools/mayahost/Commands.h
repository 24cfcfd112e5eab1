#pragma once

#include "Options.h"
#include "Plugin.h"

// `info`: the plug-in's vendor, version, API version and registrations, on stdout.
bool printInfo(const Plugin& plugin);

// `load`: reads every file, prints its size and channels, writes PNGs for -o.
// With several threads the files are read at once; what is printed, shown and
// written is the same as with one. True when every file was read (and written).
bool loadFiles(const Options& options);
