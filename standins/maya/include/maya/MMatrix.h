#pragma once

#include <maya/MStatus.h>

// 4x4 matrix of doubles, row index first; points are row vectors, so a
// child's world matrix is its local matrix times its parent's world matrix.
class MMatrix
{
public:
    MMatrix();
    MMatrix(const double source[4][4]);

    MStatus get(float dest[4][4]) const;
    MMatrix& setToIdentity();
    MMatrix operator*(const MMatrix& right) const;

    double matrix[4][4];
};
