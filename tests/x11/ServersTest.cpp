// tavelon on every kind of X server Debian ships (Xorg with the dummy driver, Xvfb, Xephyr,
// Xvnc, XWayland under a headless weston): the same listing, change and primary checks on
// each, against what xrandr reports on the same server.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "Sim.h"
#include "X11Run.h"
#include "platform/DisplayService.h"

namespace {

// One device as tavelon lists it.
struct ListedDevice {
  std::string Name;
  bool Primary = false;
  std::string Current;           // "1024x768", empty when its query failed
  std::string Bits;              // "32"
  std::set<std::string> Sizes;   // of the catalogue, "800x600"
};

std::vector<ListedDevice> ParseListing(const std::string& out) {
  static const std::regex device("^Device Num: [0-9]+ Device Name: \"(.*)\"  \r$");
  static const std::regex current("^resolution: ([0-9]+)-([0-9]+) Bits: ([0-9]+)\r$");
  static const std::regex mode("^Mode [0-9]* ?Resolution: ([0-9]+x[0-9]+)\r$");
  std::vector<ListedDevice> devices;
  std::istringstream lines(out);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, match, device)) {
      devices.push_back({match[1]});
    } else if (devices.empty()) {
      continue;
    } else if (line == "DISPLAY_DEVICE_PRIMARY_DEVICE\r") {
      devices.back().Primary = true;
    } else if (std::regex_match(line, match, current)) {
      devices.back().Current = match[1].str() + "x" + match[2].str();
      devices.back().Bits = match[3];
    } else if (std::regex_match(line, match, mode)) {
      devices.back().Sizes.insert(match[1]);
    }
  }
  return devices;
}

std::string SizeOf(const std::string& geometry) { return geometry.substr(0, geometry.find('+')); }

// "HEIGHTxWIDTH" of "WIDTHxHEIGHT".
std::string Turned(const std::string& size) {
  return size.substr(size.find('x') + 1) + "x" + size.substr(0, size.find('x'));
}

// The listing of one screen against xrandr's view of it: the same outputs in the same
// order, the primary one (the first active when the server names none), the current size
// and every mode size, turned where the outputs are turned by a quarter (xrandr lists the
// modes unturned).
void ExpectListingMatchesXrandr(const RunResult& run, const std::vector<XrandrOutput>& outputs,
                                const std::string& bits, bool quarterTurn = false) {
  EXPECT_EQ(run.ExitCode, 0);
  const std::vector<ListedDevice> devices = ParseListing(run.Out);
  ASSERT_EQ(devices.size(), outputs.size()) << run.Out;
  bool named = false;
  for (const XrandrOutput& output : outputs) named = named || output.Primary;
  bool primaryFound = false;
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    SCOPED_TRACE(outputs[i].Name);
    EXPECT_EQ(devices[i].Name, outputs[i].Name);
    const bool primary = named ? outputs[i].Primary : !primaryFound && !outputs[i].Geometry.empty();
    primaryFound = primaryFound || primary;
    EXPECT_EQ(devices[i].Primary, primary);
    EXPECT_EQ(devices[i].Current, SizeOf(outputs[i].Geometry));
    if (!outputs[i].Geometry.empty()) {
      EXPECT_EQ(devices[i].Bits, bits);
    }
    // The catalogue names every size but that of mode 0, whose run it leaves unnamed.
    std::set<std::string> offered;
    for (const std::string& size : outputs[i].Sizes) offered.insert(quarterTurn ? Turned(size) : size);
    std::set<std::string> listed = devices[i].Sizes;
    if (!outputs[i].Sizes.empty()) listed.insert(quarterTurn ? Turned(outputs[i].Sizes[0]) : outputs[i].Sizes[0]);
    EXPECT_EQ(listed, offered);
  }
}

struct ServerRow {
  XServerKind Kind;
  bool TwoOutputs;  // tavelon can then move the primary itself
};
const ServerRow Rows[] = {
    {XServerKind::XorgDummy, true}, {XServerKind::Xvfb, false}, {XServerKind::Xephyr, false},
    {XServerKind::Xvnc, false},     {XServerKind::Xwayland, false},
};

class EveryServer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const ServerRow& row : Rows) {
      if (row.Kind == XServerKind::XorgDummy) {
        Servers[row.Kind] = std::make_unique<DummyXServer>(2);
      } else {
        Servers[row.Kind] = std::make_unique<XServer>(row.Kind);
      }
    }
    // Xvfb offers only the size it started with; a user adds a smaller one like this.
    const XServer& xvfb = *Servers[XServerKind::Xvfb];
    xvfb.Xrandr({"--newmode", "800x600", "40", "800", "840", "968", "1056", "600", "601", "605", "628"});
    xvfb.Xrandr({"--addmode", "screen", "800x600"});
  }
  static void TearDownTestSuite() { Servers.clear(); }
  static std::map<XServerKind, std::unique_ptr<XServer>> Servers;
};
std::map<XServerKind, std::unique_ptr<XServer>> EveryServer::Servers;

TEST_F(EveryServer, ListingMatchesXrandr) {
  for (const ServerRow& row : Rows) {
    SCOPED_TRACE(NameOf(row.Kind));
    const XServer& server = *Servers[row.Kind];
    const RunResult first = RunTavelon(server, {});
    ExpectListingMatchesXrandr(first, XrandrOutputs(server), "32");
    // Xephyr resets when the last client leaves: the next run meets a fresh server.
    EXPECT_EQ(RunTavelon(server, {}).Out, first.Out);
  }
}

