// Fuzzes ParseInteger against a plain reference for decimal text: leading spaces, one sign,
// digits, and a magnitude within the signed 32-bit range.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "CmdLin.h"

namespace {

std::optional<std::int64_t> ReferenceDecimal(const std::string& text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return std::nullopt;
  bool negative = false;
  if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
  std::string digits = text.substr(at);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 10) return std::nullopt;
  const std::int64_t magnitude = std::stoll(digits);
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return value;
}

bool IsHexadecimalForm(const std::string& text) {
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  if (text[at] == '+' || text[at] == '-') ++at;
  const std::string rest = text.substr(at);
  return !rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X' ||
                           (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::int32_t value = 0;
  const bool parsed = ParseInteger(text, value);
  if (IsHexadecimalForm(text)) return 0;
  const std::optional<std::int64_t> expected = ReferenceDecimal(text);
  if (parsed != expected.has_value()) std::abort();
  if (parsed && value != *expected) std::abort();
  return 0;
}
