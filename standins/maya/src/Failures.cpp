#include "Access.h"
#include "Failures.h"

#include <mayastandin/Host.h>

#include <algorithm>
#include <deque>
#include <map>

namespace mayastandin {
namespace detail {
namespace {

// Only the calls listed here consult the requests, so a misspelt name is
// refused rather than silently never firing.
const char* const kFailableCalls[] = {
    "MFnPlugin::MFnPlugin",
    "MFnPlugin::registerCommand",
    "MFnPlugin::deregisterCommand",
    "MFnPlugin::registerFileTranslator",
    "MFnPlugin::deregisterFileTranslator",
    "MFnPlugin::registerImageFile",
    "MFnPlugin::deregisterImageFile",
    "MSceneMessage::addCallback",
    "MMessage::removeCallback",
    "MImage::create",
    "MDagPath::inclusiveMatrix",
    "MDagPath::exclusiveMatrixInverse",
    "MDagPath::transform",
    "MDagPath::fullPathName",
    "MDagPath::partialPathName",
    "MFnDependencyNode::MFnDependencyNode",
    "MFnDependencyNode::name",
    "MFnDependencyNode::setName",
    "MFnDagNode::MFnDagNode",
    "MFnDagNode::getPath",
    "MFnDagNode::fullPathName",
    "MFnDagNode::partialPathName",
    "MFnTransform::MFnTransform",
    "MFnTransform::transformation",
    "MFnTransform::set",
};

std::map<std::string, std::deque<MStatus::MStatusCode>>& pending()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* requests = new std::map<std::string, std::deque<MStatus::MStatusCode>>;
    return *requests;
}

}  // namespace

bool injectedFailure(const char* call, MStatus& status)
{
    auto found = pending().find(call);
    if (found == pending().end() || found->second.empty())
        return false;
    status = found->second.front();
    found->second.pop_front();
    return true;
}

void resetFailures()
{
    pending().clear();
}

}  // namespace detail

bool failNextCall(const std::string& call, MStatus::MStatusCode code)
{
    auto names = failableCalls();
    if (std::find(names.begin(), names.end(), call) == names.end())
        return false;
    detail::pending()[call].push_back(code);
    return true;
}

std::vector<std::string> failableCalls()
{
    return std::vector<std::string>(std::begin(detail::kFailableCalls),
                                    std::end(detail::kFailableCalls));
}

}  // namespace mayastandin
