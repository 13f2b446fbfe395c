// Mutter's DisplayConfig interface over sd-bus (GNOME display service, Linux product): the
// calls, their argument encoding and the decoding of GetCurrentState's nested reply. Only
// the bus and the interface's shapes belong here; the mapping to display records is
// MutterDisplay.cpp's.
#include "MutterBus.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "SdBusLibrary.h"

namespace mutter {

namespace {

constexpr const char* DisplayConfigName = "org.gnome.Mutter.DisplayConfig";
constexpr const char* DisplayConfigPath = "/org/gnome/Mutter/DisplayConfig";
// A compositor that stops answering costs at most this per call, then the call fails.
constexpr std::uint64_t CallTimeoutMicroseconds = 3'000'000;
constexpr std::uint32_t MethodTemporary = 1;
constexpr const char* CurrentStateSignature = "ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv}";

const SdBusLibrary* Library = nullptr;
sd_bus* Bus = nullptr;
bool BusTried = false;
// Set once a call has timed out or the connection broke: later calls fail at once rather
// than wait again.
bool BusLost = false;

// Owns a message; unreferenced when it goes.
struct Message {
  sd_bus_message* Pointer = nullptr;
  Message() = default;
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  ~Message() {
    if (Pointer != nullptr) Library->MessageUnref(Pointer);
  }
};

// Connects at the first call of the run; the platform's session bus address only.
bool Connect() {
  if (!BusTried) {
    BusTried = true;
    // Without an address sd-bus would look for a bus of its own choosing; none is asked.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || address[0] == '\0') return false;
    Library = LoadSdBus();
    if (Library == nullptr || Library->OpenUser(&Bus) < 0) Bus = nullptr;
  }
  return Bus != nullptr && !BusLost;
}

int KeepReply(sd_bus_message* message, void* reply, sd_bus_error*) {
  *static_cast<sd_bus_message**>(reply) = Library->MessageRef(message);
  return 1;
}

// Sends the call and waits, at most CallTimeoutMicroseconds, for its reply: a method return
// (true) or an error, the bus's own included (false). Sent asynchronously because
// sd_bus_call first waits for the bus's answer to Hello: this way the run's first call
// follows Hello at once and costs no round trip of its own.
bool Call(Message& call, Message& reply) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(CallTimeoutMicroseconds);
  sd_bus_slot* slot = nullptr;
  if (Library->CallAsync(Bus, &slot, call.Pointer, KeepReply, &reply.Pointer, CallTimeoutMicroseconds) < 0) {
    BusLost = true;
    return false;
  }
  while (reply.Pointer == nullptr) {
    const int processed = Library->Process(Bus, nullptr);
    if (processed > 0) continue;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
    if (processed < 0 || left.count() <= 0 || Library->Wait(Bus, std::uint64_t(left.count())) < 0) break;
  }
  Library->SlotUnref(slot);
  // No reply in time, sd-bus's own timeout or a lost connection: the bus is not asked again.
  if (reply.Pointer == nullptr || Library->IsMethodError(reply.Pointer, "org.freedesktop.DBus.Error.Timeout") > 0 ||
      Library->IsMethodError(reply.Pointer, "org.freedesktop.DBus.Error.NoReply") > 0) {
    BusLost = true;
    return false;
  }
  return Library->IsMethodError(reply.Pointer, nullptr) == 0;
}

bool NewDisplayConfigCall(Message& call, const char* method) {
  return Connect() &&
         Library->NewMethodCall(Bus, &call.Pointer, DisplayConfigName, DisplayConfigPath, DisplayConfigName, method) >= 0;
}

// Reads an a{sv}, handing each key to onEntry positioned before its variant; onEntry reads
// the variant or returns false to have it skipped. False when the message is malformed.
template <typename OnEntry>
bool ReadProperties(sd_bus_message* message, OnEntry onEntry) {
  if (Library->EnterContainer(message, 'a', "{sv}") <= 0) return false;
  int entered;
  while ((entered = Library->EnterContainer(message, 'e', "sv")) > 0) {
    const char* key = nullptr;
    if (Library->Read(message, "s", &key) < 0) return false;
    if (!onEntry(key) && Library->Skip(message, "v") < 0) return false;
    if (Library->ExitContainer(message) < 0) return false;
  }
  return entered == 0 && Library->ExitContainer(message) >= 0;
}

// Reads the variant's value when it holds the basic type wanted ("b", "s", "u").
bool ReadVariant(sd_bus_message* message, const char* type, void* value) {
  char kind = 0;
  const char* contents = nullptr;
  if (Library->PeekType(message, &kind, &contents) <= 0 || kind != 'v' || std::strcmp(contents, type) != 0) {
    return false;
  }
  return Library->EnterContainer(message, 'v', type) > 0 && Library->Read(message, type, value) > 0 &&
         Library->ExitContainer(message) >= 0;
}

bool ReadMode(sd_bus_message* message, Monitor& monitor) {
  const char* id = nullptr;
  MonitorMode mode;
  double preferredScale = 0;
  if (Library->Read(message, "siidd", &id, &mode.Width, &mode.Height, &mode.RefreshHz, &preferredScale) < 0 ||
      Library->Skip(message, "ad") < 0) {
    return false;
  }
  mode.Id = id;
  int current = 0;
  const bool ok = ReadProperties(message, [&](const char* key) {
    return std::strcmp(key, "is-current") == 0 && ReadVariant(message, "b", &current);
  });
  if (current != 0) monitor.CurrentMode = static_cast<int>(monitor.Modes.size());
  monitor.Modes.push_back(std::move(mode));
  return ok;
}

bool ReadMonitor(sd_bus_message* message, Monitor& monitor) {
  const char *connector = nullptr, *vendor = nullptr, *product = nullptr, *serial = nullptr;
  if (Library->Read(message, "(ssss)", &connector, &vendor, &product, &serial) < 0) return false;
  monitor.Connector = connector;
  monitor.Description = std::string(vendor) + " " + product;
  if (Library->EnterContainer(message, 'a', "(siiddada{sv})") <= 0) return false;
  int entered;
  while ((entered = Library->EnterContainer(message, 'r', "siiddada{sv}")) > 0) {
    if (!ReadMode(message, monitor) || Library->ExitContainer(message) < 0) return false;
  }
  if (entered < 0 || Library->ExitContainer(message) < 0) return false;
  return ReadProperties(message, [&](const char* key) {
    const char* name = nullptr;
    if (std::strcmp(key, "display-name") != 0 || !ReadVariant(message, "s", &name)) return false;
    monitor.Description = name;
    return true;
  });
}

bool ReadLogicalMonitor(sd_bus_message* message, LogicalMonitor& logical) {
  int primary = 0;
  if (Library->Read(message, "iidub", &logical.X, &logical.Y, &logical.Scale, &logical.Transform, &primary) < 0) {
    return false;
  }
  logical.Primary = primary != 0;
  if (Library->EnterContainer(message, 'a', "(ssss)") <= 0) return false;
  const char *connector = nullptr, *vendor = nullptr, *product = nullptr, *serial = nullptr;
  int read;
  while ((read = Library->Read(message, "(ssss)", &connector, &vendor, &product, &serial)) > 0) {
    logical.Connectors.emplace_back(connector);
  }
  return read == 0 && Library->ExitContainer(message) >= 0 && Library->Skip(message, "a{sv}") >= 0;
}

// Decodes a reply whose signature has been checked; false if it still does not parse.
bool DecodeCurrentState(sd_bus_message* message, DisplayState& state) {
  if (Library->Read(message, "u", &state.Serial) < 0) return false;
  if (Library->EnterContainer(message, 'a', "((ssss)a(siiddada{sv})a{sv})") <= 0) return false;
  int entered;
  while ((entered = Library->EnterContainer(message, 'r', "(ssss)a(siiddada{sv})a{sv}")) > 0) {
    state.Monitors.emplace_back();
    if (!ReadMonitor(message, state.Monitors.back()) || Library->ExitContainer(message) < 0) return false;
  }
  if (entered < 0 || Library->ExitContainer(message) < 0) return false;
  if (Library->EnterContainer(message, 'a', "(iiduba(ssss)a{sv})") <= 0) return false;
  while ((entered = Library->EnterContainer(message, 'r', "iiduba(ssss)a{sv}")) > 0) {
    state.LogicalMonitors.emplace_back();
    if (!ReadLogicalMonitor(message, state.LogicalMonitors.back()) || Library->ExitContainer(message) < 0) {
      return false;
    }
  }
  if (entered < 0 || Library->ExitContainer(message) < 0) return false;
  return ReadProperties(message, [&](const char* key) {
    return std::strcmp(key, "layout-mode") == 0 && ReadVariant(message, "u", &state.LayoutMode);
  });
}

bool AppendLogicalMonitor(sd_bus_message* message, const LogicalMonitorLayout& logical) {
  if (Library->OpenContainer(message, 'r', "iiduba(ssa{sv})") < 0 ||
      Library->Append(message, "iidub", logical.X, logical.Y, logical.Scale, logical.Transform,
                      static_cast<int>(logical.Primary)) < 0 ||
      Library->OpenContainer(message, 'a', "(ssa{sv})") < 0) {
    return false;
  }
  for (const MonitorAssignment& monitor : logical.Monitors) {
    if (Library->Append(message, "(ssa{sv})", monitor.Connector.c_str(), monitor.ModeId.c_str(), 0) < 0) return false;
  }
  return Library->CloseContainer(message) >= 0 && Library->CloseContainer(message) >= 0;
}

}  // namespace

