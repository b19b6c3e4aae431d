// How the sky's images map to directions. The environment image is equirectangular: u turns once
// around the vertical axis (u = 1 - atan2(x, z) / 2pi, as the sky sphere's texture coordinates
// run), v runs from straight up (0) to straight down (1). Cube faces are in the order +x, -x, +y,
// -y, +z, -z, each seen from inside with its texel rows running downwards, as sampling a cube
// with a direction reads them.
#ifndef TAVRIN_SKY_MAPPING_GLSL
#define TAVRIN_SKY_MAPPING_GLSL

const float kSkyPi = 3.14159265358979;

vec2 EquirectUv(vec3 dir) {
    // The image's centre column looks along -z, its left and right edges meet along +z.
    const float u = fract(-atan(dir.x, dir.z) / (2.0 * kSkyPi));
    const float v = acos(clamp(dir.y, -1.0, 1.0)) / kSkyPi;
    return vec2(u, v);
}

/// Direction through the point `uv` (0 .. 1 across the face, texel centres at (i + 0.5) / size)
/// of cube face `face`.
vec3 CubeFaceDirection(uint face, vec2 uv) {
    const float s = uv.x * 2.0 - 1.0, t = uv.y * 2.0 - 1.0;
    vec3 d;
    switch (face) {
    case 0u: d = vec3(1.0, -t, -s); break;
    case 1u: d = vec3(-1.0, -t, s); break;
    case 2u: d = vec3(s, 1.0, t); break;
    case 3u: d = vec3(s, -1.0, -t); break;
    case 4u: d = vec3(s, -t, 1.0); break;
    default: d = vec3(-s, -t, -1.0); break;
    }
    return normalize(d);
}

#endif
