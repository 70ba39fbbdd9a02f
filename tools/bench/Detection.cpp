// Protocol detection: how long the sweep takes to find the protocol the
// simulator plays while another decoder is selected (so that the speeds
// tried first hear it garbled, through the simulator's wrong-rate model),
// how long the whole sweep takes over a silent line, and how many of a
// thousand sweeps over random bytes, sent at a random speed, find anything.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "protocols/Catalogue.h"
#include "protocols/Detection.h"
#include "tools/bench/support/ChildProcess.h"
#include "tools/bench/support/Clock.h"
#include "tools/bench/support/LinkSession.h"
#include "tools/bench/support/Machine.h"
#include "tools/bench/support/PortSandbox.h"
#include "tools/bench/support/RecordingWindow.h"
#include "tools/bench/support/Results.h"
#include "tools/bench/support/Stats.h"
#include "tools/kmsim/HeardLine.h"
#include "workers/LineListener.h"

namespace {

using bench::Clock;

constexpr double kFindTargetMs = 1000;
constexpr double kSweepTargetMs = 4000;

struct Swept {
    protocols::Finding result;
    bool silent = false;
    double ms = 0;
};

// The sweep on the open port as the detection dialog runs it: each speed
// set and the port purged, then one listening window.
Swept SweepPort() {
    linkcore::LinkState& s = linkcore::Link();
    const platform::Event stop;
    protocols::Sweep sweep;
    const Clock::time_point start = Clock::now();
    while (!sweep.Done()) {
        const unsigned speed = sweep.Speed();
        linkcore::SetLineSpeed(protocols::LineModeString(speed), static_cast<int>(speed));
        linkcore::PurgePort(s);
        sweep.Take(workers::ListenAtSpeed(s, speed, stop));
    }
    return {sweep.Result(), sweep.Silent(), bench::Ms(Clock::now() - start)};
}

struct FindCase {
    const char* label;
    const char* name;  // --protocol of the simulator
    int protocol;
    int selected;  // the decoder selected when the sweep starts
};

void FindProtocol(const FindCase& c, int reps) {
    std::vector<double> ms;
    int wrong = 0;
    for (int rep = 0; rep < reps; ++rep) {
        bench::PortSandbox sandbox;
        bench::ChildProcess sim({{KMSIM_BINARY, "--protocol", c.name, "--port", "1", "--port-dir",
                                  sandbox.portDirectory(), "--seed", std::to_string(rep + 1), "--quiet"},
                                 {},
                                 true});
        if (!sim.ReadLineStartingWith("COM1 ", 10000)) {
            std::printf("%s: the simulator did not start\n", c.label);
            return;
        }
        linkcore::ResetLinkDataForTests();
        bench::RecordingWindow window;
        bench::LinkSession session(window);
        if (!session.Connect(c.selected)) {
            std::printf("%s: no port\n", c.label);
            return;
        }
        const Swept swept = SweepPort();
        const bool right = swept.result.kind == protocols::Finding::Kind::Protocol &&
                           swept.result.protocol == c.protocol &&
                           swept.result.speed == protocols::Protocol(c.protocol).connect.speed;
        wrong += right ? 0 : 1;
        ms.push_back(swept.ms);
        std::printf("%s: %.0f ms, %s at %u bit/s, %d frames, %d errors\n", c.label, swept.ms,
                    right ? "found" : "NOT found", swept.result.speed, swept.result.frames, swept.result.errors);
    }
    const bench::Summary s = bench::Summarise(ms);
    bench::PrintResult({"detect", std::string(c.label) + " found", bench::Fixed(s.median, 0), bench::Fixed(s.p99, 0),
                        "ms", "<= 1000 ms, every run", bench::VerdictOf(wrong == 0 && s.p99 <= kFindTargetMs),
                        std::to_string(reps - wrong) + " of " + std::to_string(reps) + " right"});
}

void SilentSweep(int reps) {
    std::vector<double> ms;
    int wrong = 0;
    for (int rep = 0; rep < reps; ++rep) {
        bench::PortSandbox sandbox;
        const auto peer = sandbox.OpenPeer(1);
        linkcore::ResetLinkDataForTests();
        bench::RecordingWindow window;
        bench::LinkSession session(window);
        if (!peer || !session.Connect(protocols::kHaltenRs)) {
            std::printf("silent line: no port\n");
            return;
        }
        const Swept swept = SweepPort();
        wrong += swept.silent && swept.result.kind == protocols::Finding::Kind::Nothing ? 0 : 1;
        ms.push_back(swept.ms);
        std::printf("silent line: whole sweep %.0f ms\n", swept.ms);
    }
    const bench::Summary s = bench::Summarise(ms);
    bench::PrintResult({"detect", "whole sweep, silent line", bench::Fixed(s.median, 0), bench::Fixed(s.p99, 0), "ms",
                        "<= 4000 ms", bench::VerdictOf(wrong == 0 && s.p99 <= kSweepTargetMs),
                        std::to_string(protocols::SweepSpeeds().size()) + " speeds"});
}

// On the model, in line time: random bytes from a sender at a random
// speed, as a UART at each speed of the sweep reads them.
void RandomRuns(int runs) {
    const unsigned rates[] = {600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 57600, 115200};
    std::mt19937_64 random(20261210);
    int finds = 0;
    std::vector<double> ms;
    for (int run = 0; run < runs; ++run) {
        const unsigned rate = rates[random() % std::size(rates)];
        const kmsim::SweepRun swept = kmsim::RunSweep(kmsim::RandomLine(random(), rate));
        if (swept.result.kind != protocols::Finding::Kind::Nothing) {
            ++finds;
            const protocols::Finding& f = swept.result;
            std::printf("random run %d at %u bit/s: a find at %u bit/s: %s, %d frames of %zu from %02X %02X\n", run,
                        rate, f.speed, f.kind == protocols::Finding::Kind::Protocol ? "a decoder" : "a structure",
                        f.frames, f.frameLength, unsigned{f.start[0]}, unsigned{f.start[1]});
        }
        ms.push_back(static_cast<double>(swept.foundAtMs));
    }
    bench::PrintResult({"detect", "false finds, random bytes", std::to_string(finds), "-", "runs",
                        "0 of " + std::to_string(runs), bench::VerdictOf(finds == 0),
                        "random speeds, wrong-rate model"});
    const bench::Summary s = bench::Summarise(ms);
    bench::PrintResult({"detect", "whole sweep, random bytes (model)", bench::Fixed(s.median, 0),
                        bench::Fixed(s.p99, 0), "ms", "<= 4000 ms", bench::VerdictOf(s.p99 <= kSweepTargetMs),
                        "line time"});
}

}  // namespace

int main(int argc, char** argv) {
    bench::LineBufferedOutput();
    const int reps = bench::IntArgument(argc, argv, "--reps", 10);
    const int runs = bench::IntArgument(argc, argv, "--random-runs", 1000);
    std::printf("== protocol detection (%d sweeps per protocol, %d random runs)\n%s\n", reps, runs,
                bench::MachineLine().c_str());
    FindProtocol({"Kugoo M (Halten RS selected)", "kugoo", protocols::kKugooM, protocols::kHaltenRs}, reps);
    FindProtocol({"Halten RS (Kugoo M selected)", "halten", protocols::kHaltenRs, protocols::kKugooM}, reps);
    SilentSweep(std::max(1, reps / 3));
    RandomRuns(runs);
    return 0;
}
