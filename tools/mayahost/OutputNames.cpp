#include "OutputNames.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool OutputNames::prepare(const Options& options, std::string& error)
{
    m_output = options.output;
    std::error_code ec;
    m_folder = options.files.size() > 1 || fs::is_directory(m_output, ec);
    if (m_folder && !fs::is_directory(m_output, ec) && !fs::create_directories(m_output, ec)) {
        error = "can't create folder '" + m_output + "': " + ec.message();
        return false;
    }
    return true;
}

bool OutputNames::pathFor(const std::string& input, std::string& path, std::string& error)
{
    path = m_folder ? (fs::path(m_output) / fs::path(input).stem()).string() + ".png" : m_output;
    std::error_code ec;
    std::string key = fs::weakly_canonical(path, ec).string();
    if (ec)
        key = path;
    if (!m_used.insert(key).second) {
        error = "'" + path + "' is already written by an earlier file; not replacing it";
        return false;
    }
    if (fs::equivalent(path, input, ec)) {
        error = "'" + path + "' is the input file itself; not replacing it";
        return false;
    }
    return true;
}
