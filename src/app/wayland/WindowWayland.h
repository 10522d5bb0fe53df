#pragma once
// The Wayland window layer, one entry of the display systems' table.

// Creates the surfaces and the GL context and runs the render loop; the
// loop's exit code, 1 when there is no compositor or surface, 0 at once
// when another full-screen run holds the compositor.
int RunWaylandRenderLoop();
void CloseWaylandWindow();
