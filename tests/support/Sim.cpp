#include "Sim.h"

#include <gtest/gtest.h>

#include <sstream>

using nlohmann::json;

std::vector<json> SimRun::Calls(std::string_view name) const {
  std::vector<json> calls;
  for (const json& entry : Log) {
    if (entry.at("call") == name) calls.push_back(entry);
  }
  return calls;
}

std::string SimPath() { return TAVELON_SIM_PATH; }

SimRun RunSim(const json& machine, const std::vector<std::string>& arguments, RunOptions options) {
  TempFolder folder;
  const std::string machinePath = folder.File("machine.json");
  const std::string logPath = folder.File("calls.log");
  WriteFile(machinePath, machine.dump());
  options.Arguments = arguments;
  options.Environment.emplace_back("TAVELON_SIM_MACHINE", machinePath);
  bool logSeparately = true;
  for (const auto& entry : options.Environment) logSeparately &= entry.first != "TAVELON_SIM_LOG";
  if (logSeparately) options.Environment.emplace_back("TAVELON_SIM_LOG", logPath);

  // A sanitizer report must never pass for one of the program's own exit codes.
  options.Environment.emplace_back("ASAN_OPTIONS", "exitcode=86");
  options.Environment.emplace_back("UBSAN_OPTIONS", "exitcode=86:print_stacktrace=1");

  SimRun run;
  run.Run = RunProgram(SimPath(), options);
  EXPECT_NE(run.Run.ExitCode, 86) << run.Run.Err;
  EXPECT_EQ(run.Run.Err.find("Sanitizer"), std::string::npos) << run.Run.Err;
  if (logSeparately) {
    std::istringstream lines(ReadFile(logPath));
    for (std::string line; std::getline(lines, line);) run.Log.push_back(json::parse(line));
  }
  return run;
}

json MachineFile(const std::string& name) {
  return json::parse(ReadFile(std::string(TAVELON_TEST_DATA) + "/machines/" + name));
}

std::string GoldenFile(const std::string& name) {
  return ReadFile(std::string(TAVELON_TEST_DATA) + "/golden/" + name);
}

std::string Lines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

json Device(const std::string& name, const std::string& description, unsigned flags, const json& current,
            const json& modes) {
  return {{"name", name}, {"string", description}, {"flags", flags}, {"current", current}, {"modes", modes}};
}

json Mode(std::uint32_t width, std::uint32_t height, std::uint32_t bits) {
  return {{"width", width}, {"height", height}, {"bits", bits}, {"frequency", 60}};
}
