#pragma once
// Starting helper programs (file manager, browser, folder chooser). Paths
// and addresses reach them only as single arguments, never through a shell.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
  int exitCode = -1;   // -1 when the program could not be started or was killed
  std::string output;  // what it wrote on standard output
};

// Runs a program found on PATH and waits for it; standard input is empty.
ProcessResult RunProcess(const std::vector<std::string>& argv);

// Starts a program found on PATH without waiting. onExit (may be empty) runs
// on the GUI thread from PollProcesses once it has ended, with its exit code
// (-1 when it could not be started at all).
void StartProcess(const std::vector<std::string>& argv, std::function<void(int exitCode)> onExit = {});

// Reaps programs started with StartProcess; called once per frame.
void PollProcesses();

// True when a program of that name is on PATH.
bool ProgramOnPath(const std::string& name);

}  // namespace platform
