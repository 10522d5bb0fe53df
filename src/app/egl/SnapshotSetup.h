#pragma once
// The application object a snapshot renders with: the settings, paths and
// content list a run would see, built without writing anything.
class CApplication;

// `entry` >= 0 starts at that position (out of range gives 0, as LastNum
// does); -1 starts where the settings' LastNum starts a run.
CApplication* CreateSnapshotApplication(int entry);
void DestroySnapshotApplication(CApplication* app);
