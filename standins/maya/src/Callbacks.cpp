#include "Access.h"
#include "Failures.h"

#include <maya/MMessage.h>
#include <maya/MSceneMessage.h>
#include <mayastandin/Host.h>

#include <algorithm>

namespace mayastandin {
namespace detail {
namespace {

struct Callback
{
    MCallbackId id;
    MSceneMessage::Message message;
    MMessage::MBasicFunction function;
    void* clientData;
};

struct CallbackState
{
    std::vector<Callback> callbacks;
    MCallbackId lastId = 0;  // kept across resets so that stale ids stay unknown
    bool exitSent = false;
};

CallbackState& state()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* callbacks = new CallbackState;
    return *callbacks;
}

std::vector<Callback>::iterator find(MCallbackId id)
{
    auto& all = state().callbacks;
    return std::find_if(all.begin(), all.end(), [id](const Callback& c) { return c.id == id; });
}

}  // namespace

void resetCallbacks()
{
    state().callbacks.clear();
    state().exitSent = false;
}

}  // namespace detail

std::size_t callbackCount()
{
    return detail::state().callbacks.size();
}

std::size_t fireSceneMessage(MSceneMessage::Message message)
{
    // Callbacks may add or remove callbacks (an exit handler removes its own),
    // so walk a list of ids taken beforehand and look each one up again.
    std::vector<MCallbackId> ids;
    for (const detail::Callback& callback : detail::state().callbacks)
        if (callback.message == message)
            ids.push_back(callback.id);
    std::size_t called = 0;
    for (MCallbackId id : ids) {
        auto found = detail::find(id);
        if (found == detail::state().callbacks.end())
            continue;
        detail::Callback callback = *found;
        callback.function(callback.clientData);
        ++called;
    }
    return called;
}

std::size_t notifyExit()
{
    if (detail::state().exitSent)
        return 0;
    detail::state().exitSent = true;
    return fireSceneMessage(MSceneMessage::kMayaExiting);
}

void removeAllCallbacks()
{
    detail::state().callbacks.clear();
}

}  // namespace mayastandin

MStatus MMessage::removeCallback(MCallbackId id)
{
    MStatus status;
    if (mayastandin::detail::injectedFailure("MMessage::removeCallback", status))
        return status;
    auto found = mayastandin::detail::find(id);
    if (found == mayastandin::detail::state().callbacks.end())
        return MStatus::kFailure;
    mayastandin::detail::state().callbacks.erase(found);
    return MStatus::kSuccess;
}

MCallbackId MSceneMessage::addCallback(Message message, MMessage::MBasicFunction func,
                                       void* clientData, MStatus* ReturnStatus)
{
    MStatus status;
    if (!mayastandin::detail::injectedFailure("MSceneMessage::addCallback", status) && !func)
        status = MStatus::kInvalidParameter;
    mayastandin::detail::report(ReturnStatus, status);
    if (!status)
        return 0;
    auto& state = mayastandin::detail::state();
    state.callbacks.push_back({++state.lastId, message, func, clientData});
    return state.lastId;
}
