#include "remote/remote_session.h"

#include <chrono>
#include <cstdio>

#include "app/language.h"
#include "device/device_link.h"
#include "remote/login.h"

namespace {

constexpr int kResolveTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
constexpr int kLoginSendTimeoutMs = 2000;
constexpr int kLoginAnswerTimeoutMs = 5000;
// The farewell goes out only if the server takes it at once: a server that stopped reading
// must not hold the window.
constexpr int kFarewellTimeoutMs = 100;

}  // namespace

LoginResult log_in(RemoteSession& session, const RemoteServer& server, const std::string& password,
                   const WaitServe& meanwhile) {
    const auto line = encode_login_line(password);
    if (!line)
        return LoginResult::password_too_long;
    const uint32_t generation = session.generation;
    Ipv4Address address;
    const Resolution resolved = resolve_ipv4(server.host, address, kResolveTimeoutMs, meanwhile);
    if (session.generation != generation)
        return LoginResult::abandoned;
    if (resolved != Resolution::found)
        return LoginResult::cannot_resolve;
    TcpClient& socket = session.socket;
    if (!socket.open())
        return LoginResult::cannot_connect;
    // The server waits for each answer before it sends on: answers must not sit in the socket.
    socket.send_without_delay();
    if (!socket.start_connect(address, server.port) ||
        socket.wait_connected(kConnectTimeoutMs) != SocketWait::ready)
        return LoginResult::cannot_connect;
    if (socket.send_all(line->data(), line->size(), kLoginSendTimeoutMs) != line->size())
        return LoginResult::cannot_connect;
    // The two bytes of the answer may come in two segments; whatever follows them is relay
    // data and stays in the socket.
    char answer[kLoginAnswerSize];
    size_t got = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoginAnswerTimeoutMs);
    while (got < kLoginAnswerSize) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || socket.wait_readable(static_cast<int>(left)) != SocketWait::ready)
            break;
        const long n = socket.receive(answer + got, kLoginAnswerSize - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got < kLoginAnswerSize)
        return LoginResult::cannot_connect;
    if (!login_accepted(answer, got))
        return LoginResult::login_failed;
    session.parser.reset();
    session.silence_count = 0;
    ++session.generation;
    return LoginResult::logged_in;
}

void finish_session(RemoteSession& session, DeviceLink& link, bool by_user) {
    const bool connected = session.socket.is_open();
    if (connected)
        session.reconnect_countdown = by_user ? kNoReconnect : kReconnectSteps;
    link.close();
    if (connected) {
        session.socket.send_all("@!", 2, kFarewellTimeoutMs);
        session.socket.close();
    }
    session.status_hold = 0;
    ++session.generation;
}

std::string remote_status_text(RemoteSession& session, const DeviceLink& link, int language) {
    if (session.link_released) {
        session.link_released = false;
        return lang_text_in(language, Text::disconnected);
    }
    const AnalyzerState analyzer = session.analyzer.state();
    if (link.kind() == DeviceKind::none && analyzer == AnalyzerState::closed)
        return lang_text_in(language, Text::no_usb_device);
    const char* tag = "";
    if (analyzer != AnalyzerState::closed)
        tag = "CAN";
    else if (link.kind() == DeviceKind::programmer_link)
        tag = "M";
    else if (link.kind() == DeviceKind::usbic_link)
        tag = "A";
    else if (link.kind() == DeviceKind::bootloader)
        tag = "BOOT";
    char text[128];
    std::snprintf(text, sizeof text, lang_text_in(language, Text::remote_access_active), tag);
    return text;
}
