// The display service over X11 RandR (Linux product): the three display calls answered from
// the default screen's outputs through XCB. Only X11 and RandR knowledge belongs here.
#include "X11Display.h"

#include "../DeviceRecord.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A reply that XCB allocated; freed with free().
struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// Collects the reply of a cookie; an X error or a broken connection gives null. Errors are
// taken here so that none waits in the event queue.
template <typename T, typename Cookie>
XcbReply<T> Collect(T* (*replyFunction)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                    xcb_connection_t* connection, Cookie cookie) {
  xcb_generic_error_t* error = nullptr;
  XcbReply<T> reply(replyFunction(connection, cookie, &error));
  std::free(error);
  return reply;
}

struct ModeInfo {
  xcb_randr_mode_t Id = XCB_NONE;
  std::uint16_t Width = 0;   // pixels, as the mode is scanned out (before rotation)
  std::uint16_t Height = 0;  // pixels
  double RefreshHz = 0;      // from dot clock and totals, unrounded; 0 when the timings give none
  bool Progressive = true;   // neither interlaced nor double-scan
};

struct CrtcState {
  xcb_randr_crtc_t Id = XCB_NONE;
  std::int16_t X = 0;  // position on the screen, pixels
  std::int16_t Y = 0;
  xcb_randr_mode_t Mode = XCB_NONE;
  std::uint16_t Rotation = XCB_RANDR_ROTATION_ROTATE_0;
  std::vector<xcb_randr_output_t> Outputs;
  // The panning area and its tracking and borders, as the server gave them; a width of 0
  // means no panning (also on servers before RandR 1.3, which have none).
  xcb_randr_get_panning_reply_t Panning{};
};

// One device: an output of the default screen that is connected or drives a CRTC.
struct Device {
  xcb_randr_output_t Output = XCB_NONE;
  std::string Name;         // the output's name, bytes
  std::string Description;  // the name of the provider driving it, or the server's vendor
  DWORD StateFlags = 0;
  const CrtcState* Crtc = nullptr;      // the CRTC it drives, if any
  std::vector<xcb_randr_mode_t> Modes;  // in the server's order
};

// The RandR state of the default screen: read in one pipelined batch, kept until a change.
struct ScreenState {
  bool Valid = false;
  // XWayland emulates RandR changes for the calling client only: the compositor owns the
  // displays, so a change there would be a success that changes nothing. It is known by its
  // XWAYLAND extension, or, before XWayland 23.1 brought that, by its outputs' names.
  bool Xwayland = false;
  xcb_timestamp_t ConfigTimestamp = XCB_CURRENT_TIME;
  std::uint16_t Width = 0;  // screen size, pixels
  std::uint16_t Height = 0;
  std::uint16_t MinWidth = 0;
  std::uint16_t MinHeight = 0;
  std::uint16_t MaxWidth = 0;
  std::uint16_t MaxHeight = 0;
  std::vector<ModeInfo> Modes;
  std::vector<CrtcState> Crtcs;
  std::vector<Device> Devices;
};

xcb_connection_t* Connection = nullptr;
bool ConnectionTried = false;
const xcb_screen_t* Screen = nullptr;
DWORD RootBitsPerPixel = 0;
std::string VendorString;
ScreenState State;
bool StateStale = false;  // a change was made since State was read

// RandR 1.4 brings providers; a server without them answers GetProviders with an error.
constexpr std::uint32_t RandrMajor = 1;
constexpr std::uint32_t RandrMinor = 4;
// The name of XWayland's extension, and how the names of its outputs begin.
constexpr std::string_view XwaylandName = "XWAYLAND";

bool ConnectionUsable() { return Connection != nullptr && xcb_connection_has_error(Connection) == 0; }

DWORD BitsPerPixelOfDepth(const xcb_setup_t* setup, std::uint8_t depth) {
  for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0; xcb_format_next(&formats)) {
    if (formats.data->depth == depth) return formats.data->bits_per_pixel;
  }
  return depth == 24 ? 32 : depth;
}

