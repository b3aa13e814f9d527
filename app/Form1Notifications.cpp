// The notification indicator: the telephone button, its periodic check and
// the flashing of the task-bar entry.
#include "app/TForm1.h"

void TForm1::CheckBenachrichtigungen() {
  // The notification check comes with the notification store; until then
  // the feature is off (InitNotifications hides the telephone button).
}
