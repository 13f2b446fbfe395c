// A stand-in for Mutter's DisplayConfig on a test's private session bus: owns the name,
// answers GetCurrentState with a small fixed layout or with one of the faults below, and
// appends each call it receives to a log file, one line each. Test tooling only.
//
//   fake-displayconfig BEHAVIOUR LOG
//   good                 two monitors (Fake-0: 640x480@60 current, 800x600@60, 800x600@75,
//                        480x640@60; Fake-1: 1024x768@60), side by side, Fake-0 primary;
//                        every ApplyMonitorsConfig accepted
//   turned               as good, Fake-0 turned by 90 degrees (transform 1)
//   logical              as good, in the logical layout mode with Fake-0 at scale 2
//   stale                the first ApplyMonitorsConfig refused as stale; the serial then moves on
//   refuse               every ApplyMonitorsConfig refused
//   wrong-signature      GetCurrentState answers a string
//   no-current-mode      Fake-0 has no current mode
//   no-logical-monitors  no monitor is in a logical monitor
//   silent               GetCurrentState is never answered
//   leaves               leaves the bus after the first GetCurrentState
#include <systemd/sd-bus.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Mode {
  const char* Id;
  int Width, Height;
  double Refresh;
};

std::string Behaviour;
FILE* Log = nullptr;
unsigned Serial = 1;
bool Quit = false;

void AppendProperty(sd_bus_message* m, const char* key, const char* type, const void* value) {
  sd_bus_message_open_container(m, 'e', "sv");
  sd_bus_message_append(m, "s", key);
  sd_bus_message_open_container(m, 'v', type);
  sd_bus_message_append_basic(m, type[0], value);
  sd_bus_message_close_container(m);
  sd_bus_message_close_container(m);
}

void AppendMonitor(sd_bus_message* m, const char* connector, const std::vector<Mode>& modes, int current) {
  sd_bus_message_open_container(m, 'r', "(ssss)a(siiddada{sv})a{sv}");
  sd_bus_message_append(m, "(ssss)", connector, "FakeVendor", "FakeProduct", "0001");
  sd_bus_message_open_container(m, 'a', "(siiddada{sv})");
  for (std::size_t i = 0; i < modes.size(); ++i) {
    sd_bus_message_open_container(m, 'r', "siiddada{sv}");
    sd_bus_message_append(m, "siidd", modes[i].Id, modes[i].Width, modes[i].Height, modes[i].Refresh, 1.0);
    sd_bus_message_append(m, "ad", 2, 1.0, 2.0);
    sd_bus_message_open_container(m, 'a', "{sv}");
    const int yes = 1;
    if (int(i) == current) AppendProperty(m, "is-current", "b", &yes);
    sd_bus_message_close_container(m);
    sd_bus_message_close_container(m);
  }
  sd_bus_message_close_container(m);
  sd_bus_message_open_container(m, 'a', "{sv}");
  if (std::strcmp(connector, "Fake-1") == 0) AppendProperty(m, "display-name", "s", "Fake Panel 24\"");
  sd_bus_message_close_container(m);
  sd_bus_message_close_container(m);
}

void AppendLogical(sd_bus_message* m, int x, int y, double scale, unsigned transform, bool primary,
                   const char* connector) {
  sd_bus_message_open_container(m, 'r', "iiduba(ssss)a{sv}");
  sd_bus_message_append(m, "iidub", x, y, scale, transform, int(primary));
  sd_bus_message_append(m, "a(ssss)", 1, connector, "FakeVendor", "FakeProduct", "0001");
  sd_bus_message_append(m, "a{sv}", 0);
  sd_bus_message_close_container(m);
}