// Opens the connection at the first call of the run. False when there is no server, it went
// away, or it has no RandR.
bool Connect() {
  if (!ConnectionTried) {
    ConnectionTried = true;
    int screenNumber = 0;
    Connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(Connection) != 0) return false;
    const xcb_setup_t* setup = xcb_get_setup(Connection);
    auto screens = xcb_setup_roots_iterator(setup);
    for (; screens.rem > 0 && screenNumber > 0; --screenNumber) xcb_screen_next(&screens);
    if (screens.rem == 0) return false;
    Screen = screens.data;
    RootBitsPerPixel = BitsPerPixelOfDepth(setup, Screen->root_depth);
    VendorString.assign(xcb_setup_vendor(setup), static_cast<std::size_t>(xcb_setup_vendor_length(setup)));
  }
  if (!ConnectionUsable() || Screen == nullptr) return false;
  const xcb_query_extension_reply_t* randr = xcb_get_extension_data(Connection, &xcb_randr_id);
  return randr != nullptr && randr->present != 0;
}

constexpr std::uint16_t NotProgressive = XCB_RANDR_MODE_FLAG_INTERLACE | XCB_RANDR_MODE_FLAG_DOUBLE_SCAN;

// A value of zero or more to the nearest whole number, halves up, as lround would; here so
// that the program needs no maths library at run time, one shared library fewer to load.
std::uint32_t Rounded(double value) { return static_cast<std::uint32_t>(value + 0.5); }

double RefreshOf(const xcb_randr_mode_info_t& mode) {
  double lines = mode.vtotal;
  if ((mode.mode_flags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN) != 0) lines *= 2;
  if ((mode.mode_flags & XCB_RANDR_MODE_FLAG_INTERLACE) != 0) lines /= 2;
  if (mode.htotal == 0 || lines == 0) return 0;
  return static_cast<double>(mode.dot_clock) / (static_cast<double>(mode.htotal) * lines);
}

const ModeInfo* FindMode(xcb_randr_mode_t id) {
  for (const ModeInfo& mode : State.Modes) {
    if (mode.Id == id) return &mode;
  }
  return nullptr;
}

