#include <maya/MTransformationMatrix.h>

MTransformationMatrix::MTransformationMatrix() {}
MTransformationMatrix::MTransformationMatrix(const MMatrix& matrix) : m_matrix(matrix) {}

MMatrix MTransformationMatrix::asMatrix() const { return m_matrix; }
