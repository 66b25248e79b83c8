#pragma once

namespace Platform {

// True when a compositing manager owns the X11 display of this process, so
// that transparent window areas really show what lies below. Only meaningful
// for the X11 platform; the X library is loaded at run time so that nothing
// links against it.
bool compositorRunning();

} // namespace Platform