// Reads the whole state in two pipelined rounds: the screen's size range, resources, primary
// output, providers and whether the server is XWayland first, then every output, CRTC, CRTC
// panning and provider they name. The number of round trips does not grow with outputs or
// modes. The size range goes before the resources: it makes the server poll its driver, and
// a server that builds its outputs only when polled (Xephyr, also after every reset) would
// otherwise answer the current resources with none.
bool ReadState() {
  State = ScreenState{};
  if (!Connect()) return false;
  const xcb_window_t root = Screen->root;

  const auto versionCookie = xcb_randr_query_version(Connection, RandrMajor, RandrMinor);
  const auto rangeCookie = xcb_randr_get_screen_size_range(Connection, root);
  const auto resourcesCookie = xcb_randr_get_screen_resources_current(Connection, root);
  const auto primaryCookie = xcb_randr_get_output_primary(Connection, root);
  const auto geometryCookie = xcb_get_geometry(Connection, root);
  const auto providersCookie = xcb_randr_get_providers(Connection, root);
  const auto xwaylandCookie = xcb_query_extension(Connection, XwaylandName.size(), XwaylandName.data());
  const auto version = Collect(xcb_randr_query_version_reply, Connection, versionCookie);
  const auto range = Collect(xcb_randr_get_screen_size_range_reply, Connection, rangeCookie);
  const auto resources = Collect(xcb_randr_get_screen_resources_current_reply, Connection, resourcesCookie);
  const auto primary = Collect(xcb_randr_get_output_primary_reply, Connection, primaryCookie);
  const auto geometry = Collect(xcb_get_geometry_reply, Connection, geometryCookie);
  const auto providers = Collect(xcb_randr_get_providers_reply, Connection, providersCookie);
  const auto xwayland = Collect(xcb_query_extension_reply, Connection, xwaylandCookie);
  if (!version || !resources || !range || !geometry || !xwayland) return false;
  // Panning came with RandR 1.3; older servers answer GetPanning with an error.
  const bool hasPanning = version->major_version > 1 || version->minor_version >= 3;

  const xcb_randr_output_t* outputs = xcb_randr_get_screen_resources_current_outputs(resources.get());
  const int outputCount = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
  const xcb_randr_crtc_t* crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.get());
  const int crtcCount = xcb_randr_get_screen_resources_current_crtcs_length(resources.get());
  const xcb_randr_provider_t* providerIds = providers ? xcb_randr_get_providers_providers(providers.get()) : nullptr;
  const int providerCount = providers ? xcb_randr_get_providers_providers_length(providers.get()) : 0;
  const xcb_timestamp_t configTimestamp = resources->config_timestamp;

  std::vector<xcb_randr_get_output_info_cookie_t> outputCookies;
  for (int i = 0; i < outputCount; ++i) {
    outputCookies.push_back(xcb_randr_get_output_info(Connection, outputs[i], configTimestamp));
  }
  std::vector<xcb_randr_get_crtc_info_cookie_t> crtcCookies;
  for (int i = 0; i < crtcCount; ++i) {
    crtcCookies.push_back(xcb_randr_get_crtc_info(Connection, crtcs[i], configTimestamp));
  }
  std::vector<xcb_randr_get_panning_cookie_t> panningCookies;
  for (int i = 0; i < crtcCount && hasPanning; ++i) {
    panningCookies.push_back(xcb_randr_get_panning(Connection, crtcs[i]));
  }
  std::vector<xcb_randr_get_provider_info_cookie_t> providerCookies;
  for (int i = 0; i < providerCount; ++i) {
    providerCookies.push_back(xcb_randr_get_provider_info(Connection, providerIds[i], configTimestamp));
  }

  State.Xwayland = xwayland->present != 0;
  State.ConfigTimestamp = configTimestamp;
  State.Width = geometry->width;
  State.Height = geometry->height;
  State.MinWidth = range->min_width;
  State.MinHeight = range->min_height;
  State.MaxWidth = range->max_width;
  State.MaxHeight = range->max_height;
  const xcb_randr_mode_info_t* modes = xcb_randr_get_screen_resources_current_modes(resources.get());
  const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
  for (int i = 0; i < modeCount; ++i) {
    State.Modes.push_back({modes[i].id, modes[i].width, modes[i].height, RefreshOf(modes[i]),
                           (modes[i].mode_flags & NotProgressive) == 0});
  }

  // Every reply is collected, even after a failure, so that none is left behind.
  bool complete = true;
  for (int i = 0; i < crtcCount; ++i) {
    const auto crtc = Collect(xcb_randr_get_crtc_info_reply, Connection, crtcCookies[i]);
    if (!crtc) {
      complete = false;
      continue;
    }
    const xcb_randr_output_t* crtcOutputs = xcb_randr_get_crtc_info_outputs(crtc.get());
    State.Crtcs.push_back({crtcs[i], crtc->x, crtc->y, crtc->mode, crtc->rotation,
                           {crtcOutputs, crtcOutputs + xcb_randr_get_crtc_info_outputs_length(crtc.get())}});
  }
  for (std::size_t i = 0; i < panningCookies.size(); ++i) {
    const auto panning = Collect(xcb_randr_get_panning_reply, Connection, panningCookies[i]);
    if (!panning) {
      complete = false;
    } else if (i < State.Crtcs.size() && panning->width > 0 && panning->height > 0) {
      State.Crtcs[i].Panning = *panning;
    }
  }
  struct ProviderName {
    std::vector<xcb_randr_output_t> Outputs;
    std::string Name;
  };
  std::vector<ProviderName> providerNames;
  for (int i = 0; i < providerCount; ++i) {
    const auto provider = Collect(xcb_randr_get_provider_info_reply, Connection, providerCookies[i]);
    if (!provider) continue;
    const xcb_randr_output_t* providerOutputs = xcb_randr_get_provider_info_outputs(provider.get());
    providerNames.push_back(
        {{providerOutputs, providerOutputs + xcb_randr_get_provider_info_outputs_length(provider.get())},
         {xcb_randr_get_provider_info_name(provider.get()),
          static_cast<std::size_t>(xcb_randr_get_provider_info_name_length(provider.get()))}});
  }
  for (int i = 0; i < outputCount; ++i) {
    const auto output = Collect(xcb_randr_get_output_info_reply, Connection, outputCookies[i]);
    if (!output) {
      complete = false;
      continue;
    }
    if (output->connection != XCB_RANDR_CONNECTION_CONNECTED && output->crtc == XCB_NONE) continue;
    Device device;
    device.Output = outputs[i];
    device.Name.assign(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(output.get())),
                       static_cast<std::size_t>(xcb_randr_get_output_info_name_length(output.get())));
    if (device.Name.rfind(XwaylandName, 0) == 0) State.Xwayland = true;
    device.Description = VendorString;
    for (const ProviderName& provider : providerNames) {
      if (std::find(provider.Outputs.begin(), provider.Outputs.end(), outputs[i]) != provider.Outputs.end()) {
        device.Description = provider.Name;
        break;
      }
    }
    for (const CrtcState& crtc : State.Crtcs) {
      if (crtc.Id == output->crtc) device.Crtc = &crtc;
    }
    if (device.Crtc != nullptr && device.Crtc->Mode != XCB_NONE) device.StateFlags |= DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
    if (primary && primary->output != XCB_NONE && primary->output == outputs[i]) {
      device.StateFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
    }
    const xcb_randr_mode_t* outputModes = xcb_randr_get_output_info_modes(output.get());
    device.Modes.assign(outputModes, outputModes + xcb_randr_get_output_info_modes_length(output.get()));
    State.Devices.push_back(std::move(device));
  }
  if (!complete || !ConnectionUsable()) {
    State = ScreenState{};
    return false;
  }
  if (!primary || primary->output == XCB_NONE) {
    for (Device& device : State.Devices) {
      if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0) {
        device.StateFlags |= DISPLAY_DEVICE_PRIMARY_DEVICE;
        break;
      }
    }
  }
  State.Valid = true;
  return true;
}

