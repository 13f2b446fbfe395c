#include "X11Run.h"

#include <sstream>

RunResult RunTavelon(const XServer& server, const std::vector<std::string>& arguments) {
  const std::shared_ptr<void> held = server.HoldConnection();
  RunOptions options;
  options.Arguments = arguments;
  options.Environment = {{"DISPLAY", server.Display}};
  // With a session bus where GNOME's compositor answers, tavelon would use it, not this server.
  options.Unset = {"DBUS_SESSION_BUS_ADDRESS"};
  options.TimeoutSeconds = 20;
  return RunProgram(TAVELON_PATH, options);
}

void RestoreTwoOutputLayout(const DummyXServer& server) {
  server.Xrandr({"--output", "DUMMY0", "--mode", "1024x768", "--pos", "0x0", "--panning", "0x0", "--primary",
                 "--output", "DUMMY1", "--mode", "1024x768", "--pos", "1024x0", "--panning", "0x0", "--fb", "2048x768"});
}

XrandrState QueryState(const XServer& server) {
  XrandrState state;
  std::istringstream lines(server.Xrandr({"--query"}));
  std::string line;
  bool inConnectedOutput = false;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) tokens.push_back(word);
    if (tokens.empty()) continue;
    if (line.rfind("Screen ", 0) == 0) {
      const std::size_t current = line.find("current ");
      std::istringstream size(line.substr(current + 8));
      std::string width, by, height;
      size >> width >> by >> height;
      state.Screen = width + "x" + (height.empty() ? "" : height.substr(0, height.find(',')));
    } else if (line[0] != ' ') {
      inConnectedOutput = tokens.size() > 1 && tokens[1] == "connected";
      if (!inConnectedOutput) continue;
      std::string summary = tokens[0];
      std::size_t next = 2;
      if (tokens.size() > next && tokens[next] == "primary") summary += " " + tokens[next++];
      const bool active = tokens.size() > next && tokens[next].find('+') != std::string::npos;
      summary += " " + (active ? tokens[next] : std::string("off"));
      state.Outputs.push_back(summary);
    } else if (inConnectedOutput) {
      for (std::size_t i = 1; i < tokens.size(); ++i) {
        std::string rate = tokens[i];
        if (rate.find('*') == std::string::npos) continue;
        rate.erase(rate.find('*'), 1);
        if (rate.find('+') != std::string::npos) rate.erase(rate.find('+'), 1);
        state.Outputs.back() += " " + tokens[0] + " " + rate;
        break;
      }
    }
  }
  return state;
}

std::vector<XrandrOutput> XrandrOutputs(const XServer& server, const std::vector<std::string>& arguments) {
  std::vector<std::string> query = arguments;
  query.push_back("--query");
  std::istringstream lines(server.Xrandr(query));
  std::vector<XrandrOutput> outputs;
  bool inOutput = false;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) tokens.push_back(word);
    if (tokens.empty() || line.rfind("Screen ", 0) == 0) continue;
    if (line[0] != ' ') {
      std::size_t next = 2;
      XrandrOutput output{tokens[0]};
      if (tokens.size() > next && tokens[next] == "primary") output.Primary = true, ++next;
      if (tokens.size() > next && tokens[next].find('+') != std::string::npos) output.Geometry = tokens[next];
      inOutput = tokens.size() > 1 && (tokens[1] == "connected" || !output.Geometry.empty());
      if (inOutput) outputs.push_back(output);
    } else if (inOutput && line.rfind("   ", 0) == 0 && tokens[0].find('x') != std::string::npos) {
      // A mode line: "   1024x768      60.00*+", or a named mode such as "1280x720_70".
      outputs.back().Sizes.push_back(tokens[0].substr(0, tokens[0].find('_')));
    }
  }
  return outputs;
}
