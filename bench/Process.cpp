#include "Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

extern char** environ;

namespace {

// The bench's environment with `extra` laid over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        merged[text.substr(0, text.find('='))] = text;
    }
    for (const std::string& text : extra)
        merged[text.substr(0, text.find('='))] = text;
    std::vector<std::string> result;
    for (auto& [name, text] : merged)
        result.push_back(text);
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool Exited(pid_t pid, int& status, std::chrono::milliseconds within) {
    const auto end = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 bool captureOutput) {
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = MergedEnvironment(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeFds, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                     Pointers(environment).data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipeFds[1] >= 0) close(pipeFds[1]);
    outputFd = pipeFds[0];
}

Process::~Process() {
    if (pid > 0) Stop();
    if (outputFd >= 0) close(outputFd);
}

int Process::Stop() {
    if (pid <= 0) return -1;
    int status = -1;
    kill(pid, SIGTERM);
    if (!Exited(pid, status, std::chrono::seconds(1))) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    pid = -1;
    return status;
}

int Process::Wait() {
    if (pid <= 0) return -1;
    int status = -1;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunQuietly(const std::vector<std::string>& argv) {
    return Process(argv).Wait() == 0;
}

std::map<int, uint64_t> ThreadCpuNanoseconds(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::map<int, uint64_t> threads;
    DIR* directory = opendir(tasks.c_str());
    if (directory == nullptr) return threads;
    while (const dirent* entry = readdir(directory)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        uint64_t onCpu = 0;
        if (schedstat >> onCpu) threads[std::atoi(entry->d_name)] = onCpu;
    }
    closedir(directory);
    return threads;
}

uint64_t CpuNanosecondsBetween(const std::map<int, uint64_t>& before,
                               const std::map<int, uint64_t>& after) {
    uint64_t total = 0;
    for (const auto& [thread, onCpu] : after) {
        const auto earlier = before.find(thread);
        const uint64_t start = earlier == before.end() ? 0 : earlier->second;
        if (onCpu > start) total += onCpu - start;
    }
    return total;
}

long ResidentKilobytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}
