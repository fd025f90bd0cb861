// Runs commands side by side as whole processes, interleaved round by round,
// and prints their median wall and CPU times with the per-round ratios to the
// first (ours). The scripts in bench/ use it for every comparison with other
// tools.
//
//   compare [--rounds N] [--warm-up N] [--tsv FILE] -- NAME [VAR=VALUE…] COMMAND [ARG…]
//           [-- NAME [VAR=VALUE…] COMMAND [ARG…]]…
//
// VAR=VALUE words before a command go into its environment. The TSV file gets
// one line per side: name, wall ms, CPU s, wall/ours, CPU/ours.
#include "Interleave.h"

#include <cstring>

namespace {

int usage() {
    std::fprintf(stderr, "usage: compare [--rounds N] [--warm-up N] [--tsv FILE] -- NAME "
                         "[VAR=VALUE...] COMMAND [ARG...] [-- NAME ...]...\n");
    return 2;
}

bool isAssignment(const std::string& word) {
    const auto equals = word.find('=');
    return equals != std::string::npos && equals > 0 &&
           word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789") == equals;
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    int warmUp = 1;
    const char* tsv = nullptr;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (i + 1 >= argc) {
            return usage();
        }
        if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--warm-up") == 0) {
            warmUp = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--tsv") == 0) {
            tsv = argv[++i];
        } else {
            return usage();
        }
    }
    std::vector<bench::Side> sides;
    while (i < argc) {
        ++i; // the "--"
        if (i >= argc) {
            return usage();
        }
        const std::string name = argv[i++];
        std::vector<std::string> environment, command;
        for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
            if (command.empty() && isAssignment(argv[i])) {
                environment.emplace_back(argv[i]);
            } else {
                command.emplace_back(argv[i]);
            }
        }
        if (command.empty()) {
            return usage();
        }
        sides.push_back(
            {name, [environment, command] { return bench::runCommand(command, environment); }});
    }
    if (sides.size() < 2 || rounds < 1) {
        return usage();
    }
    const auto results = bench::interleave(sides, rounds, warmUp);
    bench::printResults(results, rounds);
    if (tsv) {
        bench::writeTsv(tsv, results);
    }
    return 0;
}
