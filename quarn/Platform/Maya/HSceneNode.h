// A handle on one node of the host's scene: its transformation in world or
// local space, its path names and its name. Host failures become result
// codes, an untouched output or an empty text; nothing throws.
#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include "kor/Utils/UBaseString.h"
#include "quarn/Platform/Maya/HPluginModule_ImageTranslator.h"

namespace quarn {
namespace platform_maya {

// Row after row, in the host matrix's element order.
struct Matrix4 {
  float m[4][4];
};

enum TransformSpace { TRANSFORM_SPACE_WORLD = 0, TRANSFORM_SPACE_LOCAL = 1 };

// The result code for a host status code.
int ResultCodeOf(const MStatus& status);

class HSceneNode {
 public:
  explicit HSceneNode(const MObject& node) : m_node(node) {}

  // Leaves output untouched when a host call fails; other spaces than
  // world and local give the identity.
  void GetTransform(Matrix4& output, int space);
  ModuleResult SetTransform(const Matrix4& matrix, int space);
  kor::UBaseString<unsigned char> GetFullPathName();
  kor::UBaseString<unsigned char> GetPartialPathName();
  kor::UBaseString<unsigned char> GetName();
  ModuleResult SetName(const kor::UBaseString<unsigned char>& name);

 private:
  MObject m_node;
};

}  // namespace platform_maya
}  // namespace quarn
