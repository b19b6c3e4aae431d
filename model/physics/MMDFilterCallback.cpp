#include "model/physics/MMDFilterCallback.h"

#include <algorithm>

namespace Vesma {

bool MMDFilterCallback::needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const {
    const auto listed = [this](const btBroadphaseProxy* proxy) {
        return std::find(m_nonFilteredProxy.begin(), m_nonFilteredProxy.end(), proxy) != m_nonFilteredProxy.end();
    };
    if (listed(proxy0) || listed(proxy1)) {
        return true;
    }
    return (proxy0->m_collisionFilterGroup & proxy1->m_collisionFilterMask) != 0 &&
           (proxy1->m_collisionFilterGroup & proxy0->m_collisionFilterMask) != 0;
}

}  // namespace Vesma