// The cached state, read when there is none or a change has made it stale; null when the
// server cannot be read. State read whole answers every query until a change, so a listing
// never mixes what was read with a failure and only the calls that need the server fail.
// After a change only a fresh read will do: what was read before may no longer be true.
const ScreenState* CurrentState() {
  if (State.Valid && !StateStale) return &State;
  StateStale = false;
  if ((!ConnectionTried || ConnectionUsable()) && ReadState()) return &State;
  State = ScreenState{};
  return nullptr;
}

// The device a service call names: an empty or absent name means the primary display. A
// name is compared as it fits the record, at most 32 bytes.
const Device* FindDevice(LPCSTR deviceName) {
  const ScreenState* state = CurrentState();
  if (state == nullptr) return nullptr;
  if (deviceName == nullptr || deviceName[0] == '\0') {
    for (const Device& device : state->Devices) {
      if ((device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE) != 0) return &device;
    }
    return nullptr;
  }
  const std::string_view wanted(deviceName, strnlen(deviceName, sizeof DisplayDeviceShortA::DeviceName + 1));
  for (const Device& device : state->Devices) {
    if (std::string_view(device.Name).substr(0, sizeof DisplayDeviceShortA::DeviceName) == wanted) return &device;
  }
  return nullptr;
}

bool Rotated(std::uint16_t rotation) {
  return (rotation & (XCB_RANDR_ROTATION_ROTATE_90 | XCB_RANDR_ROTATION_ROTATE_270)) != 0;
}

