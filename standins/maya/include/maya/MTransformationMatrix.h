#pragma once

#include <maya/MMatrix.h>

// A node's transformation. The stand-in keeps it as the plain matrix.
class MTransformationMatrix
{
public:
    MTransformationMatrix();
    MTransformationMatrix(const MMatrix& matrix);

    MMatrix asMatrix() const;

private:
    MMatrix m_matrix;
};
