#pragma once
// Small timing helpers shared by the benchmarks.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

double Median(std::vector<double> values);
// Runs body repeat times and returns the median wall time in seconds.
double MedianSeconds(int repeat, const std::function<void()>& body);
// Runs a program (argv, no shell) with its standard output thrown away;
// returns its wall time in seconds, or a negative value when it failed.
double TimeProgram(const std::vector<std::string>& argv);
double MedianProgramSeconds(int repeat, const std::vector<std::string>& argv);

// A private settings folder for the benchmark's run, so the user's settings
// stay untouched; removed at the end.
class ScopedConfigFolder {
 public:
  ScopedConfigFolder();
  ~ScopedConfigFolder();
  bool Ok() const { return !path.empty(); }

 private:
  std::string path;
};
