#include "hub/Application.h"
#include "hub/RenderHost.h"

CApplication* g_application = nullptr;
CRenderHost* g_renderHost = nullptr;
