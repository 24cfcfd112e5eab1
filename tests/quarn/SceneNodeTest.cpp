#include <gtest/gtest.h>
#include <maya/MMatrix.h>
#include <mayastandin/Host.h>

#include "quarn/Platform/Maya/HSceneNode.h"

using quarn::platform_maya::HSceneNode;
using quarn::platform_maya::Matrix4;

namespace {

MMatrix Translation(double x, double y, double z) {
  MMatrix matrix;
  matrix.matrix[3][0] = x;
  matrix.matrix[3][1] = y;
  matrix.matrix[3][2] = z;
  return matrix;
}

Matrix4 Filled(float value) {
  Matrix4 matrix;
  for (auto& row : matrix.m)
    for (float& element : row) element = value;
  return matrix;
}

class SceneNode : public ::testing::Test {
 protected:
  void SetUp() override {
    mayastandin::reset();
    mayastandin::setEchoToStderr(false);
    m_parent = mayastandin::createNode("parent", mayastandin::NodeKind::Transform, MObject::kNullObj,
                                       Translation(1, 2, 3));
    m_child = mayastandin::createNode("child", mayastandin::NodeKind::Transform, m_parent,
                                      Translation(10, 0, 0));
  }
  void TearDown() override { mayastandin::reset(); }
  MObject m_parent, m_child;
};

}  // namespace

TEST_F(SceneNode, WorldAndLocalTransformsFollowTheParents) {
  HSceneNode child(m_child);
  Matrix4 world = Filled(-1), local = Filled(-1);
  child.GetTransform(world, quarn::platform_maya::TRANSFORM_SPACE_WORLD);
  child.GetTransform(local, quarn::platform_maya::TRANSFORM_SPACE_LOCAL);
  EXPECT_FLOAT_EQ(11, world.m[3][0]);
  EXPECT_FLOAT_EQ(2, world.m[3][1]);
  EXPECT_FLOAT_EQ(3, world.m[3][2]);
  EXPECT_FLOAT_EQ(10, local.m[3][0]);
  EXPECT_FLOAT_EQ(0, local.m[3][1]);
  EXPECT_FLOAT_EQ(1, local.m[0][0]);

  Matrix4 identity = Filled(-1);
  child.GetTransform(identity, 5);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_FLOAT_EQ(row == column ? 1.0f : 0.0f, identity.m[row][column]);
}

TEST_F(SceneNode, SettingAWorldTransformStoresTheLocalOne) {
  HSceneNode child(m_child);
  Matrix4 target = Filled(0);
  for (int i = 0; i < 4; ++i) target.m[i][i] = 1;
  target.m[3][0] = 5;  // world x = 5, so local x = 5 - 1 = 4
  EXPECT_EQ(0, child.SetTransform(target, quarn::platform_maya::TRANSFORM_SPACE_WORLD).GetCode());
  Matrix4 local = Filled(-1), world = Filled(-1);
  child.GetTransform(local, quarn::platform_maya::TRANSFORM_SPACE_LOCAL);
  child.GetTransform(world, quarn::platform_maya::TRANSFORM_SPACE_WORLD);
  EXPECT_FLOAT_EQ(4, local.m[3][0]);
  EXPECT_FLOAT_EQ(5, world.m[3][0]);

  EXPECT_EQ(0, child.SetTransform(target, quarn::platform_maya::TRANSFORM_SPACE_LOCAL).GetCode());
  child.GetTransform(local, quarn::platform_maya::TRANSFORM_SPACE_LOCAL);
  EXPECT_FLOAT_EQ(5, local.m[3][0]);
}

TEST_F(SceneNode, SpaceTwoIsRejectedWithoutAHostCall) {
  HSceneNode child(m_child);
  ASSERT_TRUE(mayastandin::failNextCall("MFnDagNode::MFnDagNode", MStatus::kEndOfFile));
  EXPECT_EQ(2, child.SetTransform(Filled(0), 2).GetCode());
  // The failure request is still pending: nothing was asked of the host.
  EXPECT_EQ(7, child.SetTransform(Filled(0), 1).GetCode());
}

TEST_F(SceneNode, NamesPathsAndRenaming) {
  HSceneNode child(m_child);
  EXPECT_STREQ("child", child.GetName().GetText());
  EXPECT_STREQ("|parent|child", child.GetFullPathName().GetText());
  EXPECT_STREQ("child", child.GetPartialPathName().GetText());
  EXPECT_EQ(0, child.SetName("renamed").GetCode());
  EXPECT_STREQ("renamed", child.GetName().GetText());
  EXPECT_STREQ("|parent|renamed", child.GetFullPathName().GetText());
}

TEST_F(SceneNode, HostFailuresBecomeCodesUntouchedOutputsAndEmptyTexts) {
  HSceneNode nothing(MObject::kNullObj);
  EXPECT_STREQ("", nothing.GetName().GetText());
  EXPECT_STREQ("", nothing.GetFullPathName().GetText());
  Matrix4 untouched = Filled(9);
  nothing.GetTransform(untouched, 0);
  EXPECT_FLOAT_EQ(9, untouched.m[2][1]);
  EXPECT_NE(0, nothing.SetName("x").GetCode());

  EXPECT_EQ(0, quarn::platform_maya::ResultCodeOf(MStatus(MStatus::kSuccess)));
  EXPECT_EQ(1, quarn::platform_maya::ResultCodeOf(MStatus(MStatus::kFailure)));
  EXPECT_EQ(3, quarn::platform_maya::ResultCodeOf(MStatus(MStatus::kInsufficientMemory)));
  EXPECT_EQ(2, quarn::platform_maya::ResultCodeOf(MStatus(MStatus::kInvalidParameter)));
  for (auto code : {MStatus::kLicenseFailure, MStatus::kUnknownParameter, MStatus::kNotImplemented,
                    MStatus::kNotFound})
    EXPECT_EQ(static_cast<int>(code), quarn::platform_maya::ResultCodeOf(MStatus(code)));
  EXPECT_EQ(7, quarn::platform_maya::ResultCodeOf(MStatus(MStatus::kEndOfFile)));
}
