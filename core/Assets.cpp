#include "core/Assets.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE declares a global function, so it cannot be used inside a namespace.
static void initAssetsResource() {
    Q_INIT_RESOURCE(assets);
}

namespace vel {

void initAssets() {
    static std::once_flag once;
    std::call_once(once, initAssetsResource);
}

} // namespace vel
