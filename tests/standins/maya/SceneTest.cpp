#include "StandinTest.h"

#include <maya/MDagPath.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MTransformationMatrix.h>

namespace {

using mayastandin::NodeKind;

MMatrix translation(double x, double y, double z)
{
    MMatrix m;
    m.matrix[3][0] = x;
    m.matrix[3][1] = y;
    m.matrix[3][2] = z;
    return m;
}

MMatrix scale(double s)
{
    MMatrix m;
    m.matrix[0][0] = m.matrix[1][1] = m.matrix[2][2] = s;
    return m;
}

void expectMatrix(const MMatrix& expected, const MMatrix& actual)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(expected.matrix[r][c], actual.matrix[r][c], 1e-12) << "at " << r << "," << c;
}

MDagPath pathOf(MObject node)
{
    MDagPath path;
    EXPECT_TRUE(MFnDagNode(node).getPath(path));
    return path;
}

std::string nameOf(MObject node)
{
    return MFnDependencyNode(node).name().asChar();
}

// |a (moved by 1,2,3) > |a|b (scaled by 2) > |a|b|c (moved by 0,0,5) and the shape |a|b|bShape.
class MayaScene : public StandinTest
{
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        a = mayastandin::createNode("a", NodeKind::Transform, MObject(), translation(1, 2, 3));
        b = mayastandin::createNode("b", NodeKind::Transform, a, scale(2));
        c = mayastandin::createNode("c", NodeKind::Transform, b, translation(0, 0, 5));
        shape = mayastandin::createNode("bShape", NodeKind::Shape, b);
        ASSERT_FALSE(a.isNull() || b.isNull() || c.isNull() || shape.isNull());
    }
    MObject a, b, c, shape;
};

TEST_F(MayaScene, MatrixProductTakesRowVectors)
{
    // A point is scaled first, then moved: the translation row stays as it is.
    MMatrix scaledThenMoved = scale(2) * translation(1, 0, 0);
    EXPECT_EQ(1.0, scaledThenMoved.matrix[3][0]);
    EXPECT_EQ(2.0, (translation(1, 0, 0) * scale(2)).matrix[3][0]);

    float out[4][4];
    ASSERT_TRUE(scaledThenMoved.get(out));
    EXPECT_EQ(2.0f, out[0][0]);
    EXPECT_EQ(1.0f, out[3][0]);
    expectMatrix(MMatrix(), scaledThenMoved.setToIdentity());
}

TEST_F(MayaScene, WorldMatrixIncludesEveryParent)
{
    MMatrix world = pathOf(c).inclusiveMatrix();
    expectMatrix(translation(0, 0, 5) * scale(2) * translation(1, 2, 3), world);
    // c's origin: moved to z 5, scaled to z 10 by b, moved by a.
    EXPECT_DOUBLE_EQ(1.0, world.matrix[3][0]);
    EXPECT_DOUBLE_EQ(2.0, world.matrix[3][1]);
    EXPECT_DOUBLE_EQ(13.0, world.matrix[3][2]);
}

TEST_F(MayaScene, ExclusiveInverseTurnsWorldIntoLocal)
{
    MDagPath path = pathOf(c);
    MStatus status;
    MMatrix local = path.inclusiveMatrix() * path.exclusiveMatrixInverse(&status);
    ASSERT_TRUE(status);
    expectMatrix(translation(0, 0, 5), local);
    expectMatrix(MMatrix(), pathOf(a).exclusiveMatrixInverse());

    MFnTransform(b).set(MTransformationMatrix(scale(0)));
    pathOf(c).exclusiveMatrixInverse(&status);
    EXPECT_EQ(MStatus::kFailure, status.statusCode());
}

TEST_F(MayaScene, SetTransformationMovesTheNodeAndItsChildren)
{
    MFnTransform fn(b);
    ASSERT_TRUE(fn.set(MTransformationMatrix(translation(10, 0, 0))));

    MStatus status;
    expectMatrix(translation(10, 0, 0), fn.transformation(&status).asMatrix());
    EXPECT_TRUE(status);
    expectMatrix(translation(0, 0, 5) * translation(10, 0, 0) * translation(1, 2, 3),
                 pathOf(c).inclusiveMatrix());
}

TEST_F(MayaScene, ShapeTakesItsTransformFromItsParent)
{
    MDagPath shapePath = pathOf(shape);
    MStatus status;
    EXPECT_EQ(b, shapePath.transform(&status));
    EXPECT_TRUE(status);
    EXPECT_EQ(c, pathOf(c).transform());
    expectMatrix(pathOf(b).inclusiveMatrix(), shapePath.inclusiveMatrix());

    MFnTransform onShape(shape, &status);
    EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
    MFnTransform onShapePath(shapePath, &status);
    EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
    EXPECT_FALSE(onShape.set(MTransformationMatrix()));

    MObject transform = shapePath.transform();
    MFnTransform onTransform(transform, &status);
    ASSERT_TRUE(status);
    MDagPath transformPath;
    ASSERT_TRUE(onTransform.getPath(transformPath));
    EXPECT_EQ("|a|b", std::string(transformPath.fullPathName().asChar()));
}

