#include "gl/wayland/Activation.h"

#include "gl/wayland/WaylandSession.h"
#include "xdg-activation-v1-client-protocol.h"

namespace {

void TokenDone(void* data, xdg_activation_token_v1* token, const char* name) {
  WaylandSurface& surface = *static_cast<WaylandSurface*>(data);
  xdg_activation_v1_activate(TheWaylandSession().activation, name, surface.surface);
  xdg_activation_token_v1_destroy(token);
  surface.activationToken = nullptr;
}

const xdg_activation_token_v1_listener kTokenListener = {TokenDone};

}  // namespace

void BindActivation(WaylandSession& session, wl_registry* registry, unsigned name) {
  if (session.activation == nullptr) {
    session.activation =
        static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
  }
}

void RequestActivation(WaylandSurface& surface) {
  WaylandSession& s = TheWaylandSession();
  if (s.activation == nullptr || surface.toplevel == nullptr || !s.TakesInput()) return;
  surface.activationToken = xdg_activation_v1_get_activation_token(s.activation);
  xdg_activation_token_v1_add_listener(surface.activationToken, &kTokenListener, &surface);
  xdg_activation_token_v1_set_surface(surface.activationToken, surface.surface);
  xdg_activation_token_v1_set_app_id(surface.activationToken, "lumisaver");
  xdg_activation_token_v1_commit(surface.activationToken);
}

void DropActivation(WaylandSurface& surface) {
  if (surface.activationToken != nullptr) xdg_activation_token_v1_destroy(surface.activationToken);
  surface.activationToken = nullptr;
}
