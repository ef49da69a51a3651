#include "SimOptions.h"
#include "Simulator.h"

#include <csignal>
#include <cstdio>

int main(int argc, char *argv[])
{
    const SimParse parsed = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "vantrel-sim : %s\n\n%s", parsed.error.c_str(), simUsage().c_str());
        return 2;
    }
    if (parsed.options->help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }

    Simulator sim(*parsed.options);
    if (!sim.start()) {
        std::fprintf(stderr, "vantrel-sim : %s\n", sim.error().c_str());
        return 1;
    }

    struct sigaction sa{};
    sa.sa_handler = [](int) { Simulator::stopFromSignal(); };
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", sim.path().c_str());
    std::fflush(stdout);
    return sim.run();
}
