#include "Failures.h"
#include "Scene.h"

#include <maya/MDagPath.h>

using mayastandin::detail::Access;
using mayastandin::detail::findNode;
using mayastandin::detail::report;

namespace {

// A path is usable while it ends at an existing hierarchy node.
MStatus checkPath(const MDagPath& path, const char* call)
{
    MStatus status;
    if (mayastandin::detail::injectedFailure(call, status))
        return status;
    return mayastandin::detail::checkNode(Access::node(path), true, false);
}

}  // namespace

MDagPath::MDagPath() {}
MDagPath::MDagPath(const MDagPath& other) : m_node(other.m_node) {}
MDagPath::~MDagPath() {}
MDagPath& MDagPath::operator=(const MDagPath& other)
{
    m_node = other.m_node;
    return *this;
}

MMatrix MDagPath::inclusiveMatrix(MStatus* ReturnStatus) const
{
    MStatus status = checkPath(*this, "MDagPath::inclusiveMatrix");
    report(ReturnStatus, status);
    return status ? mayastandin::detail::worldMatrix(Access::id(m_node)) : MMatrix();
}

MMatrix MDagPath::exclusiveMatrixInverse(MStatus* ReturnStatus) const
{
    MStatus status = checkPath(*this, "MDagPath::exclusiveMatrixInverse");
    MMatrix inverse;
    if (status && !mayastandin::detail::invert(mayastandin::detail::parentWorldMatrix(Access::id(m_node)), inverse))
        status = MStatus::kFailure;
    report(ReturnStatus, status);
    return status ? inverse : MMatrix();
}

MObject MDagPath::transform(MStatus* ReturnStatus) const
{
    MStatus status = checkPath(*this, "MDagPath::transform");
    report(ReturnStatus, status);
    if (!status)
        return MObject();
    // A shape has no matrix of its own: its transform is its parent.
    const mayastandin::detail::Node* node = findNode(m_node);
    return node->kind == mayastandin::NodeKind::Shape ? Access::object(node->parent) : m_node;
}

MString MDagPath::fullPathName(MStatus* ReturnStatus) const
{
    MStatus status = checkPath(*this, "MDagPath::fullPathName");
    report(ReturnStatus, status);
    return status ? MString(mayastandin::detail::fullPathName(Access::id(m_node)).c_str()) : MString();
}

MString MDagPath::partialPathName(MStatus* ReturnStatus) const
{
    MStatus status = checkPath(*this, "MDagPath::partialPathName");
    report(ReturnStatus, status);
    return status ? MString(mayastandin::detail::partialPathName(Access::id(m_node)).c_str()) : MString();
}