StateRead ReadCurrentState(DisplayState& state) {
  state = DisplayState{};
  Message call, reply;
  if (!Connect()) return BusTried && Bus == nullptr ? StateRead::NoOwner : StateRead::Failed;
  if (!NewDisplayConfigCall(call, "GetCurrentState") || Library->SetAutoStart(call.Pointer, 0) < 0) {
    return StateRead::Failed;
  }
  if (!Call(call, reply)) {
    const bool noOwner =
        reply.Pointer != nullptr &&
        (Library->IsMethodError(reply.Pointer, "org.freedesktop.DBus.Error.ServiceUnknown") > 0 ||
         Library->IsMethodError(reply.Pointer, "org.freedesktop.DBus.Error.NameHasNoOwner") > 0);
    return noOwner ? StateRead::NoOwner : StateRead::Failed;
  }
  if (Library->HasSignature(reply.Pointer, CurrentStateSignature) <= 0 || !DecodeCurrentState(reply.Pointer, state)) {
    state = DisplayState{};
    return StateRead::Failed;
  }
  return StateRead::Read;
}

bool ApplyTemporary(std::uint32_t serial, const std::vector<LogicalMonitorLayout>& layout) {
  Message call, reply;
  if (!NewDisplayConfigCall(call, "ApplyMonitorsConfig") ||
      Library->Append(call.Pointer, "uu", serial, MethodTemporary) < 0 ||
      Library->OpenContainer(call.Pointer, 'a', "(iiduba(ssa{sv}))") < 0) {
    return false;
  }
  for (const LogicalMonitorLayout& logical : layout) {
    if (!AppendLogicalMonitor(call.Pointer, logical)) return false;
  }
  if (Library->CloseContainer(call.Pointer) < 0 || Library->Append(call.Pointer, "a{sv}", 0) < 0) return false;
  return Call(call, reply);
}

}  // namespace mutter
