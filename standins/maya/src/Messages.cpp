#include "Access.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <cstdio>
#include <mutex>

namespace mayastandin {
namespace detail {
namespace {

// Plug-ins display from any thread: the log, the echo flag and stderr are
// used under one lock, so messages neither interleave nor get lost.
struct MessageState
{
    std::mutex lock;
    std::vector<Message> messages;
    bool echo = true;
};

MessageState& state()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* messages = new MessageState;
    return *messages;
}

// What the calling thread shows while it holds its messages back.
struct HeldMessages
{
    bool holding = false;
    std::vector<Message> messages;
};

thread_local HeldMessages t_held;

std::string withoutTrailingBreaks(const std::string& text)
{
    std::string::size_type end = text.find_last_not_of("\r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// The caller holds the state's lock.
void showLocked(MessageState& shown, const Message& message)
{
    shown.messages.push_back(message);
    // A bare line break ends a message the plug-in sent in pieces; the
    // display puts every call on its own line anyway.
    if (shown.echo && !withoutTrailingBreaks(message.text).empty())
        std::fprintf(stderr, "%s\n", formatMessage(message).c_str());
}

void show(MessageKind kind, const MString& text)
{
    Message message{kind, text.asChar()};
    if (t_held.holding) {
        t_held.messages.push_back(message);
        return;
    }
    MessageState& shown = state();
    std::lock_guard<std::mutex> guard(shown.lock);
    showLocked(shown, message);
}

}  // namespace

void resetMessages()
{
    MessageState& shown = state();
    std::lock_guard<std::mutex> guard(shown.lock);
    shown.messages.clear();
}

}  // namespace detail

std::vector<Message> takeMessages()
{
    detail::MessageState& shown = detail::state();
    std::lock_guard<std::mutex> guard(shown.lock);
    std::vector<Message> taken;
    taken.swap(shown.messages);
    return taken;
}

std::vector<Message> messages()
{
    detail::MessageState& shown = detail::state();
    std::lock_guard<std::mutex> guard(shown.lock);
    return shown.messages;
}

std::string formatMessage(const Message& message)
{
    static const char* const prefixes[] = {"// ", "// Warning: ", "// Error: "};
    return prefixes[static_cast<int>(message.kind)] + detail::withoutTrailingBreaks(message.text);
}

void setEchoToStderr(bool echo)
{
    detail::MessageState& shown = detail::state();
    std::lock_guard<std::mutex> guard(shown.lock);
    shown.echo = echo;
}

void holdThreadMessages()
{
    detail::t_held.holding = true;
}

std::vector<Message> takeHeldMessages()
{
    std::vector<Message> taken;
    taken.swap(detail::t_held.messages);
    detail::t_held.holding = false;
    return taken;
}

void showMessages(const std::vector<Message>& messages)
{
    detail::MessageState& shown = detail::state();
    std::lock_guard<std::mutex> guard(shown.lock);
    for (const Message& message : messages)
        detail::showLocked(shown, message);
}

}  // namespace mayastandin

void MGlobal::displayInfo(const MString& text)
{
    mayastandin::detail::show(mayastandin::MessageKind::Info, text);
}

void MGlobal::displayWarning(const MString& text)
{
    mayastandin::detail::show(mayastandin::MessageKind::Warning, text);
}

void MGlobal::displayError(const MString& text)
{
    mayastandin::detail::show(mayastandin::MessageKind::Error, text);
}
