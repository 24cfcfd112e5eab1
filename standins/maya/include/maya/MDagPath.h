#pragma once

#include <maya/MMatrix.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

namespace mayastandin { namespace detail { struct Access; } }

// Path from the scene root to one node. The stand-in has no instancing, so a
// path is known by the node it ends at.
class MDagPath
{
public:
    MDagPath();
    MDagPath(const MDagPath& other);
    ~MDagPath();
    MDagPath& operator=(const MDagPath& other);

    MMatrix inclusiveMatrix(MStatus* ReturnStatus = 0) const;
    MMatrix exclusiveMatrixInverse(MStatus* ReturnStatus = 0) const;
    MObject transform(MStatus* ReturnStatus = 0) const;
    MString fullPathName(MStatus* ReturnStatus = 0) const;
    MString partialPathName(MStatus* ReturnStatus = 0) const;

private:
    friend struct mayastandin::detail::Access;
    MObject m_node;
};
