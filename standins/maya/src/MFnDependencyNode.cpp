#include "Failures.h"
#include "Scene.h"

#include <maya/MFnDependencyNode.h>

using mayastandin::detail::checkNode;
using mayastandin::detail::injectedFailure;
using mayastandin::detail::report;

MFnDependencyNode::MFnDependencyNode() {}

MFnDependencyNode::MFnDependencyNode(MObject& object, MStatus* ReturnStatus)
{
    MStatus status;
    if (!injectedFailure("MFnDependencyNode::MFnDependencyNode", status))
        status = checkNode(object, true, true);
    if (status)
        m_object = object;
    report(ReturnStatus, status);
}

MFnDependencyNode::~MFnDependencyNode() {}

MString MFnDependencyNode::name(MStatus* ReturnStatus) const
{
    MStatus status;
    if (!injectedFailure("MFnDependencyNode::name", status))
        status = checkNode(m_object, true, true);
    report(ReturnStatus, status);
    return status ? MString(mayastandin::detail::findNode(m_object)->name.c_str()) : MString();
}

MString MFnDependencyNode::setName(const MString& name, MStatus* ReturnStatus)
{
    MStatus status;
    if (!injectedFailure("MFnDependencyNode::setName", status))
        status = checkNode(m_object, true, true);
    if (status)
        status = mayastandin::detail::rename(mayastandin::detail::Access::id(m_object), name.asChar());
    report(ReturnStatus, status);
    const mayastandin::detail::Node* node = mayastandin::detail::findNode(m_object);
    return node ? MString(node->name.c_str()) : MString();
}
