#include "Failures.h"
#include "Scene.h"

#include <maya/MFnTransform.h>

using mayastandin::detail::injectedFailure;
using mayastandin::detail::report;

namespace {

mayastandin::detail::Node* findTransform(const MObject& object)
{
    mayastandin::detail::Node* node = mayastandin::detail::findNode(object);
    return node && node->kind == mayastandin::NodeKind::Transform ? node : nullptr;
}

}  // namespace

MFnTransform::MFnTransform(MObject& object, MStatus* ReturnStatus) { attach(object, ReturnStatus); }

MFnTransform::MFnTransform(const MDagPath& path, MStatus* ReturnStatus)
{
    attach(mayastandin::detail::Access::node(path), ReturnStatus);
}

void MFnTransform::attach(const MObject& object, MStatus* ReturnStatus)
{
    MStatus status;
    if (!injectedFailure("MFnTransform::MFnTransform", status) && !findTransform(object))
        status = MStatus::kInvalidParameter;
    if (status)
        m_object = object;
    report(ReturnStatus, status);
}

MTransformationMatrix MFnTransform::transformation(MStatus* ReturnStatus) const
{
    MStatus status;
    const mayastandin::detail::Node* node = nullptr;
    if (!injectedFailure("MFnTransform::transformation", status) && !(node = findTransform(m_object)))
        status = MStatus::kInvalidParameter;
    report(ReturnStatus, status);
    return status ? MTransformationMatrix(node->local) : MTransformationMatrix();
}

MStatus MFnTransform::set(const MTransformationMatrix& transformation)
{
    MStatus status;
    if (injectedFailure("MFnTransform::set", status))
        return status;
    mayastandin::detail::Node* node = findTransform(m_object);
    if (!node)
        return MStatus::kInvalidParameter;
    node->local = transformation.asMatrix();
    return MStatus::kSuccess;
}
