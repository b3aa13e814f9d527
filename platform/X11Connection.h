// What the platform layers' own Xlib connections share.
#pragma once

struct _XDisplay;

namespace x11 {

// True when the X server has closed the connection (logout, server crash).
// Xlib ends the process on any request over a dead connection, so no
// request may be sent then.
bool connectionClosed(_XDisplay* display);

}  // namespace x11
