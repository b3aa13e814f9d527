// A settings file that starts the notification feature itself again: the
// include check must refuse it.
#include "notifications/Notifications.h"
