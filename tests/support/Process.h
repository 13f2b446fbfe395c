// Runs a built program as a child process, with its standard output on a pipe, a file,
// a pseudo-terminal, /dev/full, /dev/null or closed, and collects what it wrote and its
// exit code.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

enum class StdOutKind {
  Pipe,            // read to the end
  File,            // a regular file, read after the run
  Terminal,        // a pseudo-terminal in raw mode, read to the end
  TerminalHangsUp, // a pseudo-terminal whose master side is closed after the first CR LF:
                   // every later write to it fails (EIO)
  TerminalGone,    // a pseudo-terminal whose master side is closed before the program starts
  DiskFull,        // /dev/full
  DevNull,         // /dev/null
  Closed,          // descriptor 1 closed
  ReaderQuits,     // a pipe of one page whose reader closes it after the first CR LF: output
                   // beyond two pages cannot all fit before the reader is gone
  ReaderGone,      // a pipe whose reader has closed it before the program starts
  FullPipe,        // a pipe of one page, read only after it is full and WhenFull has run
};

struct RunOptions {
  std::vector<std::string> Arguments;                            // after the program
  std::vector<std::pair<std::string, std::string>> Environment;  // set on top of ours
  std::vector<std::string> Unset;                                // removed from ours
  StdOutKind Output = StdOutKind::Pipe;
  std::string OutputFile;  // for File: where it goes (made empty first)
  int TimeoutSeconds = 60;
  // When set, standard error goes to this file (made empty first) and Err holds it after
  // the run; for programs that leave daemons behind holding their descriptors.
  std::string ErrorFile;
  unsigned short TerminalColumns = 0;  // for Terminal: the width it reports; 0 reports none
  // For FullPipe: how many bytes the program can write before the pipe is full (the rest
  // of the page is filled beforehand and left out of Out), and what happens while it then
  // waits to write; WhenFull is not run when the program ends before it fills the pipe.
  int FullPipeRoom = 0;
  std::function<void()> WhenFull;
};

struct RunResult {
  std::string Out;
  std::string Err;
  int ExitCode = -1;  // -1: killed by a signal or by the timeout
  bool TimedOut = false;
};

RunResult RunProgram(const std::string& program, const RunOptions& options);

// A fresh private folder under the system's temporary folder, removed with its contents
// when the object goes.
struct TempFolder {
  std::string Path;
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string File(const std::string& name) const { return Path + "/" + name; }
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// Starts a program in its own process group with the variables set on top of ours (an empty
// value removes one), standard streams on /dev/null or the log file. Its pid.
int SpawnProgram(const std::vector<std::string>& arguments,
                 const std::vector<std::pair<std::string, std::string>>& environment, const std::string& logFile);

// SIGTERM, a bounded wait, then SIGKILL: only the pid given.
void StopProgram(int pid);
