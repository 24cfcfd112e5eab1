#pragma once

#include "Options.h"

#include <set>
#include <string>

// Where -o puts each image: the named file for one input, else a folder that
// receives <base name>.png per input. Never the same file twice in one run,
// and never over an input.
class OutputNames
{
public:
    // Creates the folder when one is needed. False with `error` set on failure.
    bool prepare(const Options& options, std::string& error);

    // False with `error` set when the name is taken or would replace `input`.
    bool pathFor(const std::string& input, std::string& path, std::string& error);

private:
    std::string m_output;
    bool m_folder = false;
    std::set<std::string> m_used;
};
