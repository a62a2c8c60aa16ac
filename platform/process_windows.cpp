// Helper programs on Windows. A program gets one command line, which it
// splits into arguments by the C runtime's rules: each argument is quoted
// here by those rules, so a path or address stays one argument whatever it
// holds. No command interpreter is ever involved.
#include <windows.h>

#include <atomic>
#include <list>
#include <memory>
#include <thread>

#include "platform/process.h"
#include "platform/utf16_windows.h"

namespace platform {
namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only before a quote.
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

// Reads a pipe to its end on a thread of its own, so a program that writes
// much never waits for the frame loop.
struct PipeReader {
  HANDLE read = nullptr;
  std::string text;  // the reader's until finished
  std::atomic<bool> finished{false};
  std::thread worker;
  void Start() {
    worker = std::thread([this] {
      char buffer[4096];
      DWORD got = 0;
      while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
      finished.store(true, std::memory_order_release);
    });
  }
  bool Finished() const { return finished.load(std::memory_order_acquire); }
  ~PipeReader() {
    if (worker.joinable()) worker.join();
    if (read) CloseHandle(read);
  }
};

struct RunningProcess {
  HANDLE process = nullptr;
  std::unique_ptr<PipeReader> output, errors;
  ProcessExit onExit;
};
std::list<RunningProcess> running;

// A pipe whose write end the child inherits; false when none can be made.
bool MakePipe(HANDLE& read, HANDLE& write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&read, &write, &inherit, 0)) return false;
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  return true;
}

HANDLE OpenNul(DWORD access) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

void StartProcess(const std::vector<std::string>& argv, ProcessExit onExit, ProcessOutput output) {
  const auto fail = [&onExit] {
    if (onExit) onExit(-1, {}, {});
  };
  if (argv.empty()) return fail();
  std::wstring line;
  for (const std::string& argument : argv) AppendArgument(line, Utf16(argument));

  HANDLE input = OpenNul(GENERIC_READ);
  HANDLE outWrite = nullptr, errWrite = nullptr;
  auto out = std::make_unique<PipeReader>(), err = std::make_unique<PipeReader>();
  const bool read = output == ProcessOutput::Read;
  if (read) {
    if (!MakePipe(out->read, outWrite) || !MakePipe(err->read, errWrite)) {
      if (outWrite) CloseHandle(outWrite);
      CloseHandle(input);
      return fail();
    }
  } else {
    outWrite = OpenNul(GENERIC_WRITE);
    errWrite = OpenNul(GENERIC_WRITE);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION started{};
  const bool ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &startup, &started);
  for (HANDLE handle : {input, outWrite, errWrite})
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (!ok) return fail();
  CloseHandle(started.hThread);
  if (read) {
    out->Start();
    err->Start();
  }
  running.push_back({started.hProcess, read ? std::move(out) : nullptr, read ? std::move(err) : nullptr, std::move(onExit)});
}

bool PollProcesses() {
  bool ended = false;
  for (auto it = running.begin(); it != running.end();) {
    // Done once it has ended and its output is read to the end (what it
    // started may hold the pipes a little longer: the next poll looks again).
    const bool outputRead = !it->output || (it->output->Finished() && it->errors->Finished());
    if (!outputRead || WaitForSingleObject(it->process, 0) != WAIT_OBJECT_0) {
      ++it;
      continue;
    }
    DWORD code = 0;
    const int exitCode = GetExitCodeProcess(it->process, &code) ? static_cast<int>(code) : -1;
    CloseHandle(it->process);
    RunningProcess done = std::move(*it);
    it = running.erase(it);
    std::string outputText, errorText;
    if (done.output) {
      done.output->worker.join();
      done.errors->worker.join();
      outputText = std::move(done.output->text);
      errorText = std::move(done.errors->text);
    }
    if (done.onExit) done.onExit(exitCode, outputText, errorText);
    ended = true;
  }
  return ended;
}

bool ProcessesRunning() { return !running.empty(); }

bool ProgramOnPath(const std::string& name) {
  wchar_t found[MAX_PATH];
  return SearchPathW(nullptr, Utf16(name).c_str(), L".exe", MAX_PATH, found, nullptr) > 0;
}

}  // namespace platform
