// Fuzzes the command-line splitter and the switch lookup on arbitrary command-line strings.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "CmdLin.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string commandLine(reinterpret_cast<const char*>(data), size);
  ArgumentList = SplitCommandLine(commandLine.c_str());
  for (std::size_t i = 1; i < ArgumentList.size(); ++i) {
    // No argument is empty and none keeps a double quote: quotes only group.
    Check(!ArgumentList[i].empty());
    Check(ArgumentList[i].find('"') == std::string::npos);
  }
  Check(ArgumentCount() == (ArgumentList.empty() ? 0 : static_cast<std::int32_t>(ArgumentList.size()) - 1));
  for (char letter : {'H', 'Q', 'P', 'D', 'X', 'Y', commandLine.empty() ? 'Z' : commandLine[0]}) {
    const std::int32_t index = FindSwitch(letter);
    Check(index >= 0 && index <= ArgumentCount());
    Check(SwitchPresent(letter) == (index != 0));
    if (index != 0) {
      const std::string argument = ArgumentText(index);
      Check(argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-'));
      Check(LoCase(argument[1]) == LoCase(letter));
    } else {
      Check(SwitchValue(letter) == 0);
    }
  }
  return 0;
}
