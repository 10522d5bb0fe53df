// The compositor's outputs as they come, change and go.
#include <algorithm>

#include "gl/wayland/WaylandParts.h"

namespace {

// The version whose events the listener knows.
constexpr uint32_t kOutputVersion = 4;

void Geometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*, const char*,
              int32_t) {
  // Far enough for any layout, near enough that adding a surface position
  // cannot overflow.
  constexpr int kMaxPlace = 1 << 24;
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->x = std::clamp(x, -kMaxPlace, kMaxPlace);
  output->y = std::clamp(y, -kMaxPlace, kMaxPlace);
}

void Mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->modeWidth = width;
  output->modeHeight = height;
}

void Done(void* data, wl_output*) {
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->done = true;
  OutputDone(*output);
}

void Scale(void* data, wl_output*, int32_t factor) {
  // Beyond any screen made; a hostile value would make buffers that do not fit.
  constexpr int kMaxScale = 8;
  static_cast<WaylandOutput*>(data)->scale = std::clamp(factor, 1, kMaxScale);
}

void Name(void* data, wl_output*, const char* name) {
  static_cast<WaylandOutput*>(data)->name = name != nullptr ? name : "";
}

void Description(void*, wl_output*, const char*) {}

const wl_output_listener kListener = {Geometry, Mode, Done, Scale, Name, Description};

}  // namespace

void AddOutput(wl_registry* registry, uint32_t name, uint32_t version) {
  auto output = std::make_unique<WaylandOutput>();
  output->global = name;
  output->output = static_cast<wl_output*>(
      wl_registry_bind(registry, name, &wl_output_interface, std::min(version, kOutputVersion)));
  wl_output_add_listener(output->output, &kListener, output.get());
  TheWaylandSession().outputs.push_back(std::move(output));
}

bool RemoveOutput(uint32_t name) {
  auto& outputs = TheWaylandSession().outputs;
  const auto it = std::find_if(outputs.begin(), outputs.end(), [name](const auto& o) { return o->global == name; });
  if (it == outputs.end()) return false;
  std::unique_ptr<WaylandOutput> output = std::move(*it);
  outputs.erase(it);
  ForgetOutput(*output);
  if (wl_output_get_version(output->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(output->output);
  } else {
    wl_output_destroy(output->output);
  }
  return true;
}
