// The seat's keyboard and pointer, followed as devices come and go, and
// what they do told to the window layer.
#include <linux/input-event-codes.h>
#include <unistd.h>

#include <algorithm>

#include "gl/wayland/WaylandParts.h"

namespace {

// The version whose events our listeners know.
constexpr uint32_t kSeatVersion = 5;

WaylandSession& g_session = TheWaylandSession();

// Surface-local coordinates are logical, as the outputs' places are: the
// pointer rule's distances do not grow with the scale.
void ReportPointer(wl_fixed_t surfaceX, wl_fixed_t surfaceY, bool entered) {
  WaylandSession& s = g_session;
  if (s.input == nullptr) return;
  int x = wl_fixed_to_int(surfaceX);
  int y = wl_fixed_to_int(surfaceY);
  if (s.pointerOn != nullptr && s.pointerOn->output != nullptr) {
    x += s.pointerOn->output->x;
    y += s.pointerOn->output->y;
  }
  s.input->OnPointer(x, y, entered);
}

void PointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  WaylandSession& s = g_session;
  s.pointerOn = OurSurface(surface);
  // No cursor over a screensaver.
  if (s.TakesInput()) wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  ReportPointer(x, y, true);
}

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) { g_session.pointerOn = nullptr; }

void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) { ReportPointer(x, y, false); }

void PointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
  // The wheel comes as axis events; extra buttons end nothing.
  if (state != WL_POINTER_BUTTON_STATE_PRESSED || g_session.input == nullptr) return;
  if (button == BTN_LEFT || button == BTN_RIGHT || button == BTN_MIDDLE) g_session.input->OnButton();
}

void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void PointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {PointerEnter,      PointerLeave,      PointerMotion,
                                              PointerButton,     PointerAxis,       PointerFrame,
                                              PointerAxisSource, PointerAxisStop,   PointerAxisDiscrete,
                                              PointerAxisValue120};

void KeyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}

// A press ends the run; so does a release, since a press seen here has
// ended it already.
void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {
  if (g_session.input != nullptr) g_session.input->OnKey();
}

void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void KeyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeat};

// release where the seat has it, else the compositor keeps the object for
// as long as we are connected: a mouse that sleeps and wakes would leak one
// each time.
template <typename Device>
void Let(Device*& device, uint32_t releaseSince, void (*release)(Device*), void (*destroy)(Device*)) {
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(device)) >= releaseSince) {
    release(device);
  } else {
    destroy(device);
  }
  device = nullptr;
}

// The seat gains a pointer only when a device appears (a mouse plugged in,
// a virtual pointer made): followed as it comes and goes.
void SeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
  WaylandSession& s = g_session;
  const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (hasPointer && s.pointer == nullptr) {
    s.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(s.pointer, &kPointerListener, nullptr);
  } else if (!hasPointer && s.pointer != nullptr) {
    Let(s.pointer, WL_POINTER_RELEASE_SINCE_VERSION, wl_pointer_release, wl_pointer_destroy);
    s.pointerOn = nullptr;
  }
  if (hasKeyboard && s.keyboard == nullptr) {
    s.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(s.keyboard, &kKeyboardListener, nullptr);
  } else if (!hasKeyboard && s.keyboard != nullptr) {
    Let(s.keyboard, WL_KEYBOARD_RELEASE_SINCE_VERSION, wl_keyboard_release, wl_keyboard_destroy);
  }
}

void SeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

}  // namespace

void BindSeat(wl_registry* registry, uint32_t name, uint32_t version) {
  WaylandSession& s = g_session;
  s.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
  wl_seat_add_listener(s.seat, &kSeatListener, nullptr);
}