int ReplyCurrentState(sd_bus_message* call) {
  sd_bus_message* reply = nullptr;
  sd_bus_message_new_method_return(call, &reply);
  if (Behaviour == "wrong-signature") {
    sd_bus_message_append(reply, "s", "not a state");
  } else {
    const bool turned = Behaviour == "turned", logical = Behaviour == "logical";
    sd_bus_message_append(reply, "u", Serial);
    sd_bus_message_open_container(reply, 'a', "((ssss)a(siiddada{sv})a{sv})");
    AppendMonitor(reply, "Fake-0",
                  {{"640x480@60.000", 640, 480, 60}, {"800x600@60.000", 800, 600, 60}, {"800x600@75.000", 800, 600, 75},
                   {"480x640@60.000", 480, 640, 60}},
                  Behaviour == "no-current-mode" ? -1 : 0);
    AppendMonitor(reply, "Fake-1", {{"1024x768@60.000", 1024, 768, 60}}, 0);
    sd_bus_message_close_container(reply);
    sd_bus_message_open_container(reply, 'a', "(iiduba(ssss)a{sv})");
    if (Behaviour != "no-logical-monitors") {
      AppendLogical(reply, 0, 0, logical ? 2.0 : 1.0, turned ? 1 : 0, true, "Fake-0");
      AppendLogical(reply, logical ? 320 : turned ? 480 : 640, 0, 1.0, 0, false, "Fake-1");
    }
    sd_bus_message_close_container(reply);
    const unsigned layoutMode = logical ? 1 : 2;
    sd_bus_message_open_container(reply, 'a', "{sv}");
    AppendProperty(reply, "layout-mode", "u", &layoutMode);
    sd_bus_message_close_container(reply);
  }
  const int result = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  if (Behaviour == "leaves") Quit = true;
  return result < 0 ? result : 1;
}

// Logs the layout asked for: "ApplyMonitorsConfig serial 1 method 1: Fake-0 800x600@75.000
// +0+0 scale 1 transform 0 primary; Fake-1 ...".
int ApplyMonitorsConfig(sd_bus_message* call) {
  unsigned serial = 0, method = 0;
  sd_bus_message_read(call, "uu", &serial, &method);
  std::string line = "ApplyMonitorsConfig serial " + std::to_string(serial) + " method " + std::to_string(method) + ":";
  sd_bus_message_enter_container(call, 'a', "(iiduba(ssa{sv}))");
  while (sd_bus_message_enter_container(call, 'r', "iiduba(ssa{sv})") > 0) {
    int x = 0, y = 0, primary = 0;
    double scale = 0;
    unsigned transform = 0;
    sd_bus_message_read(call, "iidub", &x, &y, &scale, &transform, &primary);
    sd_bus_message_enter_container(call, 'a', "(ssa{sv})");
    const char *connector = nullptr, *mode = nullptr;
    while (sd_bus_message_enter_container(call, 'r', "ssa{sv}") > 0) {
      sd_bus_message_read(call, "ss", &connector, &mode);
      sd_bus_message_skip(call, "a{sv}");
      sd_bus_message_exit_container(call);
      line += std::string(" ") + connector + " " + mode;
    }
    sd_bus_message_exit_container(call);
    sd_bus_message_exit_container(call);
    line += " +" + std::to_string(x) + "+" + std::to_string(y) + " scale " + std::to_string(int(scale)) +
            " transform " + std::to_string(transform) + (primary ? " primary" : "") + ";";
  }
  std::fprintf(Log, "%s\n", line.c_str());
  std::fflush(Log);
  const bool stale = Behaviour == "stale" && serial == 1;
  if (stale) ++Serial;
  if (stale || Behaviour == "refuse") {
    return sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.AccessDenied", "refused");
  }
  ++Serial;
  return sd_bus_reply_method_return(call, "");
}

int OnCall(sd_bus_message* call, void*, sd_bus_error*) {
  const char* member = sd_bus_message_get_member(call);
  if (member == nullptr) return 0;
  if (std::strcmp(member, "GetCurrentState") == 0) {
    std::fprintf(Log, "GetCurrentState\n");
    std::fflush(Log);
    if (Behaviour == "silent") return 1;
    return ReplyCurrentState(call);
  }
  if (std::strcmp(member, "ApplyMonitorsConfig") == 0) return ApplyMonitorsConfig(call);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  Behaviour = argv[1];
  Log = std::fopen(argv[2], "a");
  sd_bus* bus = nullptr;
  if (Log == nullptr || sd_bus_open_user(&bus) < 0) return 2;
  if (sd_bus_add_object(bus, nullptr, "/org/gnome/Mutter/DisplayConfig", OnCall, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.gnome.Mutter.DisplayConfig", 0) < 0) {
    return 2;
  }
  while (!Quit) {
    const int processed = sd_bus_process(bus, nullptr);
    if (processed < 0) return 2;
    if (processed == 0 && sd_bus_wait(bus, UINT64_MAX) < 0) return 2;
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
