#include "Commands.h"

#include "ImageReader.h"
#include "OutputNames.h"
#include "PngWriter.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

void showError(const std::string& text)
{
    MGlobal::displayError(MString(text.c_str()));
}

void printRegistration(const mayastandin::Registration& entry)
{
    std::string line = std::string(mayastandin::kindName(entry.kind)) + ": " + entry.name;
    for (const std::string& extension : entry.extensions)
        line += " " + extension;
    std::printf("%s\n", line.c_str());
}

// One file as the host read it.
struct FileRead
{
    bool ok = false;
    MImage image;
    MImageFileInfo info;
    std::vector<mayastandin::Message> messages;  // held back by a worker thread
};

void readFile(const Options& options, const std::string& file, FileRead& read)
{
    mayastandin::Registration format;
    read.ok = chooseImageFile(file, options.module, format) &&
              readImage(format, file, read.image, read.info);
}

// What the user sees of a read file: its size, then its PNG for -o.
bool report(const std::string& file, const FileRead& read, OutputNames* outputs)
{
    if (!read.ok)
        return false;
    unsigned int width = 0, height = 0;
    read.image.getSize(width, height);
    std::printf("%s: %ux%u, %u channels, alpha %s\n", file.c_str(), width, height,
                read.info.channels(), read.info.hasAlpha() ? "yes" : "no");
    if (!outputs)
        return true;
    std::string path, error;
    if (outputs->pathFor(file, path, error) && writePng(read.image, path, error))
        return true;
    showError("can't write '" + path + "': " + error);
    return false;
}

// The host's texture loader with worker threads: every worker takes the next
// file and reads it with a reader object of its own. Its messages are held
// back and shown, with the file's result, in the order of the files, so that
// what the user sees is what one thread would have shown.
class ThreadedLoader
{
public:
    explicit ThreadedLoader(const Options& options) : m_options(options), m_done(options.files.size())
    {
        // Made here, so that a worker never has to allocate to hand in a result.
        for (std::size_t i = 0; i < options.files.size(); ++i)
            m_reads.emplace_back(new FileRead);
    }

    bool run(OutputNames* outputs)
    {
        std::size_t workers = std::min<std::size_t>(m_options.threads, m_reads.size());
        std::vector<std::thread> threads;
        try {
            while (threads.size() < workers)
                threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // The system has no more threads to give: fewer workers read it all.
            if (threads.empty())
                work();
        }
        bool allLoaded = true;
        for (std::size_t i = 0; i < m_reads.size(); ++i) {
            waitFor(i);
            mayastandin::showMessages(m_reads[i]->messages);
            allLoaded = report(m_options.files[i], *m_reads[i], outputs) && allLoaded;
            m_reads[i].reset();  // its image is written: free it
        }
        for (std::thread& thread : threads)
            thread.join();
        return allLoaded;
    }

private:
    void work()
    {
        for (;;) {
            std::size_t index;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                if (m_next == m_reads.size())
                    return;
                index = m_next++;
            }
            readHeld(m_options.files[index], *m_reads[index]);
            std::lock_guard<std::mutex> guard(m_lock);
            m_done[index] = true;
            m_readDone.notify_all();
        }
    }

    void readHeld(const std::string& file, FileRead& read)
    {
        mayastandin::holdThreadMessages();
        try {
            readFile(m_options, file, read);
        } catch (const std::exception& e) {
            read.ok = false;
            showError("reading '" + file + "' failed: " + e.what());
        }
        read.messages = mayastandin::takeHeldMessages();
    }

    void waitFor(std::size_t index)
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_readDone.wait(guard, [&] { return m_done[index]; });
    }

    const Options& m_options;
    std::mutex m_lock;
    std::condition_variable m_readDone;
    std::size_t m_next = 0;                          // the next file a worker takes
    std::vector<std::unique_ptr<FileRead>> m_reads;  // one per file, freed once reported
    std::vector<bool> m_done;                        // read and ready to report
};

}  // namespace

bool printInfo(const Plugin& plugin)
{
    mayastandin::PluginInfo info;
    mayastandin::pluginInfo(plugin.object(), info);
    std::printf("vendor: %s\nversion: %s\napi: %s\n", info.vendor.c_str(), info.version.c_str(),
                plugin.apiVersion().c_str());
    for (const mayastandin::Registration& entry : mayastandin::registrations())
        printRegistration(entry);
    return true;
}

bool loadFiles(const Options& options)
{
    OutputNames names;
    std::string error;
    OutputNames* outputs = options.output.empty() ? nullptr : &names;
    if (outputs && !names.prepare(options, error)) {
        showError(error);
        return false;
    }
    if (options.threads > 1)
        return ThreadedLoader(options).run(outputs);
    bool allLoaded = true;
    for (const std::string& file : options.files) {
        FileRead read;
        readFile(options, file, read);
        allLoaded = report(file, read, outputs) && allLoaded;
    }
    return allLoaded;
}
