#pragma once

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MTransformationMatrix.h>

// Function set on a transform node: its own (local) transformation.
class MFnTransform : public MFnDagNode
{
public:
    MFnTransform(MObject& object, MStatus* ReturnStatus = 0);
    MFnTransform(const MDagPath& path, MStatus* ReturnStatus = 0);

    MTransformationMatrix transformation(MStatus* ReturnStatus = 0) const;
    MStatus set(const MTransformationMatrix& transformation);

private:
    void attach(const MObject& object, MStatus* ReturnStatus);
};
