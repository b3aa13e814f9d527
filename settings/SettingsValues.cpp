// The one instance of the process-wide settings values.
//
// It starts zeroed (false, 0, empty); ReadSettings gives every value its
// default or the value from "Zova-Monitor.ini".
#include "settings/SettingsValues.h"

SettingsValues Settings;
