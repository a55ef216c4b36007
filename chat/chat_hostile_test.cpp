// The chat end to end against hostile peers and networks: senders that cannot be answered,
// strangers, ICMP errors, and text meant to act on the terminal.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <utility>

#include "chat_test_util.h"
#include "process.h"

namespace {

using namespace chat::test;
using osf::test::Child;
using osf::test::spawn;

// A sender that cannot be answered (port 0, a broadcast source) is shown like any other; its
// reply is reported on standard error and dropped, and replier goes on serving.
TEST(Chat, ReplierReportsAReplyItCannotSendAndServesOn) {
    struct Case {
        const char* from;
        int port;
        std::string report;
    };
    const Case cases[] = {
        {"127.0.0.1", 0, "replier: 127.0.0.1 port 0 cannot be answered (Invalid argument)"},
        {"127.255.255.255", 4000,
         "replier: 127.255.255.255 port 4000 cannot be answered (Permission denied)"},
        {"255.255.255.255", 4000,
         "replier: 255.255.255.255 port 4000 cannot be answered (Permission denied)"},
    };
    Child replier = start_replier();
    Udp client;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " port " + std::to_string(c.port));
        std::string why;
        if (!send_udp_from(c.from, c.port, wire("hostile\n"), &why)) GTEST_SKIP() << why;
        EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("hostile\n \n") + kPrompt);
        replier.write("lost\n");
        EXPECT_EQ(replier.read_until(replier.err, "\n"), c.report + ": the reply was dropped\n");
        client.send(wire("still there?\n"));
        EXPECT_EQ(replier.read_until(replier.out, kPrompt),
                  std::string("still there?\n \n") + kPrompt);
        replier.write("yes\n");
        auto answer = client.receive();
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->bytes, wire("yes\n"));
    }
    EXPECT_FALSE(replier.ended()) << osf::test::describe_status(replier.status);
}

// A datagram forged with replier's own address and port as its source is neither shown nor
// answered: replier would otherwise answer itself, and take its own replies for a peer's.
TEST(Chat, ReplierDropsADatagramFromItsOwnAddressAndPort) {
    Child replier = start_replier();
    std::string why;
    if (!send_udp_from(CHAT_SERVER_ADDRESS, kPort, wire("forged\n"), &why)) GTEST_SKIP() << why;
    Udp client;
    client.send(wire("real\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("real\n \n") + kPrompt);
    EXPECT_EQ(replier.read_until(replier.err, "\n"),
              std::string("replier: a datagram from our own address ") + CHAT_SERVER_ADDRESS +
                  " port 1234 was dropped\n");
    replier.write("to you\n");
    auto answer = client.receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->bytes, wire("to you\n"));
}

// What the network says about asker's datagrams (ICMP errors, from the host or forged by
// anyone on the path) neither ends asker nor loses its line: with no server it says so and
// waits on; an error pending when a line goes out does not keep that line from the server.
TEST(Chat, AskerWaitsThroughTheNetworksRefusals) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    const std::string still_waiting =
        std::string("asker: the line did not reach ") + CHAT_SERVER_ADDRESS + " port 1234 (";
    Child asker = spawn({ASKER_PATH});
    asker.read_until(asker.out, kPrompt);
    asker.write("anybody there?\n");
    EXPECT_EQ(asker.read_until(asker.err, "\n"),
              still_waiting + "Connection refused); still waiting for an answer\n");

    // The server comes up late and answers: the answer is taken.
    Udp server(true);
    const sockaddr_in client = connected_client();
    ASSERT_NE(client.sin_port, 0) << "asker's socket is not connected to the server";
    server.send_to(wire("late\n"), client);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("late\n \n") + kPrompt);

    // A forged "port unreachable" while the user types: the next line reaches the server all
    // the same.
    std::string why;
    if (!send_unreachable(3, client, &why)) GTEST_SKIP() << why;
    asker.write("second\n");
    auto second = server.receive();
    ASSERT_TRUE(second.has_value()) << "the line after a forged refusal was lost";
    EXPECT_EQ(second->bytes, wire("second\n"));

    // A forged "administratively filtered" while asker waits: said, and the answer still comes.
    ASSERT_TRUE(send_unreachable(13, client, &why)) << why;
    EXPECT_EQ(asker.read_until(asker.err, "\n"),
              still_waiting + "No route to host); still waiting for an answer\n");
    server.send_to(wire("here\n"), second->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("here\n \n") + kPrompt);
    EXPECT_FALSE(asker.ended()) << osf::test::describe_status(asker.status);
}

// A peer's text that would act on the terminal (set the window title, clear the screen, move
// the cursor) shows visibly there, on both sides; UTF-8 text passes. To a pipe the same bytes
// go out unchanged (ReplierPrintsNoMoreThanTheTextWithinEightyBytes).
TEST(Chat, ControlCharactersFromThePeerShowVisiblyOnATerminal) {
    const std::string hostile =
        "\x1b]0;owned\x07\x1b[2J\r\x7f\x1b[1Acaf\xc3\xa9\x9b"
        "2J\xc2\x9d"
        "0;t\xc2\x9c\n";
    const std::string visible =
        "^[]0;owned^G^[[2J^M^?^[[1Acaf\xc3\xa9M-^[2JM-BM-^]0;tM-BM-^\\\n \n";
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    {
        ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
        Child replier = start_replier(terminal);
        Udp client;
        client.send(wire(hostile));
        EXPECT_EQ(replier.read_until(replier.out, kPrompt), visible + kPrompt);
    }
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Udp server(true);
    Child asker = spawn({ASKER_PATH}, terminal);
    asker.read_until(asker.out, kPrompt);
    asker.write("hi\n");
    auto line = server.receive();
    ASSERT_TRUE(line.has_value());
    server.send_to(wire(hostile), line->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), visible + kPrompt);
}

}  // namespace
