// The server in this process against raw sockets: logins that must fail, the technician's
// requests, records that end a session, peers that stop half-way, and the socket's mode.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "relay_harness.h"

using namespace relay_test;
using std::chrono::minutes;
using std::chrono::seconds;

namespace {

// The errno of a connection to the socket by user and group "nobody" (0: connected), from a
// child process that gives up root first.
int connect_as_nobody(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(255);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int result =
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
        ::_exit(result);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class RelayServerTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_TRUE(relay_.started()) << relay_.error(); }
    void TearDown() override {
        // A code never reaches the log, whatever happened.
        for (const std::string& code : codes_)
            for (const std::string& line : relay_.log()) {
                EXPECT_EQ(line.find(code), std::string::npos) << line;
                EXPECT_EQ(line.find(code.substr(0, 3) + code.substr(4, 3)), std::string::npos);
            }
    }
    std::string new_code(int minutes = 30) {
        const std::string code = relay_.new_code(minutes);
        EXPECT_EQ(code.size(), 11u);
        codes_.push_back(code);
        return code;
    }
    std::vector<std::string> sessions() { return relay_.ask("SESSIONS").lines; }

    RunningRelay relay_;
    std::vector<std::string> codes_;
};

TEST_F(RelayServerTest, WrongExpiredReusedAndOverlongPasswordsAreRefused) {
    const std::string code = new_code(1);
    std::string answer;

    std::string wrong = code;
    wrong[0] = wrong[0] == '9' ? '0' : static_cast<char>(wrong[0] + 1);
    Peer program = relay_.log_in(wrong, answer);
    EXPECT_EQ(answer, "NO");
    EXPECT_TRUE(program.closed_by_server(3000));
    program = relay_.log_in(std::string(39, '1'), answer);
    EXPECT_EQ(answer, "NO");
    program = relay_.log_in("", answer);
    EXPECT_EQ(answer, "NO");
    EXPECT_TRUE(relay_.log_has("login failed from 127.0.0.1"));

    // The right code, typed without its dashes, logs in once.
    Peer first = relay_.log_in(code.substr(0, 3) + code.substr(4, 3) + code.substr(8), answer);
    EXPECT_EQ(answer, "OK");
    Peer again = relay_.log_in(code, answer);
    EXPECT_EQ(answer, "NO");
    EXPECT_TRUE(again.closed_by_server(3000));

    // A code nobody used is gone when it expires.
    const std::string unused = new_code(1);
    relay_.advance(seconds(61));
    std::this_thread::sleep_for(milliseconds(400));
    program = relay_.log_in(unused, answer);
    EXPECT_EQ(answer, "NO");
    // The logged-in program of the other code, expired too, was told to let go and closed.
    const std::string farewell = first.receive(3000, "@!");
    EXPECT_NE(farewell.find("@!"), std::string::npos) << farewell;
    EXPECT_TRUE(first.closed_by_server(3000));
    EXPECT_EQ(sessions(), std::vector<std::string>{"END"});
}

TEST_F(RelayServerTest, ALoginFloodFromOneAddressIsRefusedWithoutLookingAtThePassword) {
    const std::string code = new_code();
    std::string answer;
    for (int i = 0; i < 5; ++i) {
        relay_.log_in("000-000-00" + std::to_string(i), answer);
        EXPECT_EQ(answer, "NO");
    }
    Peer blocked = relay_.log_in(code, answer);
    EXPECT_EQ(answer, "NO");
    EXPECT_TRUE(relay_.log_has("login refused from 127.0.0.1: too many failed logins"));
    // The code was not spent by the refused attempt, and the block runs out.
    relay_.advance(seconds(61));
    std::this_thread::sleep_for(milliseconds(400));
    Peer program = relay_.log_in(code, answer);
    EXPECT_EQ(answer, "OK");
}

