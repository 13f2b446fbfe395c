// Command-line splitting, switch lookup and number conversion, as tables of cases.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "CmdLin.h"

namespace {

using Arguments = std::vector<std::string>;

// Arguments after the program's own token.
Arguments UserArguments(const char* commandLine) {
  Arguments all = SplitCommandLine(commandLine);
  if (all.empty()) return all;
  return Arguments(all.begin() + 1, all.end());
}

void UseCommandLine(const char* commandLine) { ArgumentList = SplitCommandLine(commandLine); }

TEST(SplitCommandLine, Table) {
  const std::tuple<const char*, Arguments> cases[] = {
      {"prog", {}},
      {"", {}},
      {"prog   \"\"  \"\" ", {}},
      {"prog \"\" /H", {"/H"}},
      {"prog \" \"", {" "}},
      {"prog a\"b d\"e", {"ab de"}},
      {"prog /X\" 800", {"/X 800"}},
      {"prog\t/H", {"/H"}},
      {"prog\x01/H\x1f/Q", {"/H", "/Q"}},
      {"\"C:\\Program Files\\Tavelon.exe\" /H", {"/H"}},
      {"\"C:\\Program Files\\Tavelon.exe\"/H", {}},
      {"prog a\\\"b d", {"a\\b d"}},
      {"prog a\"\"b", {"ab"}},
      {"prog \"", {}},
      {"prog  \"\"\"", {}},
      {"prog \"\"x y", {"x", "y"}},
      {"prog \xe9t\xe9 /X1", {"\xe9t\xe9", "/X1"}},
      {"prog /D1 /X1024 /Y768", {"/D1", "/X1024", "/Y768"}},
      // Codes 1 to 32 separate arguments; 33 ('!') and everything above are text.
      {"prog /X800!", {"/X800!"}},
      {"prog /X800 !", {"/X800", "!"}},
      {"prog !/H", {"!/H"}},
      {"prog /X800\x20/Y600", {"/X800", "/Y600"}},
      {"prog /X800\x21/Y600", {"/X800!/Y600"}},
      {"prog /X800\x7f/Y600", {"/X800\x7f/Y600"}},
      {"prog /X800\xa0/Y600", {"/X800\xa0/Y600"}},
  };
  for (const auto& [commandLine, expected] : cases) {
    SCOPED_TRACE(commandLine);
    EXPECT_EQ(UserArguments(commandLine), expected);
  }
}

TEST(SplitCommandLine, ProgramTokenIsEntryZero) {
  EXPECT_EQ(SplitCommandLine("\"C:\\a b\\t.exe\" x"), (Arguments{"C:\\a b\\t.exe", "x"}));
}

TEST(ArgumentsFromVector, EmptyEntriesAreNoArguments) {
  const char* vector[] = {"tavelon", "", "/Q", "", "/H"};
  ArgumentList = ArgumentsFromVector(5, const_cast<char**>(vector));
  EXPECT_EQ(ArgumentCount(), 2);
  EXPECT_EQ(ArgumentText(1), "/Q");
  EXPECT_EQ(ArgumentText(2), "/H");
  EXPECT_EQ(ArgumentText(3), "");
  EXPECT_EQ(FindSwitch('H'), 2);

  const char* onlyEmpty[] = {"tavelon", ""};
  ArgumentList = ArgumentsFromVector(2, const_cast<char**>(onlyEmpty));
  EXPECT_EQ(ArgumentCount(), 0);
}

TEST(FindSwitch, Table) {
  // command line, letter, expected index
  const std::tuple<const char*, char, int> cases[] = {
      {"p /X800", 'X', 1},      {"p /x800", 'X', 1},      {"p -X800", 'X', 1},
      {"p /Quiet", 'Q', 1},     {"p /Help", 'H', 1},      {"p /Display1", 'D', 1},
      {"p / - //X \\X5", 'X', 0}, {"p a /X1 /X2", 'X', 2}, {"p /Q", 'q', 1},
      {"p /\xc9", '\xe9', 0},   {"p", 'H', 0},            {"p \"\" /H", 'H', 1},
      {"p \" \"", 'H', 0},
  };
  for (const auto& [commandLine, letter, expected] : cases) {
    SCOPED_TRACE(std::string(commandLine) + " letter " + letter);
    UseCommandLine(commandLine);
    EXPECT_EQ(FindSwitch(letter), expected);
    EXPECT_EQ(SwitchPresent(letter), expected != 0);
  }
}

TEST(SwitchValue, Table) {
  const std::string zeros252(252, '0');
  const std::string zeros253(253, '0');
  const std::string longValue252 = "p /X" + zeros252 + "800abc";
  const std::string longValue253 = "p /X" + zeros253 + "800abc";
  // command line, letter, expected value
  const std::tuple<std::string, char, int> cases[] = {
      {"p /X800", 'X', 800},
      {"p /X800 /X1024", 'X', 800},
      {"p /Display1", 'D', 0},
      {"p /X", 'X', 0},
      {"p /X 800", 'X', 0},
      {"p /X=800", 'X', 0},
      {"p /X:800", 'X', 0},
      {"p /Xabc", 'X', 0},
      {"p /X800px", 'X', 0},
      {"p /X+800", 'X', 800},
      {"p /X-5", 'X', -5},
      {"p /X0000800", 'X', 800},
      {"p /Dx1", 'D', 1},
      {"p /D$A", 'D', 10},
      {"p /X0x320", 'X', 800},
      {"p /DX", 'D', 0},
      {"p /X$", 'X', 0},
      {"p /X2147483647", 'X', 2147483647},
      {"p /X2147483648", 'X', 0},
      {"p /X-2147483648", 'X', -2147483647 - 1},
      {"p /X-2147483649", 'X', 0},
      {"p /X$FFFFFFFF", 'X', -1},
      {"p /X-$FFFFFFFF", 'X', 1},
      {"p /X-$80000000", 'X', -2147483647 - 1},
      {"p /X$100000000", 'X', 0},
      {"p /X$0000000FFFFFFFF", 'X', -1},
      {"p \"/X 800\"", 'X', 800},
      {"p \"/X800 \"", 'X', 0},
      {"p \"/X\t800\"", 'X', 0},
      {"p /X-", 'X', 0},
      {"p /X--5", 'X', 0},
      {"p \"/X- 5\"", 'X', 0},
      {"p /X+-5", 'X', 0},
      {"p /X8.5", 'X', 0},
      {"p /Y600", 'X', 0},
      {longValue252, 'X', 800},
      {longValue253, 'X', 80},
  };
  for (const auto& [commandLine, letter, expected] : cases) {
    SCOPED_TRACE(commandLine.substr(0, 40));
    UseCommandLine(commandLine.c_str());
    EXPECT_EQ(SwitchValue(letter), expected);
  }
}

TEST(ParseInteger, Table) {
  // text, succeeds, value
  const std::tuple<const char*, bool, int> cases[] = {
      {"0", true, 0},           {"   42", true, 42},        {"", false, 0},
      {"   ", false, 0},        {"+", false, 0},          {"- 5", false, 0},
      {"0x", false, 0},         {"0X1f", true, 31},       {"X1F", true, 31},
      {"$7FFFFFFF", true, 2147483647}, {"-$1", true, -1}, {"$80000000", true, -2147483647 - 1},
      {"-0", true, 0},          {"00000000000000000002147483647", true, 2147483647},
      {"99999999999999999999", false, 0}, {"$G", false, 0}, {"1 ", false, 0},
      {"\t1", false, 0},
  };
  for (const auto& [text, succeeds, value] : cases) {
    SCOPED_TRACE(text);
    std::int32_t parsed = 12345;
    EXPECT_EQ(ParseInteger(text, parsed), succeeds);
    // A text that does not convert leaves the number as it was.
    EXPECT_EQ(parsed, succeeds ? value : 12345);
  }
}

TEST(LoCase, FoldsOnlyAsciiLetters) {
  const std::tuple<char, char> cases[] = {
      {'A', 'a'}, {'Z', 'z'}, {'q', 'q'}, {'@', '@'}, {'[', '['}, {'\xc9', '\xc9'}, {'\xe9', '\xe9'},
  };
  for (const auto& [c, folded] : cases) EXPECT_EQ(LoCase(c), folded) << int(static_cast<unsigned char>(c));
}

}  // namespace
