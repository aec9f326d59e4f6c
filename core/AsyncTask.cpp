#include "core/AsyncTask.h"

namespace vel {

QThreadPool& workPool() {
    static QThreadPool pool;
    return pool;
}

} // namespace vel
