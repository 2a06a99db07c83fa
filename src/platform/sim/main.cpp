// kelo-sim: the game without a window, driven by a script or the bot (see --help).

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sim/SimError.h"
#include "platform/sim/Simulation.h"

int main(int argc, char** argv) {
    try {
        kelo::CommandLine commandLine = kelo::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (commandLine.helpRequested) {
            std::fputs(kelo::SimUsageText(), stdout);
            return 0;
        }
        // The command line reads nothing back from the simulation: a long one keeps no list.
        commandLine.options.keepSounds = false;
        if (!commandLine.options.exportHistoryPath.empty()) return kelo::ExportHistory(commandLine.options);
        kelo::SimResult result = kelo::RunSimulation(commandLine.options);
        if (!result.message.empty()) std::fprintf(stderr, "kelo-sim: %s\n", result.message.c_str());
        if (!result.outputError.empty()) std::fprintf(stderr, "kelo-sim: %s\n", result.outputError.c_str());
        return result.exitCode;
    } catch (const kelo::SimUsageError& error) {
        std::fprintf(stderr, "kelo-sim: %s\n", error.what());
        return 2;
    }
}
