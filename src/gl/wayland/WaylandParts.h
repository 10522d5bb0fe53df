#pragma once
// What the Wayland session's files ask of one another.
#include <memory>

#include "gl/wayland/WaylandSession.h"

// WaylandSurfaces.cpp
std::unique_ptr<WaylandSurface> CreateSurface(WaylandOutput* output);
void DestroySurface(std::unique_ptr<WaylandSurface>& surface);
// Once the output has said all it has to say (and again at each change).
void OutputDone(WaylandOutput& output);
void ForgetOutput(WaylandOutput& output);
WaylandSurface* OurSurface(wl_surface* surface);

// WaylandOutputs.cpp
void AddOutput(wl_registry* registry, uint32_t name, uint32_t version);
// False when the global was not an output of ours.
bool RemoveOutput(uint32_t name);

// WaylandSeat.cpp
void BindSeat(wl_registry* registry, uint32_t name, uint32_t version);
