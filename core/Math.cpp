#include "core/Math.h"


namespace Math {

quat QuaternionRollPitchYaw(float pitch, float yaw, float roll) {
    const quat qRoll = QuaternionRotationAxis({0, 0, 1}, roll);
    const quat qPitch = QuaternionRotationAxis({1, 0, 0}, pitch);
    const quat qYaw = QuaternionRotationAxis({0, 1, 0}, yaw);
    return qYaw * (qPitch * qRoll);
}

bool operator==(const mat4& a, const mat4& b) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (a.m[i][j] != b.m[i][j]) return false;
    return true;
}

mat4 Transpose(const mat4& a) {
    mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
    return r;
}

mat4 Inverse(const mat4& a) {
    const float* m = &a.m[0][0];
    float inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    mat4 r;
    float* out = &r.m[0][0];
    if (det == 0.0f) {
        for (int i = 0; i < 16; ++i) out[i] = 0.0f;
        return r;
    }
    const float invDet = 1.0f / det;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] * invDet;
    return r;
}

mat4 Translation(vec3 t) {
    mat4 r;
    r.SetTranslation(t);
    return r;
}

mat4 Scaling(vec3 s) {
    mat4 r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

mat4 RotationX(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}

mat4 RotationY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}

mat4 RotationZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

bool Decompose(const mat4& m, vec3& scale, quat& rotation, vec3& translation) {
    translation = m.Translation();
    vec3 rows[3] = {{m.m[0][0], m.m[0][1], m.m[0][2]}, {m.m[1][0], m.m[1][1], m.m[1][2]}, {m.m[2][0], m.m[2][1], m.m[2][2]}};
    scale = {Length(rows[0]), Length(rows[1]), Length(rows[2])};
    if (scale.x == 0.0f || scale.y == 0.0f || scale.z == 0.0f) {
        rotation = quat::Identity();
        return false;
    }
    for (int i = 0; i < 3; ++i) rows[i] = rows[i] / scale[i];
    // A mirrored basis cannot be a rotation: move the reflection into the scale.
    if (Dot(Cross(rows[0], rows[1]), rows[2]) < 0.0f) {
        scale.x = -scale.x;
        rows[0] = -rows[0];
    }
    mat4 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = rows[i][j];
    rotation = QuaternionFromMatrix(r);
    return true;
}

mat4 PerspectiveFovRH(float fovY, float aspect, float nearZ, float farZ) {
    const float h = std::cos(0.5f * fovY) / std::sin(0.5f * fovY);
    const float w = h / aspect;
    const float range = farZ / (nearZ - farZ);
    return {w, 0, 0, 0, 0, h, 0, 0, 0, 0, range, -1, 0, 0, range * nearZ, 0};
}

mat4 LookToRH(vec3 eye, vec3 direction, vec3 up) {
    const vec3 zAxis = Normalize(-direction);
    const vec3 xAxis = Normalize(Cross(up, zAxis));
    const vec3 yAxis = Cross(zAxis, xAxis);
    return {xAxis.x, yAxis.x, zAxis.x, 0,
            xAxis.y, yAxis.y, zAxis.y, 0,
            xAxis.z, yAxis.z, zAxis.z, 0,
            -Dot(xAxis, eye), -Dot(yAxis, eye), -Dot(zAxis, eye), 1};
}

mat4 LookAtRH(vec3 eye, vec3 focus, vec3 up) { return LookToRH(eye, focus - eye, up); }

vec4 Transform(vec4 v, const mat4& a) {
    const auto& m = a.m;
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0] + v.w * m[3][0],
            v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1] + v.w * m[3][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2] + v.w * m[3][2],
            v.x * m[0][3] + v.y * m[1][3] + v.z * m[2][3] + v.w * m[3][3]};
}

vec3 TransformCoord(vec3 v, const mat4& m) {
    const vec4 r = Transform(vec4(v, 1.0f), m);
    return {r.x / r.w, r.y / r.w, r.z / r.w};
}

mat4 MirrorZ(const mat4& in) {
    mat4 r = in;
    for (int j = 0; j < 4; ++j)
        if (j != 2) r.m[2][j] = -r.m[2][j];
    for (int i = 0; i < 4; ++i)
        if (i != 2) r.m[i][2] = -r.m[i][2];
    return r;
}

}  // namespace Math
