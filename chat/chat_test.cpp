// The chat end to end: the real replier and asker on loopback, and raw datagrams from the
// test itself playing the other side, including hostile ones: senders that cannot be answered,
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

TEST(Chat, AskerAndReplierExchangeLines) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Child replier = start_replier();
    Child asker = spawn({ASKER_PATH});

    EXPECT_EQ(asker.read_until(asker.out, kPrompt), kPrompt);
    asker.write("hello\n");
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("hello\n \n") + kPrompt);
    replier.write("hi\n");
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("hi\n \n") + kPrompt);
    asker.write("how are you?\n");
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("how are you?\n \n") + kPrompt);
    replier.write("fine\n");
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("fine\n \n") + kPrompt);

    // End of input ends each side with status 1 after its perror report.
    asker.close_input();
    EXPECT_TRUE(osf::test::exited_with(asker.wait(), 1))
        << osf::test::describe_status(asker.status);
    EXPECT_EQ(asker.read_to_eof(asker.out), "");
    // (Prefixes: a sanitizer may report after them.)
    EXPECT_EQ(asker.read_to_eof(asker.err).rfind("Accessing the data failed \n: end of input\n", 0),
              0u);
    // A read error is named as such; output that cannot be written is said once; a standard
    // stream started closed is never taken by the socket (which would read answers as lines).
    const std::string ended = "Accessing the data failed \n: ";
    const std::pair<const char*, std::string> streams[] = {
        {"</", ended + "Is a directory\n"},
        {"<&-", ended + "Bad file descriptor\n"},
        {">/dev/full", "asker: write error: No space left on device\n" + ended + "end of input\n"},
        {">&-", "asker: write error: Bad file descriptor\n" + ended + "end of input\n"},
    };
    for (const auto& [redirect, err] : streams) {
        const auto r = osf::test::run(osf::test::redirected({ASKER_PATH}, redirect), "");
        EXPECT_EQ(r.err.rfind(err, 0), 0u) << redirect << ": " << r.err;
        EXPECT_TRUE(osf::test::exited_with(r.status, 1)) << osf::test::describe_status(r.status);
    }

    Udp client;
    client.send(wire("last\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("last\n \n") + kPrompt);
    replier.close_input();
    EXPECT_TRUE(osf::test::exited_with(replier.wait(), 1))
        << osf::test::describe_status(replier.status);
    EXPECT_EQ(
        replier.read_to_eof(replier.err).rfind("Entering the data failed \n: end of input\n", 0),
        0u);
}

TEST(Chat, ReplierPrintsNoMoreThanTheTextWithinEightyBytes) {
    Child replier = start_replier();
    Udp client;
    auto exchange = [&](const std::string& datagram, const std::string& reply) {
        client.send(datagram);
        const std::string shown = replier.read_until(replier.out, kPrompt);
        replier.write(reply);
        auto answer = client.receive();
        EXPECT_TRUE(answer.has_value()) << "no reply to the client";
        if (answer) {
            EXPECT_EQ(answer->bytes, wire(reply)) << "reply datagram";
        }
        return shown.substr(0, shown.size() - sizeof kPrompt + 1);
    };

    // A short line after a long one: nothing of the long one shows, and the replies' filler
    // is cleared even though a longer reply went before.
    EXPECT_EQ(exchange(wire("a much longer line than the one that follows\n"),
                       "a reply long enough to leave remains behind\n"),
              "a much longer line than the one that follows\n \n");
    EXPECT_EQ(exchange(std::string("hi\n") + '\0', "ok\n"), "hi\n \n");
    // A peer that sends only its line, no zero byte: exactly the bytes received.
    EXPECT_EQ(exchange("a long line from a peer\n", "reply one\n"), "a long line from a peer\n \n");
    EXPECT_EQ(exchange("hi\n", "ok\n"), "hi\n \n");
    // 80 bytes and no zero byte: exactly those 80 bytes.
    EXPECT_EQ(exchange(std::string(80, 'z'), "z\n"), std::string(80, 'z') + " \n");
    // Longer than 80 bytes: cut to the first 80.
    EXPECT_EQ(exchange(std::string(50, 'a') + std::string(50, 'b'), "cut\n"),
              std::string(50, 'a') + std::string(30, 'b') + " \n");
    // An empty datagram shows as an empty text, not the server's own last reply.
    EXPECT_EQ(exchange("", "again\n"), " \n");
    // To a pipe, control characters and bytes above 127 go out as they came.
    EXPECT_EQ(exchange(wire("\x1b[2J\r\x7f\x01\xc3\xa9\n"), "raw\n"),
              "\x1b[2J\r\x7f\x01\xc3\xa9\n \n");
}

TEST(Chat, EachReplyGoesToTheClientWhoseLineWasShown) {
    Child replier = start_replier();
    Udp a, b;
    a.send(wire("from a\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("from a\n \n") + kPrompt);
    b.send(wire("from b\n"));  // waits in the server's queue until a has its answer
    replier.write("to a\n");
    auto to_a = a.receive();
    ASSERT_TRUE(to_a.has_value());
    EXPECT_EQ(to_a->bytes, wire("to a\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("from b\n \n") + kPrompt);
    replier.write("to b\n");
    auto to_b = b.receive();
    ASSERT_TRUE(to_b.has_value());
    EXPECT_EQ(to_b->bytes, wire("to b\n"));
    // Loopback keeps the order of one socket's datagrams: had b's reply gone to a as well, a
    // would get it before its own next answer.
    a.send(wire("again\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("again\n \n") + kPrompt);
    replier.write("to a again\n");
    auto again = a.receive();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->bytes, wire("to a again\n")) << "client a got b's reply too";
}

TEST(Chat, AnOverlongReplyLineIsSentInTwoParts) {
    Child replier = start_replier();
    Udp client;
    client.send(wire("first\n"));
    replier.read_until(replier.out, kPrompt);
    replier.write(std::string(100, 'r') + "\n");
    auto first = client.receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes, wire(std::string(79, 'r')));
    // The rest of the line waits in the input and answers the next datagram.
    client.send(wire("second\n"));
    EXPECT_EQ(replier.read_until(replier.out, kPrompt), std::string("second\n \n") + kPrompt);
    auto second = client.receive();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->bytes, wire(std::string(21, 'r') + "\n"));
}

TEST(Chat, AskerSendsCleanDatagramsAndPrintsAnswersWithinEightyBytes) {
    ASSERT_FALSE(port_bound()) << "port 1234 is taken by another program";
    Udp server(true);
    Child asker = spawn({ASKER_PATH});
    asker.read_until(asker.out, kPrompt);

    asker.write("a long first line, long enough to leave remains\n");
    auto first = server.receive();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->bytes, wire("a long first line, long enough to leave remains\n"));
    server.send_to(std::string(80, 'y'), first->from);  // no zero byte
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string(80, 'y') + " \n" + kPrompt);

    asker.write("hi\n");
    auto second = server.receive();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->bytes, wire("hi\n")) << "remains of earlier lines went out";
    server.send_to("", second->from);  // an empty answer shows empty, not the line just sent
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string(" \n") + kPrompt);

    asker.write("a second line here\n");
    auto short_one = server.receive();
    ASSERT_TRUE(short_one.has_value());
    server.send_to("OK", short_one->from);  // no zero byte, shorter than the line
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("OK \n") + kPrompt);

    asker.write("x\n");
    auto third = server.receive();
    ASSERT_TRUE(third.has_value());
    server.send_to(std::string(90, 'w'), third->from);  // cut to 80
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string(80, 'w') + " \n" + kPrompt);

    // Datagrams from anyone but the server (another port of its address, another address of
    // the host with the server's port), sent before the server's answer, are not taken as the
    // answer, and asker's next line still goes to the server.
    asker.write("y\n");
    auto fourth = server.receive();
    ASSERT_TRUE(fourth.has_value());
    Udp stranger;
    Udp impostor(true, "127.0.0.2");
    stranger.send_to(wire("stranger\n"), fourth->from);
    impostor.send_to(wire("impostor\n"), fourth->from);
    server.send_to(wire("the answer\n"), fourth->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("the answer\n \n") + kPrompt);
    asker.write("to you\n");
    auto fifth = server.receive();
    ASSERT_TRUE(fifth.has_value());
    EXPECT_EQ(fifth->bytes, wire("to you\n"));
    // Back at its prompt, asker has sent all it will for that line: what the stranger and the
    // impostor get first is then the mark each sends itself.
    server.send_to(wire("ok\n"), fifth->from);
    EXPECT_EQ(asker.read_until(asker.out, kPrompt), std::string("ok\n \n") + kPrompt);
    for (Udp* other : {&stranger, &impostor}) {
        other->send_to("mark", other->address());
        const auto mark = other->receive();
        EXPECT_EQ(mark ? mark->bytes : "", "mark") << "the line went to a stranger";
    }
}

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

TEST(Chat, ASecondReplierFailsToBindAndAborts) {
    const Child first = start_replier();
    auto second = osf::test::run({REPLIER_PATH}, "");
    EXPECT_TRUE(osf::test::killed_by(second.status, SIGABRT))
        << osf::test::describe_status(second.status);
    // The report names the check that failed, where the chat's socket set-up is.
    EXPECT_EQ(osf::test::failure_report_mismatch(second.err, "binding failed...! \n",
                                                 "chat/chat_wire.cpp", "Address already in use"),
              "");
}

}  // namespace
