#include "Failures.h"
#include "Scene.h"

#include <maya/MFnDagNode.h>

using mayastandin::detail::Access;
using mayastandin::detail::checkNode;
using mayastandin::detail::injectedFailure;
using mayastandin::detail::report;

MFnDagNode::MFnDagNode() {}

MFnDagNode::MFnDagNode(MObject& object, MStatus* ReturnStatus)
{
    MStatus status;
    if (!injectedFailure("MFnDagNode::MFnDagNode", status))
        status = checkNode(object, true, false);
    if (status)
        m_object = object;
    report(ReturnStatus, status);
}

MStatus MFnDagNode::getPath(MDagPath& path) const
{
    MStatus status;
    if (!injectedFailure("MFnDagNode::getPath", status))
        status = checkNode(m_object, true, false);
    if (status)
        Access::setNode(path, m_object);
    return status;
}

MString MFnDagNode::fullPathName(MStatus* ReturnStatus) const
{
    MStatus status;
    if (!injectedFailure("MFnDagNode::fullPathName", status))
        status = checkNode(m_object, true, false);
    report(ReturnStatus, status);
    return status ? MString(mayastandin::detail::fullPathName(Access::id(m_object)).c_str()) : MString();
}

MString MFnDagNode::partialPathName(MStatus* ReturnStatus) const
{
    MStatus status;
    if (!injectedFailure("MFnDagNode::partialPathName", status))
        status = checkNode(m_object, true, false);
    report(ReturnStatus, status);
    return status ? MString(mayastandin::detail::partialPathName(Access::id(m_object)).c_str()) : MString();
}
