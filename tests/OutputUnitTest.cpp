// The output layer in process, over a console double whose writes fail with any error code:
// codes no operating system here gives on demand reach the failure report as well.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "Output.h"
#include "platform/Console.h"

namespace {

int FailWith = 0;            // what every write to standard output answers
std::string Written;         // bytes standard output took
std::size_t WriteCalls = 0;  // writes standard output was asked for
std::string Err;
const void* OffsetAskedFor = nullptr;  // the code address the report asked to place

constexpr std::uint32_t LoadOffset = 0x00A0B1C2;

}  // namespace

int OpenStdOut() { return 0; }
bool StdOutIsConsole() { return true; }

int WriteStdOut(const char* bytes, std::size_t count) {
  ++WriteCalls;
  if (FailWith != 0) return FailWith;
  Written.append(bytes, count);
  return 0;
}

void WriteStdErr(const std::string& text) { Err += text; }
std::string ModuleName() { return "Tavelon.exe"; }

std::uint32_t ModuleOffset(const void* codeAddress) {
  OffsetAskedFor = codeAddress;
  return LoadOffset;
}

namespace {

// Runs one output step, as the main sequence would, and returns the exit code it ends the
// run with, or -1 when the run goes on.
int Step(std::string_view text) {
  try {
    WriteLine({text});
  } catch (const RunEnd& end) {
    return end.ExitCode;
  }
  return -1;
}

TEST(FailureReport, EveryCodeGetsItsText) {
  // error code, text of the report's second line
  const std::tuple<int, const char*> cases[] = {
      {2, "File not found."},
      {3, "Invalid filename."},
      {4, "Too many open files."},
      {5, "File access denied."},
      {100, "Read beyond end of file."},
      {101, "Disk full."},
      {106, "Invalid numeric input."},
      {1, "I/O error 1."},
      {6, "I/O error 6."},
      {32, "I/O error 32."},
      {105, "I/O error 105."},
      {233, "I/O error 233."},
  };
  // Longer than the buffer, so the step fails whether or not it waits for its end.
  const std::string line(200, 'x');
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    FailWith = code;
    Err.clear();
    Written.clear();
    WriteCalls = 0;
    OffsetAskedFor = nullptr;
    EXPECT_EQ(Step(line), 1);
    EXPECT_EQ(Err, std::string("Exception EInOutError in module Tavelon.exe at 00A0B1C2.\r\n") + text + "\r\n\r\n");
    EXPECT_NE(OffsetAskedFor, nullptr);
    EXPECT_EQ(WriteCalls, 1u) << "the step goes on writing after its write failed";
    // The text that failed is dropped: the end of the run has nothing left to write.
    FailWith = 0;
    EXPECT_EQ(FlushOutput(), 0);
    EXPECT_EQ(Written, "");
  }
}

TEST(FailureReport, OffsetIsAskedForTheFailingStep) {
  // Two steps written at two places ask for two code addresses; a step that succeeds asks
  // for none.
  FailWith = 0;
  OffsetAskedFor = nullptr;
  EXPECT_EQ(Step("fine"), -1);
  EXPECT_EQ(OffsetAskedFor, nullptr);
  EXPECT_EQ(FlushOutput(), 0);

  FailWith = 5;
  const void* first = nullptr;
  try {
    WriteLine({"first"});
  } catch (const RunEnd&) {
    first = OffsetAskedFor;
  }
  const void* second = nullptr;
  try {
    WriteText({"second"});
  } catch (const RunEnd&) {
    second = OffsetAskedFor;
  }
  EXPECT_NE(first, nullptr);
  EXPECT_NE(second, nullptr);
  EXPECT_NE(first, second);
  FailWith = 0;
}

}  // namespace
