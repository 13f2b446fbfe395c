// The one writer of standard output: a 128-byte buffer written out at the end of every
// output step on a console, and when full or at the end of the run otherwise.
// A step that cannot be written ends the run with the failure report and exit code 1.
#pragma once

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string_view>

// Thrown to end the run early; caught only by the main sequence, which runs the end steps.
struct RunEnd {
  int ExitCode;
};

// Decimal text of a number, held in place so that writing numbers allocates nothing.
struct DecimalText {
  char Digits[12];
  std::size_t Length;

  explicit DecimalText(std::int64_t number) {
    Length = static_cast<std::size_t>(std::to_chars(Digits, Digits + sizeof Digits, number).ptr - Digits);
  }
  operator std::string_view() const { return {Digits, Length}; }
};

// One output step of the pieces in order, with no line end.
void WriteText(std::initializer_list<std::string_view> pieces);

// One output step of the pieces in order, ended by CR LF.
void WriteLine(std::initializer_list<std::string_view> pieces = {});

// Writes out what is still buffered: 0, or the error code of the failure.
// Used only by the end of the run.
int FlushOutput();

// Writes the failure report for an output error at the given code address to standard error.
void ReportOutputFailure(int errorCode, const void* stepAddress);
