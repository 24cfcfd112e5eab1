#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

// Function set on any scene node: its name.
class MFnDependencyNode
{
public:
    MFnDependencyNode(MObject& object, MStatus* ReturnStatus = 0);
    virtual ~MFnDependencyNode();

    MString name(MStatus* ReturnStatus = 0) const;
    // Returns the name the node ends up with: a name a sibling already holds
    // gets a number appended.
    MString setName(const MString& name, MStatus* ReturnStatus = 0);

protected:
    MFnDependencyNode();
    MObject m_object;  // null when the function set is not attached
};
