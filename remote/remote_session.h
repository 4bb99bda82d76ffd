// The connection to the remote-access server and the relay that runs over it: the login, the
// end of a session, automatic reconnection and one relay step. The window layer shows what
// happens through the RemoteHost it passes in.
#pragma once

#include <cstdint>
#include <string>

#include "platform/tcp_client.h"
#include "remote/analyzer_port.h"
#include "remote/relay_queue.h"
#include "remote/relay_stream.h"
#include "remote/remote_server.h"

class DeviceLink;
struct FirmwareImage;

constexpr uint16_t kNoReconnect = 0xFFFF;
// Relay steps after an unrequested end or a failed login before a reconnection is tried.
constexpr uint16_t kReconnectSteps = 300;
// Relay steps the status label keeps a status before it says the relay is waiting again.
constexpr int32_t kStatusHoldSteps = 50;
// A step waits this long for the server; 256 steps without data end the session.
constexpr int kRelayWaitMs = 10;

// What the relay needs from the window while it works.
class RemoteHost {
   public:
    virtual ~RemoteHost() = default;
    virtual void show_status(const std::string& text) = 0;
    virtual void show_message(const std::string& text) = 0;
    // Waits, serving the user meanwhile; the user may end the session or close the window
    // then, and the relay looks at its session again before going on.
    virtual void pause(int milliseconds) = 0;
    // Serves what the user did since the last look, without waiting.
    virtual void process_events() = 0;
    // The relay ended the session on a transfer failure: show it as not connected.
    virtual void session_ended() = 0;
    // Whether the user asked for automatic reconnection, and the attempt itself (which logs in
    // as pressing Connect does).
    virtual bool reconnect_wanted() = 0;
    virtual void reconnect() = 0;
    // The language of the status texts (an index of LanguageList).
    virtual int language() const = 0;
};

struct RemoteSession {
    TcpClient socket;
    RelayStreamParser parser;  // keeps a half-received command for the next receive
    uint8_t silence_count = 0;
    int32_t status_hold = 0;
    uint16_t reconnect_countdown = kNoReconnect;  // 0 while an automatic attempt runs
    uint8_t ack_timeout_flag = 0;  // an acknowledged command went unanswered; never cleared
    bool link_released = false;    // the relay let the device go; shown once
    // Changes whenever a connection starts or ends, so that a relay step that served the user
    // in the middle can tell that its connection is no longer the one it started with.
    uint32_t generation = 0;
    uint32_t upload_sum = 0;  // of the "@E1" block under way, which may span receives
    RelayQueue queue;
    AnalyzerPort analyzer;

    bool connected() const { return socket.is_open(); }
};

enum class LoginResult {
    logged_in,
    password_too_long,  // nothing was sent; no socket was made
    cannot_resolve,     // no socket was made (also when the name took too long)
    abandoned,          // the user ended the attempt while the name was looked up
    cannot_connect,     // the socket stays open for the caller to end the session
    login_failed,       // likewise
};

// Resolve, connect, send the password line and read the answer. Blocks for at most a few
// seconds at each stage; the name's lookup calls meanwhile between slices of its wait, and
// a session ended meanwhile (the generation moved on) abandons the attempt.
LoginResult log_in(RemoteSession& session, const RemoteServer& server, const std::string& password,
                   const WaitServe& meanwhile = {});

// Ends the connection: "@!" to the server, the socket closed, the device link closed. A
// reconnection is planned unless the user asked for the end.
void finish_session(RemoteSession& session, DeviceLink& link, bool by_user);

// The status label's text for the attached devices; reading the released link's
// "Disconnected." forgets that the link was released.
std::string remote_status_text(RemoteSession& session, const DeviceLink& link, int language);

// One pass of the relay: the reconnection countdown while not connected, otherwise one receive
// from the server and its commands carried out. Nothing happens while another exchange holds
// the link.
void relay_step(RemoteSession& session, DeviceLink& link, FirmwareImage& image, RemoteHost& host);
