#pragma once
// The broadphase filter of a model's physics world: bodies collide when each one's group is in
// the other's mask, except that the proxies in the "collide with everything" list (the ground
// plane) pass the filter with any body.
#include <vector>

#include <BulletCollision/BroadphaseCollision/btOverlappingPairCache.h>

namespace Vesma {

class MMDFilterCallback : public btOverlapFilterCallback {
public:
    ~MMDFilterCallback() override = default;

    /// True when either proxy is in the list; otherwise when (a.group & b.mask) != 0 and
    /// (b.group & a.mask) != 0.
    bool needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const override;

    /// Proxies that collide with everything. Not owned: they belong to the world's broadphase.
    std::vector<btBroadphaseProxy*> m_nonFilteredProxy;
};

}  // namespace Vesma
