// Looking at an Xlib connection without sending a request.
#include "platform/X11Connection.h"

#include <poll.h>
#include <sys/socket.h>

#include <X11/Xlib.h>

namespace x11 {

bool connectionClosed(Display* display) {
  pollfd fd{ConnectionNumber(display), POLLIN, 0};
  if (::poll(&fd, 1, 0) <= 0) return false;
  if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
  char byte;
  return ::recv(fd.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

}  // namespace x11
