#pragma once

#include "Options.h"
#include "Plugin.h"

// `info`: the plug-in's vendor, version, API version and registrations, on stdout.
bool printInfo(const Plugin& plugin);

// `load`: reads every file, prints its size and channels, writes PNGs for -o.
// True when every file was read (and written).
bool loadFiles(const Options& options);
