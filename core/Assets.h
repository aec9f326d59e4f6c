#pragma once

namespace vel {

// Registers the compiled-in pictures and texts (":/..."). The resources live in a static library, so the
// linker drops them unless someone calls this; safe to call any number of times.
void initAssets();

} // namespace vel
