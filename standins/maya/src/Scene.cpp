#include "Scene.h"

#include <cctype>
#include <cmath>
#include <map>
#include <utility>

namespace mayastandin {
namespace detail {
namespace {

std::map<ObjectId, Node>& nodes()
{
    // Never destroyed: plug-ins may call the host while statics are torn down.
    static auto* scene = new std::map<ObjectId, Node>;
    return *scene;
}

bool isDag(NodeKind kind)
{
    return kind != NodeKind::Dependency;
}

bool validName(const std::string& name)
{
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

// Dependency nodes share one name space; hierarchy nodes one per parent.
bool nameTaken(const std::string& name, bool dag, ObjectId parent, ObjectId except)
{
    for (const auto& [id, node] : nodes())
        if (id != except && isDag(node.kind) == dag && node.parent == parent && node.name == name)
            return true;
    return false;
}

std::string uniqueName(const std::string& wanted, bool dag, ObjectId parent, ObjectId except)
{
    std::string name = wanted;
    for (unsigned long number = 1; nameTaken(name, dag, parent, except); ++number)
        name = wanted + std::to_string(number);
    return name;
}

// Whether `path` ends with `tail` at a path separator.
bool endsWithComponents(const std::string& path, const std::string& tail)
{
    return path.size() > tail.size() && path.compare(path.size() - tail.size(), tail.size(), tail) == 0 &&
           path[path.size() - tail.size() - 1] == '|';
}

bool parentAccepts(const MObject& parent, NodeKind kind)
{
    if (parent.isNull())
        return kind == NodeKind::Transform || kind == NodeKind::Dependency;
    const Node* node = findNode(parent);
    return kind != NodeKind::Dependency && node && node->kind == NodeKind::Transform;
}

void removeSubtree(ObjectId id)
{
    std::vector<ObjectId> children;
    for (const auto& [childId, node] : nodes())
        if (node.parent == id)
            children.push_back(childId);
    for (ObjectId child : children)
        removeSubtree(child);
    nodes().erase(id);
}

}  // namespace

Node* findNode(const MObject& object)
{
    auto found = nodes().find(Access::id(object));
    return found == nodes().end() ? nullptr : &found->second;
}

MStatus checkNode(const MObject& object, bool acceptDag, bool acceptDependency)
{
    const Node* node = findNode(object);
    if (!node || !(isDag(node->kind) ? acceptDag : acceptDependency))
        return MStatus::kInvalidParameter;
    return MStatus::kSuccess;
}

std::string fullPathName(ObjectId id)
{
    std::string path;
    for (auto found = nodes().find(id); found != nodes().end(); found = nodes().find(found->second.parent))
        path = "|" + found->second.name + path;
    return path;
}

std::string partialPathName(ObjectId id)
{
    std::string full = fullPathName(id);
    // Try "c", then "b|c", then "a|b|c" for the path "|a|b|c".
    for (std::string::size_type cut = full.size(); cut > 0;) {
        cut = full.rfind('|', cut - 1);
        if (cut == std::string::npos)
            break;
        std::string tail = full.substr(cut + 1);
        bool unique = true;
        for (const auto& [other, node] : nodes())
            if (other != id && isDag(node.kind) && endsWithComponents(fullPathName(other), tail))
                unique = false;
        if (unique)
            return tail;
    }
    return full;
}

MMatrix worldMatrix(ObjectId id)
{
    auto found = nodes().find(id);
    if (found == nodes().end())
        return MMatrix();
    return found->second.local * parentWorldMatrix(id);
}

MMatrix parentWorldMatrix(ObjectId id)
{
    auto found = nodes().find(id);
    if (found == nodes().end() || found->second.parent == 0)
        return MMatrix();
    return worldMatrix(found->second.parent);
}

bool invert(const MMatrix& matrix, MMatrix& inverse)
{
    // Gauss-Jordan elimination with partial pivoting on [matrix | identity].
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = matrix.matrix[r][c];
            a[r][c + 4] = r == c ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-12)
            return false;
        std::swap(a[pivot], a[col]);
        double scale = a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] /= scale;
        for (int r = 0; r < 4; ++r) {
            if (r == col)
                continue;
            double factor = a[r][col];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= factor * a[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            inverse.matrix[r][c] = a[r][c + 4];
    return true;
}

MStatus rename(ObjectId id, const std::string& wanted)
{
    auto found = nodes().find(id);
    if (found == nodes().end() || !validName(wanted))
        return MStatus::kInvalidParameter;
    Node& node = found->second;
    node.name = uniqueName(wanted, isDag(node.kind), node.parent, id);
    return MStatus::kSuccess;
}

void resetScene()
{
    nodes().clear();
}

}  // namespace detail

MObject createNode(const std::string& name, NodeKind kind, const MObject& parent, const MMatrix& local)
{
    if (!detail::validName(name) || !detail::parentAccepts(parent, kind))
        return MObject();
    detail::ObjectId parentId = detail::Access::id(parent);
    detail::Node node{detail::uniqueName(name, detail::isDag(kind), parentId, 0), kind, parentId,
                      kind == NodeKind::Transform ? local : MMatrix()};
    detail::ObjectId id = detail::newObjectId();
    detail::nodes().emplace(id, node);
    return detail::Access::object(id);
}

bool deleteNode(const MObject& node)
{
    if (!detail::findNode(node))
        return false;
    detail::removeSubtree(detail::Access::id(node));
    return true;
}

}  // namespace mayastandin