TEST_F(EveryServer, ResolutionThereAndBack) {
  for (const ServerRow& row : Rows) {
    SCOPED_TRACE(NameOf(row.Kind));
    const XServer& server = *Servers[row.Kind];
    const XrandrState before = QueryState(server);
    const std::string name = XrandrOutputs(server).at(0).Name;
    const RunResult there = RunTavelon(server, {"/Q", "/D0", "/X800", "/Y600"});
    EXPECT_EQ(there.ExitCode, 0);
    if (row.Kind == XServerKind::Xwayland) {
      // The compositor owns the displays: XWayland would only pretend for tavelon itself.
      EXPECT_NE(there.Out.find(Lines({"Error DISP_CHANGE_FAILED"})), std::string::npos) << there.Out;
      EXPECT_EQ(QueryState(server).Outputs, before.Outputs);
      EXPECT_EQ(QueryState(server).Screen, before.Screen);
      continue;
    }
    EXPECT_NE(there.Out.find("Successful Change: " + name + " "), std::string::npos) << there.Out;
    EXPECT_EQ(XrandrOutputs(server).at(0).Geometry, "800x600+0+0");
    // A single output takes the screen with it; the dummy's second output holds it.
    EXPECT_EQ(QueryState(server).Screen, row.TwoOutputs ? before.Screen : "800x600");

    const RunResult back = RunTavelon(server, {"/Q", "/D0", "/X1024", "/Y768"});
    EXPECT_EQ(back.ExitCode, 0);
    EXPECT_NE(back.Out.find("Successful Change: " + name + " "), std::string::npos) << back.Out;
    EXPECT_EQ(XrandrOutputs(server).at(0).Geometry, "1024x768+0+0");
    EXPECT_EQ(QueryState(server).Screen, before.Screen);
  }
}

TEST_F(EveryServer, PrimarySeenByXrandr) {
  for (const ServerRow& row : Rows) {
    SCOPED_TRACE(NameOf(row.Kind));
    const XServer& server = *Servers[row.Kind];
    if (row.TwoOutputs) {
      const RunResult run = RunTavelon(server, {"/Q", "/P1"});
      EXPECT_EQ(run.ExitCode, 0);
      EXPECT_TRUE(XrandrOutputs(server).at(1).Primary);
      server.Xrandr({"--output", XrandrOutputs(server).at(0).Name, "--primary"});
      continue;
    }
    // One output: with none named primary, the service is asked to name it. Xephyr forgets
    // the primary when it resets as its last client leaves, so a client stays connected, as
    // a desktop's would.
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> keeper(
        xcb_connect(server.Display.c_str(), nullptr), xcb_disconnect);
    server.Xrandr({"--noprimary"});
    const std::string name = XrandrOutputs(server).at(0).Name;
    RunOptions options;
    options.Arguments = {name};
    options.Environment = {{"DISPLAY", server.Display}};
    const RunResult probe = RunProgram(PRIMARY_PROBE_PATH, options);
    const bool xwayland = row.Kind == XServerKind::Xwayland;
    EXPECT_EQ(probe.Out, std::to_string(xwayland ? DISP_CHANGE_FAILED : DISP_CHANGE_SUCCESSFUL) + "\n");
    EXPECT_EQ(XrandrOutputs(server).at(0).Primary, !xwayland);
  }
}

// Xvfb with one screen of each depth it offers, told apart by their sizes: each screen is
// listed on its own, with its depth's bits per pixel.
TEST(XvfbScreens, EachScreenAndDepth) {
  const std::vector<std::pair<std::string, std::string>> screens = {
      {"640x480x8", "8"}, {"800x600x15", "16"}, {"1024x768x16", "16"}, {"1280x1024x24", "32"}, {"1152x864x30", "32"}};
  std::vector<std::string> sizes;
  for (const auto& screen : screens) sizes.push_back(screen.first);
  const XServer server(XServerKind::Xvfb, sizes);
  for (std::size_t i = 0; i < screens.size(); ++i) {
    SCOPED_TRACE(screens[i].first);
    RunOptions options;
    options.Environment = {{"DISPLAY", server.Display + "." + std::to_string(i)}};
    const RunResult run = RunProgram(TAVELON_PATH, options);
    const std::vector<XrandrOutput> outputs = XrandrOutputs(server, {"--screen", std::to_string(i)});
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0].Geometry, screens[i].first.substr(0, screens[i].first.rfind('x')) + "+0+0");
    ExpectListingMatchesXrandr(run, outputs, screens[i].second);
  }
}

// A display turned by a quarter: its compositor turns XWayland's output, which RandR shows as
// rotated left. Current size and catalogue are in the desktop's orientation, so every size
// listed is one that can be asked for; a change is still the compositor's.
TEST(TurnedOutput, ListedInTheDesktopsOrientation) {
  const XServer server(XServerKind::Xwayland, {"1024x768x24"}, {"--transform=rotate-90"});
  const std::vector<XrandrOutput> outputs = XrandrOutputs(server);
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(outputs[0].Geometry, "768x1024+0+0");
  ExpectListingMatchesXrandr(RunTavelon(server, {}), outputs, "32", true);
  EXPECT_NE(RunTavelon(server, {"/D0", "/X600", "/Y800"}).Out.find(Lines({"Error DISP_CHANGE_FAILED"})),
            std::string::npos);
}

}  // namespace