TEST_F(MayaScene, PartialPathIsTheShortestUniqueTail)
{
    MObject x = mayastandin::createNode("x");
    MObject leafA = mayastandin::createNode("leaf", NodeKind::Transform, a);
    MObject leafX = mayastandin::createNode("leaf", NodeKind::Transform, x);
    MObject q1 = mayastandin::createNode("q", NodeKind::Transform, a);
    MObject q2 = mayastandin::createNode("q", NodeKind::Transform, x);
    MObject n1 = mayastandin::createNode("n", NodeKind::Transform, q1);
    mayastandin::createNode("n", NodeKind::Transform, q2);

    MFnDagNode fn(leafX);
    EXPECT_EQ("|x|leaf", std::string(fn.fullPathName().asChar()));
    EXPECT_EQ("x|leaf", std::string(fn.partialPathName().asChar()));
    EXPECT_EQ("a|leaf", std::string(pathOf(leafA).partialPathName().asChar()));
    EXPECT_EQ("a|q|n", std::string(pathOf(n1).partialPathName().asChar()));
    EXPECT_EQ("|a|b|c", std::string(pathOf(c).fullPathName().asChar()));
    EXPECT_EQ("c", std::string(pathOf(c).partialPathName().asChar()));

    // A root node whose name also ends a deeper path needs its leading bar.
    MObject rootLeaf = mayastandin::createNode("leaf");
    MObject deeper = mayastandin::createNode("leaf", NodeKind::Transform, leafA);
    EXPECT_EQ("|leaf", std::string(MFnDagNode(rootLeaf).partialPathName().asChar()));
    EXPECT_EQ("leaf|leaf", std::string(MFnDagNode(deeper).partialPathName().asChar()));
}

TEST_F(MayaScene, RenamingKeepsSiblingNamesUnique)
{
    MObject d = mayastandin::createNode("d", NodeKind::Transform, a);
    MStatus status;
    MFnDependencyNode fn(d);

    EXPECT_EQ("b1", std::string(fn.setName("b", &status).asChar()));
    EXPECT_TRUE(status);
    EXPECT_EQ("b2", nameOf(mayastandin::createNode("b", NodeKind::Transform, a)));
    EXPECT_EQ("c", std::string(fn.setName("c").asChar()));  // c lives under b, not a
    EXPECT_EQ("|a|c", std::string(pathOf(d).fullPathName().asChar()));
    EXPECT_EQ("c", std::string(fn.setName("c").asChar()));  // its own name is no clash

    for (const char* bad : {"", "1st", "a|b", "with space"}) {
        EXPECT_EQ("c", std::string(fn.setName(bad, &status).asChar())) << bad;
        EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode()) << bad;
    }
}

TEST_F(MayaScene, FunctionSetsRefuseWhatTheyCannotAttachTo)
{
    MObject dependency = mayastandin::createNode("material", NodeKind::Dependency);
    MObject plugin = mayastandin::createPluginObject("p.so");
    MStatus status;

    for (MObject object : {MObject(), plugin, dependency}) {
        MFnDagNode dag(object, &status);
        EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
        MDagPath path;
        EXPECT_FALSE(dag.getPath(path));
        EXPECT_EQ("", std::string(dag.fullPathName().asChar()));
    }
    MFnDependencyNode onDependency(dependency, &status);
    EXPECT_TRUE(status);
    EXPECT_EQ("material", std::string(onDependency.name().asChar()));
    MFnDependencyNode onPlugin(plugin, &status);
    EXPECT_FALSE(status);
    EXPECT_EQ("", std::string(onPlugin.name(&status).asChar()));
    EXPECT_FALSE(status);
}

TEST_F(MayaScene, DeletedNodesAreGoneForEveryHandle)
{
    MFnDependencyNode named(c);
    MDagPath path = pathOf(c);
    ASSERT_TRUE(mayastandin::deleteNode(b));  // takes c and the shape along
    EXPECT_FALSE(mayastandin::deleteNode(c));

    MStatus status;
    EXPECT_EQ("", std::string(named.name(&status).asChar()));
    EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
    path.inclusiveMatrix(&status);
    EXPECT_EQ(MStatus::kInvalidParameter, status.statusCode());
    EXPECT_TRUE(path.transform(&status).isNull());
    MFnDagNode dag(shape, &status);
    EXPECT_FALSE(status);
    EXPECT_EQ("a", nameOf(a));
}

TEST_F(MayaScene, CreateNodeRefusesImpossibleNodes)
{
    MObject dependency = mayastandin::createNode("dep", NodeKind::Dependency);
    EXPECT_TRUE(mayastandin::createNode("s", NodeKind::Shape).isNull());
    EXPECT_TRUE(mayastandin::createNode("t", NodeKind::Transform, shape).isNull());
    EXPECT_TRUE(mayastandin::createNode("t", NodeKind::Transform, dependency).isNull());
    EXPECT_TRUE(mayastandin::createNode("d", NodeKind::Dependency, a).isNull());
    EXPECT_TRUE(mayastandin::createNode("no good").isNull());
    // Shapes keep no matrix of their own.
    MObject s = mayastandin::createNode("s", NodeKind::Shape, c, translation(9, 9, 9));
    expectMatrix(pathOf(c).inclusiveMatrix(), pathOf(s).inclusiveMatrix());
}

TEST_F(MayaScene, InjectedFailuresReachTheCaller)
{
    ASSERT_TRUE(mayastandin::failNextCall("MFnDagNode::MFnDagNode", MStatus::kEndOfFile));
    ASSERT_TRUE(mayastandin::failNextCall("MFnTransform::set", MStatus::kNotFound));
    MStatus status;
    MFnDagNode dag(c, &status);
    EXPECT_EQ(MStatus::kEndOfFile, status.statusCode());
    MDagPath path;
    EXPECT_FALSE(dag.getPath(path));  // never attached

    MFnTransform fn(c);
    EXPECT_EQ(MStatus::kNotFound, fn.set(MTransformationMatrix(translation(7, 0, 0))).statusCode());
    expectMatrix(translation(0, 0, 5), fn.transformation().asMatrix());
    MFnDagNode again(c, &status);
    EXPECT_TRUE(status);
}

}  // namespace
