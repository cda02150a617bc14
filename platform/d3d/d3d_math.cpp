#include "platform/d3d/d3d_math.hpp"

#include <cmath>

namespace plat {

float Length(D3DVECTOR v) { return std::sqrt(Dot(v, v)); }

D3DVECTOR Normalize(D3DVECTOR v) {
  const float len = Length(v);
  if (len < 1e-12f) return {};
  return v * (1.0f / len);
}

D3DMATRIX IdentityMatrix() {
  D3DMATRIX m;
  for (int i = 0; i < 4; ++i) m.m[i][i] = 1.0f;
  return m;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

D3DMATRIX TranslationMatrix(float x, float y, float z) {
  D3DMATRIX m = IdentityMatrix();
  m.m[3][0] = x;
  m.m[3][1] = y;
  m.m[3][2] = z;
  return m;
}

D3DMATRIX ScalingMatrix(float x, float y, float z) {
  D3DMATRIX m;
  m.m[0][0] = x;
  m.m[1][1] = y;
  m.m[2][2] = z;
  m.m[3][3] = 1.0f;
  return m;
}

D3DMATRIX RotationMatrix(D3DVECTOR axis, float theta) {
  const D3DVECTOR a = Normalize(axis);
  if (a.x == 0.0f && a.y == 0.0f && a.z == 0.0f) return IdentityMatrix();
  const float c = std::cos(theta), s = std::sin(theta), t = 1.0f - c;
  D3DMATRIX m = IdentityMatrix();
  m.m[0][0] = t * a.x * a.x + c;
  m.m[0][1] = t * a.x * a.y + s * a.z;
  m.m[0][2] = t * a.x * a.z - s * a.y;
  m.m[1][0] = t * a.x * a.y - s * a.z;
  m.m[1][1] = t * a.y * a.y + c;
  m.m[1][2] = t * a.y * a.z + s * a.x;
  m.m[2][0] = t * a.x * a.z + s * a.y;
  m.m[2][1] = t * a.y * a.z - s * a.x;
  m.m[2][2] = t * a.z * a.z + c;
  return m;
}

D3DMATRIX AffineInverse(const D3DMATRIX& m) {
  const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
  const float d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
  const float g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
  const float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (std::fabs(det) < 1e-20f) return IdentityMatrix();
  const float k = 1.0f / det;
  D3DMATRIX r = IdentityMatrix();
  r.m[0][0] = (e * i - f * h) * k;
  r.m[0][1] = (c * h - b * i) * k;
  r.m[0][2] = (b * f - c * e) * k;
  r.m[1][0] = (f * g - d * i) * k;
  r.m[1][1] = (a * i - c * g) * k;
  r.m[1][2] = (c * d - a * f) * k;
  r.m[2][0] = (d * h - e * g) * k;
  r.m[2][1] = (b * g - a * h) * k;
  r.m[2][2] = (a * e - b * d) * k;
  const D3DVECTOR t{m.m[3][0], m.m[3][1], m.m[3][2]};
  for (int j = 0; j < 3; ++j) r.m[3][j] = -(t.x * r.m[0][j] + t.y * r.m[1][j] + t.z * r.m[2][j]);
  return r;
}

D3DVECTOR TransformPoint(D3DVECTOR v, const D3DMATRIX& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
}

D3DVECTOR TransformDirection(D3DVECTOR v, const D3DMATRIX& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0], v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

D3DMATRIX ViewMatrix(D3DVECTOR from, D3DVECTOR at, D3DVECTOR up, float roll) {
  const D3DVECTOR view = Normalize(at - from);
  if (Length(view) == 0.0f) return IdentityMatrix();
  // Up made perpendicular to the view; a parallel up falls back to the y,
  // then the z axis.
  D3DVECTOR u{};
  for (D3DVECTOR candidate : {up, Vec(0, 1, 0), Vec(0, 0, 1)}) {
    u = Normalize(candidate - view * Dot(candidate, view));
    if (Length(u) > 0.0f) break;
  }
  const D3DVECTOR right = Cross(u, view);
  D3DMATRIX m = IdentityMatrix();
  m.m[0][0] = right.x; m.m[0][1] = u.x; m.m[0][2] = view.x;
  m.m[1][0] = right.y; m.m[1][1] = u.y; m.m[1][2] = view.y;
  m.m[2][0] = right.z; m.m[2][1] = u.z; m.m[2][2] = view.z;
  m.m[3][0] = -Dot(from, right);
  m.m[3][1] = -Dot(from, u);
  m.m[3][2] = -Dot(from, view);
  if (roll != 0.0f) m = Multiply(m, RotationMatrix(Vec(0, 0, 1), -roll));
  return m;
}

D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fieldOfView) {
  D3DMATRIX m;
  const float s = std::sin(fieldOfView / 2.0f);
  if (std::fabs(farPlane - nearPlane) < 0.01f || std::fabs(s) < 0.01f) return IdentityMatrix();
  const float h = std::cos(fieldOfView / 2.0f) / s;
  const float q = farPlane / (farPlane - nearPlane);
  m.m[0][0] = h;
  m.m[1][1] = h;
  m.m[2][2] = q;
  m.m[2][3] = 1.0f;
  m.m[3][2] = -q * nearPlane;
  return m;
}

}  // namespace plat
