#pragma once
// The five windows the session makes by role.

namespace vel {

class Session;

void registerWindows(Session& session);

} // namespace vel
