#pragma once
// The settings file read at start-up and saved at fixed points.
class CApplication;
// Reads every setting in the documented order (start-up, settings file exists).
void ReadSettings(CApplication* app);
// Writes all 18 keys; returns true (write results are not examined), or false
// without touching the file when it exists but cannot be opened for writing.
bool SaveSettings(CApplication* app);
