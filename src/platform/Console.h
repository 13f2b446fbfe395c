// The process environment, as the core sees it: arguments, standard output and error,
// the program's own name and address, and the end of the process.
// posix/ and win32/ each implement this header; the build links exactly one of them.
// Operating-system error codes are turned into the codes below right here, never later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Error code for a standard output that cannot be opened.
constexpr int StdOutNotOpen = 105;
// Error code for a device that is full.
constexpr int StdOutDiskFull = 101;

// Prepares the process; on POSIX a closed pipe must then not kill it.
void StartProcess();

// The process's command-line string, or null where the platform hands the program
// an argument vector instead (POSIX).
const char* ProcessCommandLine();

// Next character of a command line in the platform's 8-bit code page: a double-byte
// character is stepped over whole. Never steps past the terminating NUL.
const char* NextCommandLineChar(const char* at);

// Opens standard output if not yet open: 0, or the error code of the failure.
int OpenStdOut();

// Whether standard output is a character device (a console or terminal). Valid after OpenStdOut.
bool StdOutIsConsole();

// Writes all bytes to standard output: 0, or the error code of the failure.
int WriteStdOut(const char* bytes, std::size_t count);

// Writes the failure report to standard error in the console's code page; failures are ignored.
void WriteStdErr(const std::string& text);

// The file name of the running program, without its folder.
std::string ModuleName();

// Offset of a code address within the loaded program.
std::uint32_t ModuleOffset(const void* codeAddress);

// Ends the process with the exit code; runs no further program code.
[[noreturn]] void EndProcess(int exitCode);
