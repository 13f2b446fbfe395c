#include "X11Run.h"

#include <sstream>

RunResult RunTavelon(const DummyXServer& server, const std::vector<std::string>& arguments) {
  RunOptions options;
  options.Arguments = arguments;
  options.Environment = {{"DISPLAY", server.Display}};
  options.TimeoutSeconds = 20;
  return RunProgram(TAVELON_PATH, options);
}

void RestoreTwoOutputLayout(const DummyXServer& server) {
  server.Xrandr({"--output", "DUMMY0", "--mode", "1024x768", "--pos", "0x0", "--primary", "--output", "DUMMY1",
                 "--mode", "1024x768", "--pos", "1024x0", "--fb", "2048x768"});
}

XrandrState QueryState(const DummyXServer& server) {
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
