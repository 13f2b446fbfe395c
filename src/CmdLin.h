// Command-line switches: splitting, switch lookup and number conversion.
// Prints nothing, stops nothing; an absent or malformed switch yields false or 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The argument list: entry 0 stands for the program and is never examined.
extern std::vector<std::string> ArgumentList;

// Splits a command-line string (up to its first NUL) into the argument list,
// entry 0 being the program's own token.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// The argument list of an argument vector: entry 0 is kept, empty entries are dropped.
std::vector<std::string> ArgumentsFromVector(int argc, char** argv);

// Number of arguments after the program.
std::int32_t ArgumentCount();

// Argument number index (1 to ArgumentCount), or an empty text.
std::string ArgumentText(std::int32_t index);

// Folds A to Z to a to z; every other character is returned unchanged.
char LoCase(char c);

// Index of the first argument that is the switch with this letter, or 0.
std::int32_t FindSwitch(char letter);

bool SwitchPresent(char letter);

// The number written after the switch letter (at most 255 characters of it are read);
// 0 when the switch is absent, has no value or the value does not convert.
std::int32_t SwitchValue(char letter);

// The value text of the first switch with this letter as the user wrote it: everything after
// the letter, however long; empty when the switch is absent or has none.
std::string SwitchValueText(char letter);

// Whether SwitchValue reads what the user wrote: the switch is absent, has no value text, or
// its value text is at most 255 characters and converts. A value that fails here yields 0
// from SwitchValue, a number the user never wrote.
bool SwitchValueExact(char letter);

// Converts the whole text to a signed 32-bit number: optional leading spaces, one sign,
// decimal (overflow refused) or hexadecimal after $, x, X, 0x or 0X (32 bits, wrapping).
// A text that does not convert leaves value as it was.
bool ParseInteger(std::string_view text, std::int32_t& value);
