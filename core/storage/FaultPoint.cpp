#include "core/storage/FaultPoint.h"

#include <QByteArray>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace vel {

void faultPoint(const char* step) {
    // Read once: the environment does not change under a running program.
    static const QByteArray chosen = qgetenv("VELMORA_FAULT");
    if (!chosen.isEmpty() && std::strcmp(chosen.constData(), step) == 0)
        std::raise(SIGKILL);
}

} // namespace vel
