#pragma once
// lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]: one
// frame of a run rendered without a window (app/egl).

struct SnapshotRequest {
  const char* output = nullptr;
  int entry = -1;  // -1: where the settings' LastNum starts a run
  double atSeconds = 0.0;
  int width = 1280;
  int height = 720;
};

inline constexpr int kMaxSnapshotSide = 8192;
inline constexpr double kMaxSnapshotSeconds = 86400.0;  // a day of stepped frames

// The picture, written to request.output; 0 when it is written.
int RunSnapshot(const SnapshotRequest& request);
