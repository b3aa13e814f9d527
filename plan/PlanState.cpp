// The one instance of the process-wide plan state.
#include "plan/PlanState.h"

PlanState Plan;