// A mode's size on the desktop: width and height swapped on a CRTC turned by 90 or 270
// degrees. Listing, catalogue and requests all use this orientation.
struct Size {
  int Width = 0;  // pixels
  int Height = 0;
};
Size OnDesktop(const ModeInfo& mode, std::uint16_t rotation) {
  return Rotated(rotation) ? Size{mode.Height, mode.Width} : Size{mode.Width, mode.Height};
}

std::uint16_t RotationOf(const Device& device) {
  return device.Crtc != nullptr ? device.Crtc->Rotation : std::uint16_t{XCB_RANDR_ROTATION_ROTATE_0};
}

void FillMode(DEVMODEA& record, const ModeInfo& mode, std::uint16_t rotation) {
  const Size size = OnDesktop(mode, rotation);
  record.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
  record.dmBitsPerPel = RootBitsPerPixel;
  record.dmPelsWidth = static_cast<DWORD>(size.Width);
  record.dmPelsHeight = static_cast<DWORD>(size.Height);
  record.dmDisplayFlags = 0;
  record.dmDisplayFrequency = Rounded(mode.RefreshHz);
}

// Sends a request and waits for the server's verdict on it.
bool Checked(xcb_void_cookie_t cookie) {
  xcb_generic_error_t* error = xcb_request_check(Connection, cookie);
  const bool ok = error == nullptr;
  std::free(error);
  return ok && ConnectionUsable();
}

bool SetCrtc(const CrtcState& crtc, xcb_randr_mode_t mode, const std::vector<xcb_randr_output_t>& outputs) {
  const auto cookie = xcb_randr_set_crtc_config(Connection, crtc.Id, XCB_CURRENT_TIME, State.ConfigTimestamp,
                                                crtc.X, crtc.Y, mode, crtc.Rotation,
                                                static_cast<std::uint32_t>(outputs.size()), outputs.data());
  const auto reply = Collect(xcb_randr_set_crtc_config_reply, Connection, cookie);
  return reply && reply->status == XCB_RANDR_SET_CONFIG_SUCCESS;
}

// The physical size follows the pixel size at the screen's own resolution.
bool SetScreenSize(std::uint16_t width, std::uint16_t height) {
  const auto millimetres = [](std::uint16_t pixels, std::uint16_t screenPixels, std::uint16_t screenMillimetres) {
    if (screenPixels == 0) return std::uint32_t{0};
    return Rounded(double(pixels) * screenMillimetres / screenPixels);
  };
  return Checked(xcb_randr_set_screen_size_checked(
      Connection, Screen->root, width, height,
      millimetres(width, Screen->width_in_pixels, Screen->width_in_millimeters),
      millimetres(height, Screen->height_in_pixels, Screen->height_in_millimeters)));
}

bool SetPanning(const CrtcState& crtc) {
  const xcb_randr_get_panning_reply_t& p = crtc.Panning;
  const auto cookie = xcb_randr_set_panning(Connection, crtc.Id, XCB_CURRENT_TIME, p.left, p.top, p.width, p.height,
                                            p.track_left, p.track_top, p.track_width, p.track_height, p.border_left,
                                            p.border_top, p.border_right, p.border_bottom);
  const auto reply = Collect(xcb_randr_set_panning_reply, Connection, cookie);
  return reply && reply->status == XCB_RANDR_SET_CONFIG_SUCCESS;
}

bool HasPanning(const CrtcState& crtc) { return crtc.Panning.width > 0 && crtc.Panning.height > 0; }

// The right and bottom edges a CRTC needs the screen to reach, showing a mode of this size
// on the desktop: its panning area as well, where it pans.
Size ScreenNeeded(const CrtcState& crtc, Size shown) {
  Size needed{crtc.X + shown.Width, crtc.Y + shown.Height};
  if (HasPanning(crtc)) {
    needed.Width = std::max(needed.Width, crtc.Panning.left + crtc.Panning.width);
    needed.Height = std::max(needed.Height, crtc.Panning.top + crtc.Panning.height);
  }
  return needed;
}

