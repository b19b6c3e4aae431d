#pragma once
// Conversions between the row-vector matrices of core/Math.h and Bullet's transforms.
//
// A Math::mat4 acts on row vectors (v' = v * M) with the translation in the fourth row; a
// btTransform acts on column vectors (v' = basis * v + origin). The 3x3 part is therefore
// transposed on the way in and out, and the fourth row becomes the origin. Only the affine part
// of a matrix travels: the fourth column is taken to be (0, 0, 0, 1).
#include <LinearMath/btTransform.h>

#include "core/Math.h"

namespace Vesma {

inline btTransform ToBtTransform(const Math::mat4& m) {
    const btMatrix3x3 basis(m.m[0][0], m.m[1][0], m.m[2][0],  //
                            m.m[0][1], m.m[1][1], m.m[2][1],  //
                            m.m[0][2], m.m[1][2], m.m[2][2]);
    return btTransform(basis, btVector3(m.m[3][0], m.m[3][1], m.m[3][2]));
}

inline Math::mat4 FromBtTransform(const btTransform& t) {
    const btMatrix3x3& b = t.getBasis();
    const btVector3& o = t.getOrigin();
    return Math::mat4(b[0][0], b[1][0], b[2][0], 0.0f,  //
                      b[0][1], b[1][1], b[2][1], 0.0f,  //
                      b[0][2], b[1][2], b[2][2], 0.0f,  //
                      o.x(), o.y(), o.z(), 1.0f);
}

inline btVector3 ToBtVector(const Math::vec3& v) { return btVector3(v.x, v.y, v.z); }

}  // namespace Vesma
