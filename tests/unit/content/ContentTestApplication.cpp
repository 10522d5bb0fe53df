// The content tests link the catalogue and the log, not the program's
// start-up: this hub keeps the field defaults and runs no start-up sequence.
#include "app/Application.h"

CApplication::CApplication(RunMode mode, NativeHandle handle) : instance(handle), runMode(mode) {}
