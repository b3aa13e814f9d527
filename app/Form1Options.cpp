// The settings dialog, opened with F10, and applying what it changed to the
// running monitor.
#include "app/TForm1.h"

void TForm1::Optionen1Click() {
  // The settings dialog is not built yet.
}
