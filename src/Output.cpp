#include "Output.h"

#include <cstring>
#include <string>

#include "platform/Console.h"

namespace {

constexpr std::size_t BufferSize = 128;

char Buffer[BufferSize];
std::size_t BufferedCount = 0;
bool StdOutOpened = false;
bool StdOutConsole = false;

struct ErrorText {
  int Code;
  const char* Text;
};

constexpr ErrorText ErrorTexts[] = {
    {2, "File not found"},
    {3, "Invalid filename"},
    {4, "Too many open files"},
    {5, "File access denied"},
    {100, "Read beyond end of file"},
    {101, "Disk full"},
    {106, "Invalid numeric input"},
};

std::string FailureText(int errorCode) {
  for (const ErrorText& entry : ErrorTexts) {
    if (entry.Code == errorCode) return entry.Text;
  }
  return "I/O error " + std::to_string(errorCode);
}

int WriteBuffer() {
  const std::size_t count = BufferedCount;
  BufferedCount = 0;
  return count == 0 ? 0 : WriteStdOut(Buffer, count);
}

[[noreturn]] void FailStep(int errorCode, const void* stepAddress) {
  // The text that failed is not retried: the report follows at once.
  BufferedCount = 0;
  ReportOutputFailure(errorCode, stepAddress);
  throw RunEnd{1};
}

void Append(std::string_view text, const void* stepAddress) {
  while (!text.empty()) {
    const std::size_t room = BufferSize - BufferedCount;
    const std::size_t taken = text.size() < room ? text.size() : room;
    std::memcpy(Buffer + BufferedCount, text.data(), taken);
    BufferedCount += taken;
    text.remove_prefix(taken);
    if (BufferedCount == BufferSize) {
      if (const int error = WriteBuffer()) FailStep(error, stepAddress);
    }
  }
}

void OutputStep(std::initializer_list<std::string_view> pieces, bool lineEnd,
                const void* stepAddress) {
  if (!StdOutOpened) {
    if (const int error = OpenStdOut()) FailStep(error, stepAddress);
    StdOutOpened = true;
    StdOutConsole = StdOutIsConsole();
  }
  for (std::string_view piece : pieces) Append(piece, stepAddress);
  if (lineEnd) Append("\r\n", stepAddress);
  if (StdOutConsole) {
    if (const int error = WriteBuffer()) FailStep(error, stepAddress);
  }
}

}  // namespace

__attribute__((noinline)) void WriteText(std::initializer_list<std::string_view> pieces) {
  OutputStep(pieces, false, __builtin_return_address(0));
}

__attribute__((noinline)) void WriteLine(std::initializer_list<std::string_view> pieces) {
  OutputStep(pieces, true, __builtin_return_address(0));
}

int FlushOutput() { return WriteBuffer(); }

void ReportOutputFailure(int errorCode, const void* stepAddress) {
  std::string text = FailureText(errorCode);
  if (text.empty() || text.back() != '.') text += '.';
  std::uint32_t address = ModuleOffset(stepAddress);
  char offset[9] = {};
  for (int digit = 7; digit >= 0; --digit, address >>= 4) offset[digit] = "0123456789ABCDEF"[address & 15];
  WriteStdErr("Exception EInOutError in module " + ModuleName() + " at " + offset + ".\r\n" +
              text + "\r\n\r\n");
}