TEST_F(RelayServerTest, TechnicianRequestsAndSessionStates) {
    struct Case {
        std::string request;
        std::string answer;
    };
    const Case refused[] = {
        {"BOGUS", "ERR unknown request"},
        {"NEW 0", "ERR minutes must be 1 to 1440"},
        {"ATTACH 123-456-789", "ERR no such session"},
        {"CLOSE 123-456-789", "ERR no such session"},
        {std::string(300, 'A'), "ERR request too long"},
    };
    for (const Case& c : refused) {
        const auto answer = relay_.ask(c.request);
        ASSERT_TRUE(answer.reached) << answer.error;
        EXPECT_EQ(answer.lines, std::vector<std::string>{c.answer}) << c.request;
    }

    const std::string code = new_code(10);
    EXPECT_EQ(sessions(), (std::vector<std::string>{"SESSION waiting - 600", "END"}));
    EXPECT_EQ(relay_.ask("ATTACH " + code).lines,
              std::vector<std::string>{"ERR no program has logged in with this code"});

    // A technician that waits is answered when the program logs in.
    Peer technician = relay_.attach(code, 5);
    std::this_thread::sleep_for(milliseconds(100));
    std::string answer;
    Peer program = relay_.log_in(code, answer);
    ASSERT_EQ(answer, "OK");
    EXPECT_EQ(technician.receive(3000, "\n"), "OK\n");
    const auto listed = sessions();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].rfind("SESSION attached 127.0.0.1 ", 0), 0u) << listed[0];
    EXPECT_EQ(relay_.ask("ATTACH " + code).lines,
              std::vector<std::string>{"ERR a technician is attached already"});

    // Bytes both ways, then CLOSE from a third connection ends it for both.
    ASSERT_TRUE(technician.send(record("@G")));
    EXPECT_EQ(program.receive(3000, "@G"), "@G");
    ASSERT_TRUE(program.send(std::string("@G\x00", 3)));
    EXPECT_EQ(technician.receive(3000, "", 3), std::string("@G\x00", 3));
    EXPECT_EQ(relay_.ask("CLOSE " + code).lines, std::vector<std::string>{"OK"});
    EXPECT_EQ(program.receive(3000, "@!"), "@!");
    EXPECT_TRUE(program.closed_by_server(3000));
    EXPECT_TRUE(technician.closed_by_server(3000));
    EXPECT_EQ(sessions(), std::vector<std::string>{"END"});

    // A waiting technician may send records ahead, but not without bound.
    const std::string later = new_code();
    Peer eager = relay_.attach(later, 5);
    std::string ahead;
    for (int i = 0; i < 4; ++i)
        ahead += record(std::string(8000, 'x'));
    ASSERT_TRUE(eager.send(ahead));
    EXPECT_EQ(eager.receive(3000, "\n"), "ERR too much data before the program logged in\n");
    EXPECT_TRUE(eager.closed_by_server(3000));
}

TEST_F(RelayServerTest, BadRecordsAndVanishingPeersEndOnlyTheirOwnSession) {
    struct Session {
        std::string code;
        Peer program;
        Peer technician;
    };
    std::vector<Session> open;
    for (int i = 0; i < 4; ++i) {
        Session s;
        s.code = new_code();
        std::string answer;
        s.program = relay_.log_in(s.code, answer);
        ASSERT_EQ(answer, "OK");
        s.technician = relay_.attach(s.code);
        ASSERT_EQ(s.technician.receive(3000, "\n"), "OK\n");
        open.push_back(std::move(s));
    }
    // A record of length 0, one over 8192 bytes, a program that goes away in the middle of an
    // upload block, and a technician that goes away.
    ASSERT_TRUE(open[0].technician.send(record("@G") + std::string("\x00\x00@R", 4)));
    ASSERT_TRUE(open[1].technician.send(std::string("\x20\x01", 2) + std::string(8193, '@')));
    ASSERT_TRUE(open[2].technician.send(record("@E1" + std::string("\x10\x00", 2) + "abc")));
    EXPECT_EQ(open[2].program.receive(3000, "abc"), std::string("@E1\x10\x00"
                                                                "abc",
                                                                8));
    open[2].program.close();
    open[3].technician.close();

    EXPECT_EQ(open[0].program.receive(3000, "@!"), "@G@!");
    EXPECT_EQ(open[1].program.receive(3000, "@!"), "@!");
    for (int i : {0, 1, 3})
        EXPECT_TRUE(open[i].program.closed_by_server(3000)) << i;
    for (int i : {0, 1, 2})
        EXPECT_TRUE(open[i].technician.closed_by_server(3000)) << i;
    EXPECT_TRUE(relay_.log_has("the technician sent a malformed record"));
    EXPECT_TRUE(relay_.log_has("the program left"));
    EXPECT_TRUE(relay_.log_has("the technician left"));

    // The others' session goes on: a fresh pair works, and the codes of ended sessions are spent.
    Session fresh;
    fresh.code = new_code();
    std::string answer;
    fresh.program = relay_.log_in(fresh.code, answer);
    ASSERT_EQ(answer, "OK");
    fresh.technician = relay_.attach(fresh.code);
    ASSERT_EQ(fresh.technician.receive(3000, "\n"), "OK\n");
    ASSERT_TRUE(fresh.technician.send(record("@H")));
    EXPECT_EQ(fresh.program.receive(3000, "@H"), "@H");
    relay_.log_in(open[0].code, answer);
    EXPECT_EQ(answer, "NO");
    EXPECT_EQ(sessions().size(), 2u);
}

