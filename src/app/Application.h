#pragma once
// Start-up and teardown of the hub record.
#include "hub/Application.h"

// Teardown in the fixed order: content list, network client (after Stop),
// log, paths, then the application object itself.
void DestroyApplication(CApplication* app);
