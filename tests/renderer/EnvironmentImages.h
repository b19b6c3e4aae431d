#pragma once
// Environment images for the sky's tests, made on the CPU: an equirectangular image whose every
// pixel holds a colour chosen from its direction, and the direction of a cube texel, both laid
// out as the sky's shaders lay them out (shaders/include/SkyMapping.glsl).
#include <cmath>
#include <cstdint>
#include <functional>

#include "Engine/TextureLoader/DecodedTexture.h"
#include "Engine/TextureLoader/HalfFloat.h"
#include "core/Math.h"

namespace RendererTest {

/// The direction pixel centre (column, row) of a `width` × `height` equirectangular image looks
/// along: u = (column + 0.5) / width turns about +y (u = 0.5 looks along -z), v from up to down.
inline Math::vec3 EquirectDirection(uint32_t column, uint32_t row, uint32_t width, uint32_t height) {
    const double u = (column + 0.5) / width, v = (row + 0.5) / height;
    const double azimuth = -2.0 * Math::kPi * u, polar = Math::kPi * v;
    return {float(std::sin(polar) * std::sin(azimuth)), float(std::cos(polar)), float(std::sin(polar) * std::cos(azimuth))};
}

/// Direction through the centre of texel (x, y) of face `face` (+x, -x, +y, -y, +z, -z) of a
/// cube with `size`-texel faces.
inline Math::vec3 CubeTexelDirection(uint32_t face, uint32_t x, uint32_t y, uint32_t size) {
    const float s = (x + 0.5f) / size * 2 - 1, t = (y + 0.5f) / size * 2 - 1;
    Math::vec3 d;
    switch (face) {
    case 0: d = {1, -t, -s}; break;
    case 1: d = {-1, -t, s}; break;
    case 2: d = {s, 1, t}; break;
    case 3: d = {s, -1, -t}; break;
    case 4: d = {s, -t, 1}; break;
    default: d = {-s, -t, -1}; break;
    }
    return Math::Normalize(d);
}

/// A half-float RGBA image, as the Radiance decoder gives it, of `colour(direction)`.
inline Engine::DecodedTexture EquirectImage(uint32_t width, uint32_t height, const std::function<Math::vec3(Math::vec3)>& colour) {
    Engine::DecodedTexture image;
    image.desc.dimension = Engine::TextureDimension::Texture2D;
    image.desc.width = width;
    image.desc.height = height;
    image.desc.depthOrArraySize = 1;
    image.desc.mipLevels = 1;
    image.desc.format = Engine::DxgiFormat::R16G16B16A16_Float;
    image.pixels.resize(size_t(width) * height * 8);
    auto* half = reinterpret_cast<uint16_t*>(image.pixels.data());
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t column = 0; column < width; ++column) {
            const Math::vec3 c = colour(EquirectDirection(column, row, width, height));
            uint16_t* p = half + (size_t(row) * width + column) * 4;
            p[0] = Engine::FloatToHalf(c.x);
            p[1] = Engine::FloatToHalf(c.y);
            p[2] = Engine::FloatToHalf(c.z);
            p[3] = Engine::FloatToHalf(1.0f);
        }
    image.subresources = {{image.pixels.data(), uint64_t(width) * 8, uint64_t(width) * height * 8}};
    return image;
}

}  // namespace RendererTest
