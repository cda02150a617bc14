#pragma once
// Vector and matrix arithmetic in DirectX's conventions: left-handed
// coordinates, row vectors (v * M), angles in radians.
#include "platform/d3d/d3d_types.hpp"

namespace plat {

inline D3DVECTOR Vec(float x, float y, float z) { return D3DVECTOR{x, y, z}; }
inline D3DVECTOR operator+(D3DVECTOR a, D3DVECTOR b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3DVECTOR operator-(D3DVECTOR a, D3DVECTOR b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3DVECTOR operator*(D3DVECTOR a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float Dot(D3DVECTOR a, D3DVECTOR b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3DVECTOR Cross(D3DVECTOR a, D3DVECTOR b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Length(D3DVECTOR v);
// The unit vector, or zero for a (nearly) zero vector.
D3DVECTOR Normalize(D3DVECTOR v);

D3DMATRIX IdentityMatrix();
// a then b: v * (a * b) == (v * a) * b.
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);
D3DMATRIX TranslationMatrix(float x, float y, float z);
D3DMATRIX ScalingMatrix(float x, float y, float z);
// A turn of theta about an axis through the origin; identity for a zero axis.
D3DMATRIX RotationMatrix(D3DVECTOR axis, float theta);
// The inverse of a matrix whose last column is (0, 0, 0, 1); identity when
// it is singular.
D3DMATRIX AffineInverse(const D3DMATRIX& m);
D3DVECTOR TransformPoint(D3DVECTOR v, const D3DMATRIX& m);
D3DVECTOR TransformDirection(D3DVECTOR v, const D3DMATRIX& m);

// A camera at 'from' looking at 'at', with 'up' as near to up as it can be
// and a roll about the view direction.
D3DMATRIX ViewMatrix(D3DVECTOR from, D3DVECTOR at, D3DVECTOR up, float roll);
// A square perspective projection with the given field of view.
D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fieldOfView);

}  // namespace plat
