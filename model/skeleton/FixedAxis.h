#pragma once
// Bones that may only twist about one axis of their own (PMX bone flag 0x0400), such as the twist
// bones of arms: the axis in model space, and how a motion's rotation becomes a turn about it.
#include <bit>
#include <cstdint>

#include "core/Math.h"

namespace Vesma {

/// The model-space fixed axis of a bone from the axis stored in the file: z negated like every
/// vector of the file, then normalised. A zero axis, or one with a component that is not finite,
/// gives the zero vector.
Math::vec3 FixedAxisFromFile(const Math::vec3& fileAxis);

/// `rotation` reduced to a turn about `axis` (unit, or zero): read as an axis and an angle, it
/// gives its angle to a turn about `axis`, negated when its own axis points against `axis` (a
/// negative dot product). Whatever it turns about the other axes is dropped, so a rotation's
/// whole angle goes to the fixed axis however far its own axis leans from it. A zero `axis`
/// allows no turn at all: the result is identity.
///
/// Costs a square root and no trigonometry: with rotation = (n sin(a/2), cos(a/2)) the turn is
/// (±axis |n sin(a/2)|, cos(a/2)).
inline Math::quat ReduceToFixedAxis(const Math::quat& rotation, const Math::vec3& axis) {
    if (Math::Dot(axis, axis) == 0.0f) return Math::quat::Identity();
    const Math::vec3 v{rotation.x, rotation.y, rotation.z};
    const float halfSine = Math::Length(v);
    // The sign goes in as a bit rather than through a branch: from one bone to the next it is as
    // good as random, and a mispredicted branch costs more than the rest of the reduction.
    const std::uint32_t against = static_cast<std::uint32_t>(Math::Dot(v, axis) < 0.0f) << 31;
    const float signedHalfSine = std::bit_cast<float>(std::bit_cast<std::uint32_t>(halfSine) ^ against);
    return {axis.x * signedHalfSine, axis.y * signedHalfSine, axis.z * signedHalfSine, rotation.w};
}

}  // namespace Vesma
