#pragma once
// The windows the session makes by role.

namespace vel {

class Session;

void registerWindows(Session& session);

} // namespace vel
