#pragma once

// Side-by-side timing shared by the benchmarks that set us against another
// tool. Every side runs once per round, ours first, round after round, so a
// change in the machine's load falls on all sides alike; the table gives the
// medians and, per side, the median of the per-round ratios to ours. CPU time
// is user + system of every thread: the whole child process for a command,
// the whole benchmark process for work done in memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct Sample {
    double wall = 0; // seconds
    double cpu = 0;  // seconds, user + system, all threads
};

inline double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

inline double cpuSeconds(const rusage& usage) {
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

inline double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Work done in this process: the CPU of all its threads (pools included)
// while `work` ran.
inline Sample measure(const std::function<void()>& work) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double start = now();
    work();
    const double end = now();
    getrusage(RUSAGE_SELF, &after);
    return {end - start, cpuSeconds(after) - cpuSeconds(before)};
}

// A whole command, from fork to exit, with the CPU of the child as wait4
// reports it (all its threads). `environment` entries (NAME=VALUE) are added
// to ours. Standard output goes to `output` when given, else nowhere; standard
// error nowhere. Exits the benchmark when the command fails: its numbers
// would mean nothing.
inline Sample runCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment = {},
                         const char* output = nullptr) {
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& entry : environment) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        const int sink = open("/dev/null", O_WRONLY);
        const int out = output ? open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644) : sink;
        dup2(out, STDOUT_FILENO);
        dup2(sink, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        std::perror("bench: running a command");
        std::exit(1);
    }
    const double end = now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string line;
        for (const std::string& arg : argv) {
            line += arg + ' ';
        }
        std::fprintf(stderr, "bench: the command failed (status %d): %s\n", status, line.c_str());
        std::exit(1);
    }
    return {end - start, cpuSeconds(usage)};
}

struct Side {
    std::string name;
    std::function<Sample()> run;
};

inline double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Result {
    std::string name;
    double wall = 0; // medians, seconds
    double cpu = 0;
    double wallRatio = 1; // median over rounds of this side / ours (the first side)
    double cpuRatio = 1;
};

// `warmUp` untimed rounds, then `rounds` timed ones; sides[0] is ours.
inline std::vector<Result> interleave(const std::vector<Side>& sides, int rounds, int warmUp = 1) {
    for (int round = 0; round < warmUp; ++round) {
        for (const Side& side : sides) {
            side.run();
        }
    }
    std::vector<std::vector<Sample>> samples(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < sides.size(); ++i) {
            samples[i].push_back(sides[i].run());
        }
    }
    std::vector<Result> results;
    for (std::size_t i = 0; i < sides.size(); ++i) {
        std::vector<double> wall, cpu, wallRatio, cpuRatio;
        for (int round = 0; round < rounds; ++round) {
            const Sample& s = samples[i][static_cast<std::size_t>(round)];
            const Sample& ours = samples[0][static_cast<std::size_t>(round)];
            wall.push_back(s.wall);
            cpu.push_back(s.cpu);
            wallRatio.push_back(s.wall / std::max(ours.wall, 1e-9));
            cpuRatio.push_back(s.cpu / std::max(ours.cpu, 1e-6));
        }
        results.push_back(
            {sides[i].name, median(wall), median(cpu), median(wallRatio), median(cpuRatio)});
    }
    return results;
}

inline void printResults(const std::vector<Result>& results, int rounds) {
    std::printf("%-46s %10s %8s %9s %9s\n", "", "wall ms", "CPU s", "wall/ours", "CPU/ours");
    for (const Result& r : results) {
        std::printf("%-46s %10.1f %8.3f %9.2f %9.2f\n", r.name.c_str(), r.wall * 1e3, r.cpu,
                    r.wallRatio, r.cpuRatio);
    }
    std::printf("(medians of %d interleaved rounds; the ratios are medians of the per-round "
                "ratios; CPU = user + system of all threads)\n",
                rounds);
    std::fflush(stdout);
}

// One line per side: name, wall ms, CPU s, wall/ours, CPU/ours.
inline void writeTsv(const char* path, const std::vector<Result>& results) {
    if (FILE* file = std::fopen(path, "w")) {
        for (const Result& r : results) {
            std::fprintf(file, "%s\t%.3f\t%.4f\t%.4f\t%.4f\n", r.name.c_str(), r.wall * 1e3, r.cpu,
                         r.wallRatio, r.cpuRatio);
        }
        std::fclose(file);
    }
}

} // namespace bench