TEST_F(RelayServerTest, LoginsThatStallOrOverflowAreDropped) {
    const std::string code = new_code();
    // Garbage without an LF past the password's bound, and a login line that never ends.
    Peer garbage = connect_program(relay_.port());
    ASSERT_TRUE(garbage.send(std::string(100, '\xff')));
    EXPECT_EQ(garbage.receive(3000, "", 2), "NO");
    Peer silent = connect_program(relay_.port());
    ASSERT_TRUE(silent.send("482-"));
    // A request answered after the connection was made: the server has taken it by now.
    sessions();
    relay_.advance(seconds(6));
    EXPECT_TRUE(silent.closed_by_server(3000));
    EXPECT_TRUE(relay_.log_has("login timed out from 127.0.0.1"));
    // Connections that never send their line hold at most 8 login places per address.
    std::vector<Peer> holding;
    for (int i = 0; i < 8; ++i)
        holding.push_back(connect_program(relay_.port()));
    Peer ninth = connect_program(relay_.port());
    EXPECT_TRUE(ninth.closed_by_server(3000));
    EXPECT_FALSE(holding[0].closed_by_server(100));
    holding.clear();
    std::this_thread::sleep_for(milliseconds(300));
    // None of it spent the code.
    std::string answer;
    Peer program = relay_.log_in(code, answer);
    EXPECT_EQ(answer, "OK");
}

TEST_F(RelayServerTest, AnIdleProgramGetsLoneSpacesAndRecordsNeverShareTheirReceive) {
    const std::string code = new_code();
    std::string answer;
    Peer program = relay_.log_in(code, answer);
    ASSERT_EQ(answer, "OK");
    Peer technician = relay_.attach(code);
    ASSERT_EQ(technician.receive(3000, "\n"), "OK\n");
    // About one space a second (the program gives up after 2.6 s), each on its own.
    const auto start = Clock::now();
    int spaces = 0;
    while (Clock::now() - start < milliseconds(3500)) {
        const std::string got = program.receive(1500, "", 1);
        if (got.empty())
            break;
        EXPECT_EQ(got, " ");
        ++spaces;
    }
    EXPECT_GE(spaces, 2);
    EXPECT_LE(spaces, 4);
    // A record sent right after a keep-alive waits until the space has been received alone.
    ASSERT_EQ(program.receive(2500, "", 1), " ");
    ASSERT_TRUE(technician.send(record("@R")));
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(program.receive(20), "");
    EXPECT_EQ(program.receive(1000, "@R"), "@R");
}

TEST_F(RelayServerTest, TheTechnicianSocketIsForOwnerAndGroupOnly) {
    struct stat info {};
    ASSERT_EQ(::stat(relay_.socket_path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0660u);
    if (::geteuid() == 0) {
        // Another user, for real: a child that gives up root tries to connect. The folder lets
        // it through, so only the socket's own mode can refuse it.
        const std::string folder = relay_.socket_path().substr(0, relay_.socket_path().rfind('/'));
        ASSERT_EQ(::chmod(folder.c_str(), 0711), 0);
        EXPECT_EQ(connect_as_nobody(relay_.socket_path()), EACCES);
        ASSERT_EQ(::chmod(relay_.socket_path().c_str(), 0666), 0);
        EXPECT_EQ(connect_as_nobody(relay_.socket_path()), 0);
        return;
    }
    // Someone outside owner and group meets the same refusal as this process does with the
    // owner's bits cleared.
    ASSERT_EQ(::chmod(relay_.socket_path().c_str(), 0060), 0);
    const auto refused = relay_.ask("SESSIONS");
    EXPECT_FALSE(refused.reached);
    EXPECT_NE(refused.error.find("Permission denied"), std::string::npos) << refused.error;
    ASSERT_EQ(::chmod(relay_.socket_path().c_str(), 0660), 0);
    EXPECT_TRUE(relay_.ask("SESSIONS").reached);
}

TEST(RelayServerStartTest, ALiveServersSocketIsKeptAndAStaleOneReplaced) {
    RunningRelay first;
    ASSERT_TRUE(first.started()) << first.error();
    relay_server::RelayServerOptions options;
    options.listen_address = "127.0.0.1";
    options.port = 0;
    options.technician_socket = first.socket_path();
    options.log = [](const std::string&) {};
    relay_server::RelayServer second(options);
    std::string error;
    EXPECT_FALSE(second.start(error));
    EXPECT_NE(error.find("another server is listening"), std::string::npos) << error;
    EXPECT_TRUE(first.ask("SESSIONS").reached);

    options.listen_address = "not-an-address";
    options.technician_socket = first.socket_path() + ".other";
    relay_server::RelayServer third(options);
    EXPECT_FALSE(third.start(error));
    EXPECT_NE(error.find("not a numeric address"), std::string::npos) << error;
}

TEST(RelayServerStartTest, SessionsAreBounded) {
    RunningRelay relay(2);
    ASSERT_TRUE(relay.started()) << relay.error();
    EXPECT_FALSE(relay.new_code().empty());
    EXPECT_FALSE(relay.new_code().empty());
    EXPECT_EQ(relay.ask("NEW").lines, std::vector<std::string>{"ERR too many sessions"});
}

}  // namespace
