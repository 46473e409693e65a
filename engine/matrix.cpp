#include "engine/matrix.h"

#include <cmath>

float fcos(float x) {
    return float(std::cos(double(x)));
}
float fsin(float x) {
    return float(std::sin(double(x)));
}
float ftan(float x) {
    return float(std::tan(double(x)));
}
float fpow(float x, float y) {
    return float(std::pow(double(x), double(y)));
}
float fsqrt(float x) {
    return float(std::sqrt(double(x)));
}
float fatan2(float y, float x) {
    return float(std::atan2(double(y), double(x)));
}

CMatrix& CMatrix::Zero() {
    for (float& v : m) v = 0.0f;
    return *this;
}

CMatrix& CMatrix::Identity() {
    Zero();
    at(1, 1) = at(2, 2) = at(3, 3) = at(4, 4) = 1.0f;
    return *this;
}

CMatrix& CMatrix::RotationX(float theta) {
    float c = fcos(theta), s = fsin(theta);
    Zero();
    at(1, 1) = 1.0f;
    at(2, 2) = c, at(2, 3) = s;
    at(3, 2) = -s, at(3, 3) = c;
    at(4, 4) = 1.0f;
    return *this;
}

CMatrix& CMatrix::RotationY(float theta) {
    float c = fcos(theta), s = fsin(theta);
    Zero();
    at(1, 1) = c, at(1, 3) = -s;
    at(2, 2) = 1.0f;
    at(3, 1) = s, at(3, 3) = c;
    at(4, 4) = 1.0f;
    return *this;
}

CMatrix& CMatrix::RotationZ(float theta) {
    float c = fcos(theta), s = fsin(theta);
    Zero();
    at(1, 1) = c, at(1, 2) = s;
    at(2, 1) = -s, at(2, 2) = c;
    at(3, 3) = 1.0f;
    at(4, 4) = 1.0f;
    return *this;
}

CMatrix& CMatrix::Translation(float x, float y, float z) {
    Identity();
    at(4, 1) = x, at(4, 2) = y, at(4, 3) = z;
    return *this;
}

CMatrix& CMatrix::Scaling(float x, float y, float z) {
    Zero();
    at(1, 1) = x, at(2, 2) = y, at(3, 3) = z, at(4, 4) = 1.0f;
    return *this;
}

CMatrix& CMatrix::PerspectiveRH(float fovY, float aspect, float zn, float zf) {
    float t = ftan(fovY * 0.5f);
    Zero();
    at(1, 1) = 1.0f / (t * aspect);
    at(2, 2) = 1.0f / t;
    at(3, 3) = -zf / (zf - zn);
    at(3, 4) = -1.0f;
    at(4, 3) = -zf * zn / (zf - zn);
    return *this;
}

CMatrix& CMatrix::PerspectiveLH(float fovY, float aspect, float zn, float zf) {
    float t = ftan(fovY * 0.5f);
    Zero();
    at(1, 1) = 1.0f / (t * aspect);
    at(2, 2) = 1.0f / t;
    at(3, 3) = zf / (zf - zn);
    at(3, 4) = 1.0f;
    at(4, 3) = -zf * zn / (zf - zn);
    return *this;
}

CMatrix CMatrix::operator*(const CMatrix& b) const {
    CMatrix r;
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j)
            r.at(i, j) =
                at(i, 1) * b.at(1, j) + at(i, 2) * b.at(2, j) + at(i, 3) * b.at(3, j) + at(i, 4) * b.at(4, j);
    return r;
}

// The left operand is copied first, so that a *= a squares the matrix.
CMatrix& CMatrix::operator*=(const CMatrix& b) {
    CMatrix left = *this;
    *this = left * b;
    return *this;
}

void CMatrix::transform(const float in[4], float out[4]) const {
    for (int c = 1; c <= 4; ++c)
        out[c - 1] = in[0] * at(1, c) + in[1] * at(2, c) + in[2] * at(3, c) + in[3] * at(4, c);
}

bool SetWorldViewProj(const CMatrix* world, const CMatrix* view, const CMatrix* projection,
                      ID3D10Effect* effect) {
    if (!effect) return false;
    CMatrix m;
    if (world) m *= *world;
    if (view) m *= *view;
    if (projection) m *= *projection;
    ID3D10EffectVariable* variable = effect->GetVariableByName("matWVP");
    if (!variable || !variable->IsValid()) return false;
    ID3D10EffectMatrixVariable* matrix = variable->AsMatrix();
    if (!matrix || !matrix->IsValid()) return false;
    matrix->SetMatrix(m.data());
    return true;
}
