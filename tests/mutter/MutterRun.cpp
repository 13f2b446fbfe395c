#include "MutterRun.h"

#include <regex>

RunResult RunTavelon(const SessionVariables& session, const std::vector<std::string>& arguments) {
  RunOptions options;
  options.Arguments = arguments;
  options.Unset = {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY"};
  const std::pair<const char*, const std::string&> variables[] = {
      {"DBUS_SESSION_BUS_ADDRESS", session.BusAddress}, {"DISPLAY", session.Display}, {"XAUTHORITY", session.Authority}};
  for (const auto& [name, value] : variables) {
    if (!value.empty()) options.Environment.emplace_back(name, value);
  }
  options.TimeoutSeconds = 20;
  return RunProgram(TAVELON_PATH, options);
}

MutterState ParseCurrentState(const std::string& text) {
  MutterState state;
  std::smatch match;
  if (std::regex_search(text, match, std::regex(R"(^\(uint32 (\d+),)"))) state.Serial = std::stoul(match[1]);
  // Monitors open with "(('connector', "; each mode is "('id', w, h, refresh, scale, [..], {props})".
  const std::regex monitorStart(R"(\(\('([^']*)', )");
  const std::regex mode(R"(\('([^']*)', \d+, \d+, [-\d.e]+, [\d.]+, \[[^\]]*\], \{([^}]*)\}\))");
  const std::regex logical(R"(\((-?\d+), (-?\d+), [\d.]+, (?:uint32 )?\d+, (true|false), \[([^\]]*)\])");
  std::vector<std::pair<std::size_t, std::string>> starts;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), monitorStart); it != std::sregex_iterator(); ++it) {
    starts.emplace_back(std::size_t(it->position()), (*it)[1]);
  }
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::size_t end = i + 1 < starts.size() ? starts[i + 1].first : text.size();
    const std::string section = text.substr(starts[i].first, end - starts[i].first);
    std::string current = "none";
    for (auto it = std::sregex_iterator(section.begin(), section.end(), mode); it != std::sregex_iterator(); ++it) {
      if ((*it)[2].str().find("'is-current': <true>") != std::string::npos) current = (*it)[1];
    }
    std::string placement = " off";
    for (auto it = std::sregex_iterator(text.begin(), text.end(), logical); it != std::sregex_iterator(); ++it) {
      if ((*it)[4].str().find("('" + starts[i].second + "'") == std::string::npos) continue;
      placement = " +" + (*it)[1].str() + "+" + (*it)[2].str() + ((*it)[3] == "true" ? " primary" : "");
    }
    state.Monitors.push_back(starts[i].second + " " + current + placement);
  }
  return state;
}

MutterState QueryState(const MutterSession& session) { return ParseCurrentState(session.GetCurrentStateText()); }
