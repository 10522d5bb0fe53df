#pragma once
// The full-screen run's window over the virtual screen, a view of the scene
// on each monitor.

// Moves the scene window over the virtual screen as it is now and lays the
// scene's views on its monitors: at set-up and after every display change.
void LayOutScreen();
