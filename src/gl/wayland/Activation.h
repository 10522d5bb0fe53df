#pragma once
// Keyboard focus for a full-screen toplevel: mutter gives a new window none
// of its own accord; where the compositor offers xdg-activation, a token
// for our own surface activates it.
struct WaylandSurface;
struct WaylandSession;

void BindActivation(WaylandSession& session, struct wl_registry* registry, unsigned name);
void RequestActivation(WaylandSurface& surface);
// Before the surface goes: a token still on its way is dropped.
void DropActivation(WaylandSurface& surface);
