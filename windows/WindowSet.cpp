#include "windows/WindowSet.h"

#include "ui/Session.h"
#include "windows/Form2.h"
#include "windows/FormB.h"
#include "windows/Govori.h"
#include "windows/KNIGA.h"
#include "windows/Katalog.h"
#include "windows/Popravka.h"

namespace vel {

namespace {
template <class W> void add(Session& session) {
    session.setWindowFactory(W::kRole, [](Session& s) { return std::make_unique<W>(s); });
}
} // namespace

void registerWindows(Session& session) {
    add<Govori>(session);
    add<FormB>(session);
    add<KNIGA>(session);
    add<Popravka>(session);
    add<Form2>(session);
    add<Katalog>(session);
}

} // namespace vel
