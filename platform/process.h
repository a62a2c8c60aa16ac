#pragma once
// Starting helper programs (file manager, browser, folder chooser). Paths
// and addresses reach them only as single arguments, never through a shell.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Called once a started program has ended: its exit code (-1 when it could
// not be started or was killed) and, when asked for, what it wrote on its
// standard output and standard error.
using ProcessExit = std::function<void(int exitCode, const std::string& output, const std::string& errors)>;

// Whether the program's output is read. Programs whose output is not read
// (and whatever they start, a browser or file manager) write to /dev/null,
// never into a pipe nobody empties.
enum class ProcessOutput { Discard, Read };

// Starts a program found on PATH without waiting; its standard input is
// empty. onExit (may be empty) runs from PollProcesses, on the GUI thread,
// or at once when the program cannot be started.
void StartProcess(const std::vector<std::string>& argv, ProcessExit onExit = {},
                  ProcessOutput output = ProcessOutput::Discard);

// Collects output and reaps programs started with StartProcess; called once
// per frame, so nothing the program starts ever blocks the frame loop.
bool PollProcesses();  // true when a program ended (its onExit ran)
// True while a started program is still running.
bool ProcessesRunning();

// True when a program of that name is on PATH.
bool ProgramOnPath(const std::string& name);

}  // namespace platform
