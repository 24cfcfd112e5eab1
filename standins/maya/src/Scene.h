#pragma once

#include "Access.h"

#include <maya/MMatrix.h>
#include <maya/MStatus.h>
#include <mayastandin/Host.h>

#include <string>

namespace mayastandin { namespace detail {

struct Node
{
    std::string name;
    NodeKind kind;
    ObjectId parent;  // 0: the scene root
    MMatrix local;    // identity for shapes and dependency nodes
};

// The node `object` names, or null when it names none (null, deleted, a plug-in).
Node* findNode(const MObject& object);
// kSuccess when `object` is a node of one of the accepted kinds, else kInvalidParameter.
MStatus checkNode(const MObject& object, bool acceptDag, bool acceptDependency);

std::string fullPathName(ObjectId id);
// The shortest tail of the full path that no other node's path ends with.
std::string partialPathName(ObjectId id);

// Product of the local matrices from the node up to the root.
MMatrix worldMatrix(ObjectId id);
// The same without the node's own matrix.
MMatrix parentWorldMatrix(ObjectId id);
// False when the matrix is singular.
bool invert(const MMatrix& matrix, MMatrix& inverse);

// Renames the node, making the name unique among its siblings.
MStatus rename(ObjectId id, const std::string& wanted);

}}  // namespace mayastandin::detail
