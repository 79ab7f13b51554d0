// velkor-bridge: the counts of the configured units, polled unattended, published to an MQTT
// broker. See velkor-bridge(1) and velkor-bridge.toml(5).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeRun.h"
#include "bridge/Log.h"

namespace {

constexpr int EXIT_RUNTIME_FAILURE = 1;
constexpr int EXIT_USAGE = 2;

const char* const USAGE =
    "Usage: velkor-bridge --config FILE [--check | --once] [--verbose]\n"
    "Polls the units of the configured gateways and publishes their counts to an MQTT broker,\n"
    "until SIGTERM or SIGINT.\n"
    "  --config FILE  the configuration (TOML; see velkor-bridge.toml(5))\n"
    "  --check        check the configuration and exit\n"
    "  --once         one round: publish it, wait for the broker's acknowledgements, exit 0\n"
    "                 when every unit was read, 1 otherwise\n"
    "  --verbose      add the frame trace of every gateway to the log\n"
    "  --help, --version\n"
    "Exit status: 0 normal, 1 a failure at run time, 2 bad usage or configuration.\n";

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    std::string host = name;
    return host.substr(0, host.find('.'));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string configPath;
    BridgeMode mode = BridgeMode::Run;
    bool verbose = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help") {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("velkor-bridge %s\n", VELKOR_VERSION_TEXT);
            return 0;
        }
        if (arg == "--check" || arg == "--once") {
            const BridgeMode asked = arg == "--check" ? BridgeMode::Check : BridgeMode::Once;
            if (mode != BridgeMode::Run && mode != asked) {
                std::fprintf(stderr, "velkor-bridge: give --check or --once, not both\n%s", USAGE);
                return EXIT_USAGE;
            }
            mode = asked;
        } else if (arg == "--verbose") {
            verbose = true;
        } else if (arg == "--config" && i + 1 < args.size()) {
            configPath = args[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            configPath = arg.substr(9);
        } else {
            std::fprintf(stderr, "velkor-bridge: unknown option '%s'\n%s", arg.c_str(), USAGE);
            return EXIT_USAGE;
        }
    }
    if (configPath.empty()) {
        std::fprintf(stderr, "velkor-bridge: --config FILE is required\n%s", USAGE);
        return EXIT_USAGE;
    }
    std::string error;
    const auto config = ReadBridgeConfig(configPath, HostName(), error);
    if (!config) {
        std::fprintf(stderr, "velkor-bridge: %s\n", error.c_str());
        return EXIT_USAGE;
    }
    if (mode == BridgeMode::Check) {
        std::printf("%s: %zu gateways, configuration valid\n", configPath.c_str(),
                    config->gateways.size());
        return 0;
    }
    SetVerbose(verbose);
    return RunBridge(*config, mode) ? 0 : EXIT_RUNTIME_FAILURE;
}
