#include "quarn/Platform/Maya/HSceneNode.h"

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MString.h>
#include <maya/MTransformationMatrix.h>

namespace quarn {
namespace platform_maya {

namespace {

// Result code 2 is the rejected-space answer of SetTransform.
const int kRejectedSpace = 2;

ModuleResult ResultOf(const MStatus& status) { return ModuleResult(ResultCodeOf(status)); }

kor::UBaseString<unsigned char> TextOf(const MString& text, const MStatus& status) {
  return status ? kor::UBaseString<unsigned char>(text.asChar()) : kor::UBaseString<unsigned char>();
}

// The node's transform, reached through its DAG path.
MStatus LocalMatrix(const MFnDagNode& node, MMatrix& matrix) {
  MDagPath path;
  MStatus status = node.getPath(path);
  if (!status) return status;
  MObject transform = path.transform(&status);
  if (!status) return status;
  MFnTransform transformNode(transform, &status);
  if (!status) return status;
  MTransformationMatrix transformation = transformNode.transformation(&status);
  if (status) matrix = transformation.asMatrix();
  return status;
}

}  // namespace

int ResultCodeOf(const MStatus& status) {
  switch (status.statusCode()) {
    case MStatus::kSuccess: return 0;
    case MStatus::kInsufficientMemory: return 3;
    case MStatus::kInvalidParameter: return 2;
    case MStatus::kLicenseFailure: case MStatus::kUnknownParameter:
    case MStatus::kNotImplemented: case MStatus::kNotFound:
      return static_cast<int>(status.statusCode());
    case MStatus::kEndOfFile: return 7;
    default: return 1;
  }
}

void HSceneNode::GetTransform(Matrix4& output, int space) {
  MStatus status;
  MFnDagNode node(m_node, &status);
  if (!status) return;
  MMatrix matrix;
  if (space == TRANSFORM_SPACE_WORLD) {
    MDagPath path;
    status = node.getPath(path);
    if (status) matrix = path.inclusiveMatrix(&status);
  } else if (space == TRANSFORM_SPACE_LOCAL) {
    status = LocalMatrix(node, matrix);
  } else {
    matrix.setToIdentity();
  }
  if (!status) return;
  float values[4][4];
  if (matrix.get(values))
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 4; ++column) output.m[row][column] = values[row][column];
}

ModuleResult HSceneNode::SetTransform(const Matrix4& matrix, int space) {
  if (space == kRejectedSpace) return ModuleResult(kRejectedSpace);
  MStatus status;
  MFnDagNode node(m_node, &status);
  if (!status) return ResultOf(status);

  double wide[4][4];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) wide[row][column] = matrix.m[row][column];
  MMatrix hostMatrix(wide);

  MDagPath path;
  if (!(status = node.getPath(path))) return ResultOf(status);
  MObject transform = path.transform(&status);
  if (!status) return ResultOf(status);
  MFnTransform transformNode(transform, &status);
  if (!status) return ResultOf(status);
  MDagPath transformPath;
  if (!(status = transformNode.getPath(transformPath))) return ResultOf(status);

  if (space == TRANSFORM_SPACE_WORLD) {
    // World to local: undo what the parents contribute.
    MMatrix parentsInverse = transformPath.exclusiveMatrixInverse(&status);
    if (!status) return ResultOf(status);
    hostMatrix = hostMatrix * parentsInverse;
  }
  return ResultOf(transformNode.set(MTransformationMatrix(hostMatrix)));
}

kor::UBaseString<unsigned char> HSceneNode::GetFullPathName() {
  MStatus status;
  MFnDagNode node(m_node, &status);
  if (!status) return kor::UBaseString<unsigned char>();
  MString text = node.fullPathName(&status);
  return TextOf(text, status);
}

kor::UBaseString<unsigned char> HSceneNode::GetPartialPathName() {
  MStatus status;
  MFnDagNode node(m_node, &status);
  if (!status) return kor::UBaseString<unsigned char>();
  MString text = node.partialPathName(&status);
  return TextOf(text, status);
}

kor::UBaseString<unsigned char> HSceneNode::GetName() {
  MStatus status;
  MFnDependencyNode node(m_node, &status);
  if (!status) return kor::UBaseString<unsigned char>();
  MString text = node.name(&status);
  return TextOf(text, status);
}

ModuleResult HSceneNode::SetName(const kor::UBaseString<unsigned char>& name) {
  MStatus status;
  MFnDependencyNode node(m_node, &status);
  if (status) node.setName(MString(name.GetText()), &status);
  return ResultOf(status);
}

}  // namespace platform_maya
}  // namespace quarn