// Gives the device's CRTC the new mode at the same position, rotation and panning, with the
// screen resized to hold every CRTC and panning area, as xrandr --mode does: a CRTC that
// would not fit the new size is switched off before the screen shrinks, and the screen grows
// before a CRTC needs the room. A refused step puts back what the earlier steps changed.
LONG ApplyMode(const Device& device, const ModeInfo& mode) {
  const CrtcState& target = *device.Crtc;
  const ModeInfo* current = FindMode(target.Mode);
  if (current == nullptr) return DISP_CHANGE_FAILED;
  const Size shown = OnDesktop(mode, target.Rotation);
  // Panning keeps its area; a mode larger than the area would have to change it.
  if (HasPanning(target) && (shown.Width > target.Panning.width || shown.Height > target.Panning.height)) {
    return DISP_CHANGE_FAILED;
  }
  Size screen{State.MinWidth, State.MinHeight};
  for (const CrtcState& crtc : State.Crtcs) {
    if (crtc.Mode == XCB_NONE) continue;
    const ModeInfo* own = FindMode(crtc.Mode);
    if (own == nullptr) return DISP_CHANGE_FAILED;
    const Size needed = ScreenNeeded(crtc, &crtc == &target ? shown : OnDesktop(*own, crtc.Rotation));
    screen.Width = std::max(screen.Width, needed.Width);
    screen.Height = std::max(screen.Height, needed.Height);
  }
  if (screen.Width > State.MaxWidth || screen.Height > State.MaxHeight) return DISP_CHANGE_FAILED;
  const bool resize = screen.Width != State.Width || screen.Height != State.Height;
  const Size before = ScreenNeeded(target, OnDesktop(*current, target.Rotation));
  const bool targetOff = resize && (before.Width > screen.Width || before.Height > screen.Height);

  xcb_grab_server(Connection);
  bool ok = true;
  bool switchedOff = false;
  bool resized = false;
  bool set = false;
  if (targetOff) ok = switchedOff = SetCrtc(target, XCB_NONE, {});
  if (ok && resize) {
    ok = resized = SetScreenSize(static_cast<std::uint16_t>(screen.Width), static_cast<std::uint16_t>(screen.Height));
  }
  if (ok) ok = set = SetCrtc(target, mode.Id, target.Outputs);
  // Setting a CRTC may clip its panning area to the mode; the area is given back whole.
  if (ok && HasPanning(target)) ok = SetPanning(target);
  if (!ok) {
    // Off first, so that the old mode finds the old screen size whichever way it changed.
    if (set && resized) SetCrtc(target, XCB_NONE, {});
    if (resized) SetScreenSize(State.Width, State.Height);
    if (set || switchedOff) SetCrtc(target, target.Mode, target.Outputs);
    if (set && HasPanning(target)) SetPanning(target);
  }
  xcb_ungrab_server(Connection);
  xcb_flush(Connection);
  return ok ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

// The better of two modes of the requested size for a display now refreshing at refreshHz:
// progressive before interlaced or double-scan, then the refresh nearest (an exact match
// first), then the server's order.
bool Better(const ModeInfo& mode, const ModeInfo& chosen, double refreshHz) {
  if (mode.Progressive != chosen.Progressive) return mode.Progressive;
  return std::fabs(mode.RefreshHz - refreshHz) < std::fabs(chosen.RefreshHz - refreshHz);
}

LONG ChangeMode(const Device& device, const DEVMODEA& request) {
  if (device.Crtc == nullptr || device.Crtc->Mode == XCB_NONE) return DISP_CHANGE_FAILED;
  if ((request.dmFields & DM_BITSPERPEL) != 0 && request.dmBitsPerPel != RootBitsPerPixel) return DISP_CHANGE_BADMODE;
  const ModeInfo* current = FindMode(device.Crtc->Mode);
  if (current == nullptr) return DISP_CHANGE_FAILED;
  const std::uint16_t rotation = device.Crtc->Rotation;
  const Size currentSize = OnDesktop(*current, rotation);
  const DWORD width = (request.dmFields & DM_PELSWIDTH) != 0 ? request.dmPelsWidth : DWORD(currentSize.Width);
  const DWORD height = (request.dmFields & DM_PELSHEIGHT) != 0 ? request.dmPelsHeight : DWORD(currentSize.Height);
  // A caller that starts from the current mode's record carries its rounded refresh over:
  // that number means "as now", and the current refresh is kept exactly (59.94 Hz, not 60).
  const bool otherRefresh = (request.dmFields & DM_DISPLAYFREQUENCY) != 0 &&
                            request.dmDisplayFrequency != Rounded(current->RefreshHz);
  const double refreshHz = otherRefresh ? double(request.dmDisplayFrequency) : current->RefreshHz;
  const ModeInfo* chosen = nullptr;
  for (xcb_randr_mode_t id : device.Modes) {
    const ModeInfo* mode = FindMode(id);
    if (mode == nullptr) continue;
    const Size size = OnDesktop(*mode, rotation);
    if (DWORD(size.Width) != width || DWORD(size.Height) != height) continue;
    if (chosen == nullptr || Better(*mode, *chosen, refreshHz)) chosen = mode;
  }
  if (chosen == nullptr) return DISP_CHANGE_BADMODE;
  return ApplyMode(device, *chosen);
}

}  // namespace

