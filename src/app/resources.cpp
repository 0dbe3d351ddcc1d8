#include "app/resources.h"

#include <QtGlobal>

#include <mutex>

static void initResourcesOnce() {
    Q_INIT_RESOURCE(resources);
}

namespace dw {

void ensureResources() {
    static std::once_flag once;
    std::call_once(once, initResourcesOnce);
}

}  // namespace dw
