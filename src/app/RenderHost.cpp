#include "app/RenderHost.h"

CRenderHost* g_renderHost = nullptr;

CRenderHost::CRenderHost() : application(g_application) {
  if (application != nullptr) sampleCount = application->fsaaMode;
}