namespace x11 {

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD deviceNumber, DisplayDeviceShortA* record, DWORD) {
  // A named device would ask for its monitors, which RandR does not tell apart from outputs.
  if (device != nullptr || record == nullptr) return 0;
  const ScreenState* state = CurrentState();
  if (state == nullptr || deviceNumber >= state->Devices.size()) return 0;
  const Device& found = state->Devices[deviceNumber];
  FillDeviceRecord(*record, found.Name, found.Description, found.StateFlags);
  return 1;
}

BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNumber, DEVMODEA* mode) {
  if (mode == nullptr) return 0;
  const Device* device = FindDevice(deviceName);
  if (device == nullptr) return 0;
  if (modeNumber == ENUM_CURRENT_SETTINGS) {
    if (device->Crtc == nullptr || device->Crtc->Mode == XCB_NONE) return 0;
    const ModeInfo* current = FindMode(device->Crtc->Mode);
    if (current == nullptr) return 0;
    FillMode(*mode, *current, device->Crtc->Rotation);
    mode->dmFields |= DM_POSITION;
    mode->dmPosition = {device->Crtc->X, device->Crtc->Y};
    return 1;
  }
  if (modeNumber >= device->Modes.size()) return 0;
  const ModeInfo* found = FindMode(device->Modes[modeNumber]);
  if (found == nullptr) return 0;
  FillMode(*mode, *found, RotationOf(*device));
  return 1;
}

LONG ChangeDisplaySettingsExA(LPCSTR deviceName, DEVMODEA* mode, HWND, DWORD flags, LPVOID) {
  const Device* device = FindDevice(deviceName);
  if (device == nullptr) return DISP_CHANGE_FAILED;
  LONG result = DISP_CHANGE_BADPARAM;
  if (State.Xwayland && (mode != nullptr || (flags & CDS_SET_PRIMARY) != 0)) {
    result = DISP_CHANGE_FAILED;
  } else if (mode != nullptr) {
    result = ChangeMode(*device, *mode);
  } else if ((flags & CDS_SET_PRIMARY) != 0) {
    result = Checked(xcb_randr_set_output_primary_checked(Connection, Screen->root, device->Output))
                 ? DISP_CHANGE_SUCCESSFUL
                 : DISP_CHANGE_FAILED;
  }
  // Whatever the server now holds is read at the next query.
  StateStale = true;
  return result;
}

}  // namespace x11
