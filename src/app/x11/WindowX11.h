#pragma once
// The X11 window layer, one entry of the display systems' table.

// Opens the display, creates the GL window and runs the render loop; the
// loop's exit code, 1 when there is no display or window.
int RunX11RenderLoop();
void CloseX11Window();
