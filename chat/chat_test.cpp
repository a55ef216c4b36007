// The chat end to end: the real replier and asker on loopback, and raw datagrams from the
// test itself playing the other side. Hostile peers and networks: chat_hostile_test.cpp.
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
