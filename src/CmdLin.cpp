#include "CmdLin.h"

#include "platform/Console.h"

std::vector<std::string> ArgumentList;

namespace {

bool IsBlank(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Characters of a value text that SwitchValue reads; the rest of a longer one is never seen.
constexpr std::size_t MaxValueLength = 255;

bool IsSwitchPrefix(char c) { return c == '-' || c == '/'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Magnitude limit tested per digit, so leading zeros never count and nothing overflows.
bool ParseDecimal(std::string_view digits, bool negative, std::int32_t& value) {
  if (digits.empty()) return false;
  const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
  std::uint64_t magnitude = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (magnitude > limit) return false;
  }
  const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
  return true;
}

// 32 bits read as two's complement; "-" negates them with wrap-around.
bool ParseHexadecimal(std::string_view digits, bool negative, std::int32_t& value) {
  if (digits.empty()) return false;
  std::uint64_t magnitude = 0;
  for (char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    magnitude = magnitude * 16 + static_cast<unsigned>(digit);
    if (magnitude > 0xFFFFFFFFu) return false;
  }
  const std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
  value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
  return true;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
  std::vector<std::string> arguments;
  const char* at = commandLine;
  for (;;) {
    for (;;) {
      while (IsBlank(*at)) at = NextCommandLineChar(at);
      if (at[0] == '"' && at[1] == '"') {
        at += 2;
      } else {
        break;
      }
    }
    if (*at == '\0' || (at[0] == '"' && at[1] == '\0')) break;

    std::string argument;
    bool quoted = false;
    while (*at != '\0' && (quoted || !IsBlank(*at))) {
      if (*at == '"') {
        quoted = !quoted;
        ++at;
        continue;
      }
      const char* next = NextCommandLineChar(at);
      argument.append(at, next);
      at = next;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::vector<std::string> ArgumentsFromVector(int argc, char** argv) {
  std::vector<std::string> arguments;
  arguments.emplace_back(argc > 0 && argv[0] != nullptr ? argv[0] : "");
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && argv[i][0] != '\0') arguments.emplace_back(argv[i]);
  }
  return arguments;
}

std::int32_t ArgumentCount() {
  return ArgumentList.empty() ? 0 : static_cast<std::int32_t>(ArgumentList.size() - 1);
}

std::string ArgumentText(std::int32_t index) {
  if (index < 1 || index > ArgumentCount()) return {};
  return ArgumentList[static_cast<std::size_t>(index)];
}

char LoCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::int32_t FindSwitch(char letter) {
  const char folded = LoCase(letter);
  for (std::int32_t index = 1; index <= ArgumentCount(); ++index) {
    const std::string& argument = ArgumentList[static_cast<std::size_t>(index)];
    if (argument.size() >= 2 && IsSwitchPrefix(argument[0]) && LoCase(argument[1]) == folded) {
      return index;
    }
  }
  return 0;
}

bool SwitchPresent(char letter) { return FindSwitch(letter) != 0; }

std::int32_t SwitchValue(char letter) {
  const std::int32_t index = FindSwitch(letter);
  if (index == 0) return 0;
  const std::string_view argument = ArgumentList[static_cast<std::size_t>(index)];
  const std::string_view valueText = argument.substr(2, MaxValueLength);
  std::int32_t value = 0;
  if (valueText.empty() || !ParseInteger(valueText, value)) return 0;
  return value;
}

std::string SwitchValueText(char letter) {
  const std::int32_t index = FindSwitch(letter);
  if (index == 0) return {};
  return ArgumentList[static_cast<std::size_t>(index)].substr(2);
}

bool SwitchValueExact(char letter) {
  const std::string valueText = SwitchValueText(letter);
  std::int32_t value = 0;
  return valueText.empty() || (valueText.size() <= MaxValueLength && ParseInteger(valueText, value));
}

bool ParseInteger(std::string_view text, std::int32_t& value) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    negative = text[at] == '-';
    ++at;
  }
  const std::string_view rest = text.substr(at);
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    return ParseHexadecimal(rest.substr(1), negative, value);
  }
  if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    return ParseHexadecimal(rest.substr(2), negative, value);
  }
  return ParseDecimal(rest, negative, value);
}
