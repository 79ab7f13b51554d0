#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A child process of the bench, started with extra environment variables and quiet output.
class Process {
public:
    // Starts argv[0] (searched on PATH) with `env` added to the bench's own environment,
    // "NAME=VALUE". Its standard output is discarded unless captured.
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            bool captureOutput = false);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return pid; }
    // The captured standard output, to read; -1 when not captured.
    int Output() const { return outputFd; }
    // SIGTERM, then SIGKILL after a second; waits for the end. Returns the wait status.
    int Stop();
    // Waits for the end by itself; the exit status, or -1.
    int Wait();

private:
    pid_t pid = -1;
    int outputFd = -1;
};

// Runs a command to its end with its output discarded; true on exit status 0.
bool RunQuietly(const std::vector<std::string>& argv);

// CPU time of each thread of `pid` so far, in nanoseconds, by thread id (from the scheduler's
// statistics, which unlike clock ticks resolve the few milliseconds an idle process uses).
std::map<int, uint64_t> ThreadCpuNanoseconds(pid_t pid);

// CPU time used between two readings of the same process: a thread that started meanwhile counts
// whole, one that ended meanwhile is not seen by the second reading and counts nothing.
uint64_t CpuNanosecondsBetween(const std::map<int, uint64_t>& before,
                               const std::map<int, uint64_t>& after);
// Resident set size of `pid` in kilobytes.
long ResidentKilobytes(pid_t pid);
