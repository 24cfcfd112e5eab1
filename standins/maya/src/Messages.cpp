#include "Access.h"

#include <maya/MGlobal.h>
#include <mayastandin/Host.h>

#include <cstdio>

namespace mayastandin {
namespace detail {
namespace {

struct MessageState
{
    std::vector<Message> messages;
    bool echo = true;
};

MessageState& state()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* messages = new MessageState;
    return *messages;
}

std::string withoutTrailingBreaks(const std::string& text)
{
    std::string::size_type end = text.find_last_not_of("\r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

void show(MessageKind kind, const MString& text)
{
    Message message{kind, text.asChar()};
    state().messages.push_back(message);
    // A bare line break ends a message the plug-in sent in pieces; the
    // display puts every call on its own line anyway.
    if (state().echo && !withoutTrailingBreaks(message.text).empty())
        std::fprintf(stderr, "%s\n", formatMessage(message).c_str());
}

}  // namespace

void resetMessages()
{
    state().messages.clear();
}

}  // namespace detail

std::vector<Message> takeMessages()
{
    std::vector<Message> taken;
    taken.swap(detail::state().messages);
    return taken;
}

std::vector<Message> messages()
{
    return detail::state().messages;
}

std::string formatMessage(const Message& message)
{
    static const char* const prefixes[] = {"// ", "// Warning: ", "// Error: "};
    return prefixes[static_cast<int>(message.kind)] + detail::withoutTrailingBreaks(message.text);
}

void setEchoToStderr(bool echo)
{
    detail::state().echo = echo;
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
