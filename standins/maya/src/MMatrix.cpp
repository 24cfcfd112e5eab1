#include <maya/MMatrix.h>

MMatrix::MMatrix() { setToIdentity(); }

MMatrix::MMatrix(const double source[4][4])
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = source[r][c];
}

MStatus MMatrix::get(float dest[4][4]) const
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            dest[r][c] = static_cast<float>(matrix[r][c]);
    return MStatus::kSuccess;
}

MMatrix& MMatrix::setToIdentity()
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = r == c ? 1.0 : 0.0;
    return *this;
}

MMatrix MMatrix::operator*(const MMatrix& right) const
{
    MMatrix product;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += matrix[r][k] * right.matrix[k][c];
            product.matrix[r][c] = sum;
        }
    }
    return product;
}
