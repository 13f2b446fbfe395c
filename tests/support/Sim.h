// Runs tavelon-sim on a machine fixture and reads back its call log.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "Process.h"

struct SimRun {
  RunResult Run;
  std::vector<nlohmann::json> Log;  // one object per display-service call, in order

  // The log entries of one call, in order.
  std::vector<nlohmann::json> Calls(std::string_view name) const;
};

// Runs tavelon-sim with the arguments on the machine; options.Arguments is replaced.
SimRun RunSim(const nlohmann::json& machine, const std::vector<std::string>& arguments,
              RunOptions options = {});

// A fixture kept under tests/machines/.
nlohmann::json MachineFile(const std::string& name);

// A file kept under tests/golden/.
std::string GoldenFile(const std::string& name);

// The lines, each ended by CR LF.
std::string Lines(std::initializer_list<std::string_view> lines);

// One device of a fixture, with its current mode and modes given as (width, height, bits).
nlohmann::json Device(const std::string& name, const std::string& description, unsigned flags,
                      const nlohmann::json& current, const nlohmann::json& modes = nlohmann::json::array());
nlohmann::json Mode(std::uint32_t width, std::uint32_t height, std::uint32_t bits = 32);

// The sim binary built beside the tests.
std::string SimPath();
