// CMatrix: the engine's 4 x 4 transform, used with row vectors: a point is the row (x, y, z, 1) times
// the matrix, translation sits in the fourth row, and world x view x projection compose left to right.
// The sixteen floats are stored row by row (m11, m12, ..., m44), the layout the effect's SetMatrix reads.
#pragma once

#include <d3d10.h>
#include <d3d10effect.h>

// Single-precision wrappers: each computes in double and narrows the result to float.
float fcos(float x);
float fsin(float x);
float ftan(float x);
float fpow(float x, float y);
float fsqrt(float x);
float fatan2(float y, float x);

class CMatrix {
public:
    CMatrix() { Identity(); }
    CMatrix(const CMatrix&) = default;
    CMatrix& operator=(const CMatrix&) = default;
    virtual ~CMatrix() = default;

    // Element at row r, column c, both counted from 1 as in m11 ... m44.
    float& at(int r, int c) { return m[(r - 1) * 4 + (c - 1)]; }
    float at(int r, int c) const { return m[(r - 1) * 4 + (c - 1)]; }
    float* data() { return m; }
    const float* data() const { return m; }

    CMatrix& Zero();
    CMatrix& Identity();
    CMatrix& RotationX(float theta);
    CMatrix& RotationY(float theta);
    CMatrix& RotationZ(float theta);
    CMatrix& Translation(float x, float y, float z);
    CMatrix& Scaling(float x, float y, float z);
    CMatrix& PerspectiveRH(float fovY, float aspect, float zn, float zf);
    CMatrix& PerspectiveLH(float fovY, float aspect, float zn, float zf);

    CMatrix operator*(const CMatrix& b) const;
    CMatrix& operator*=(const CMatrix& b);

    // The row vector (x, y, z, w) times this matrix.
    void transform(const float in[4], float out[4]) const;

private:
    float m[16];
};

// Sets the effect's "matWVP" to world x view x projection (absent ones skipped). False when there is
// no effect or no valid matrix variable of that name; the setter's own result is not examined.
bool SetWorldViewProj(const CMatrix* world, const CMatrix* view, const CMatrix* projection,
                      ID3D10Effect* effect);
