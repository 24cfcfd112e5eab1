#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDependencyNode.h>

// Function set on a node of the scene hierarchy (a transform or a shape).
class MFnDagNode : public MFnDependencyNode
{
public:
    MFnDagNode(MObject& object, MStatus* ReturnStatus = 0);

    MStatus getPath(MDagPath& path) const;
    MString fullPathName(MStatus* ReturnStatus = 0) const;
    MString partialPathName(MStatus* ReturnStatus = 0) const;

protected:
    MFnDagNode();
};
