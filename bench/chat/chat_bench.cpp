// chat_bench: the chat's round trip on loopback, with the real replier and asker.
//
//   chat_bench REPLIER ASKER ROUNDS TRIPS
// Starts replier (which binds UDP port 1234 of 127.0.0.1), then asker, both with pipes for
// their standard streams, and plays both people at once: types a line at asker, waits until
// replier shows it and prompts, types the reply at replier, waits until asker shows it and
// prompts again. That is one round trip: one line each way. Every shown text is compared with
// what was typed, so a lost or garbled line stops the run. After a short warm-up it times
// ROUNDS rounds of TRIPS round trips and prints the best round as "<round trips per second>
// <microseconds per round trip>". Exits 1 (with the reason on stderr) if port 1234 is taken
// or either program fails. The same driver times relay_replier and relay_asker (relay.c), the
// chat's hops with nothing else. Run by bench/chat/bench.sh.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "count_arg.h"
#include "process.h"
#include "report.h"

namespace {

using Clock = std::chrono::steady_clock;
using osf::test::Child;

constexpr char kPrompt[] = "Enter the data : \t";
constexpr int kPort = 1234;

// The two programs. Static, so that their destructors (which kill and reap them) run also when
// the harness ends the driver on a failure: a replier left behind would keep port 1234.
Child replier;
Child asker;

// Waits (at most 10 s) until the program has printed `expected` and nothing else.
void expect(Child& program, const char* name, const std::string& expected) {
    const std::string shown = program.read_until(program.out, expected);
    if (shown != expected) {
        report_text("chat_bench: %s printed \"%s\", expected \"%s\"\n", name, shown.c_str(),
                    expected.c_str());
        std::exit(1);
    }
}

void round_trip(long i) {
    const std::string line = "line " + std::to_string(i) + "\n";
    const std::string reply = "reply " + std::to_string(i) + "\n";
    asker.write(line);
    expect(replier, "replier", line + " \n" + kPrompt);
    replier.write(reply);
    expect(asker, "asker", reply + " \n" + kPrompt);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc == 5 ? static_cast<int>(count_arg(argv[3], INT_MAX)) : 0;
    const long trips = argc == 5 ? count_arg(argv[4], INT_MAX) : 0;
    if (rounds <= 0 || trips <= 0) {
        report_text("usage: chat_bench REPLIER ASKER ROUNDS TRIPS\n");
        return 2;
    }
    // Some other program on the port would take the datagrams meant for the replier.
    if (osf::test::udp_port_bound(kPort)) {
        report_text(
            "chat_bench: UDP port 1234 is in use by another program; stop it (a running "
            "replier, or the chat's tests) and run the bench again\n");
        return 1;
    }

    replier = osf::test::spawn({argv[1]});
    for (int i = 0; i < 500 && !osf::test::udp_port_bound(kPort) && !replier.ended(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!osf::test::udp_port_bound(kPort)) {
        report_text("chat_bench: %s did not bind UDP port 1234 within 5 s: %s\n", argv[1],
                    replier.read_for(replier.err, std::chrono::milliseconds(100)).c_str());
        return 1;
    }
    asker = osf::test::spawn({argv[2]});
    expect(asker, "asker", kPrompt);
    long i = 0;
    for (; i < 200; ++i) round_trip(i);  // warm-up

    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto begin = Clock::now();
        for (long n = 0; n < trips; ++n, ++i) round_trip(i);
        const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
        if (seconds < best) best = seconds;
    }
    std::printf("%.0f %.1f\n", static_cast<double>(trips) / best,
                best / static_cast<double>(trips) * 1e6);
    return 0;
}
