#include "update/update_check.h"

#include <algorithm>
#include <array>

#include "platform/files.h"
#include "platform/installer_file.h"
#include "platform/output_file.h"
#include "platform/tcp_client.h"
#include "update/http_message.h"

namespace {

// Waits are cut into slices so that the window stays responsive in between.
constexpr int kSliceMs = 50;
// A name the resolver has not found by then is taken as not found.
constexpr int kResolveLimitMs = 5000;
constexpr int kConnectLimitMs = 10000;
constexpr int kSendLimitMs = 10000;
// A server silent for this long is taken as gone.
constexpr int kReceiveLimitMs = 15000;

bool connect_to(TcpClient& client, const Ipv4Address& address, uint16_t port,
                UpdateProgress& progress) {
    if (!client.open() || !client.start_connect(address, port))
        return false;
    for (int waited = 0; waited < kConnectLimitMs; waited += kSliceMs) {
        const SocketWait wait = client.wait_connected(kSliceMs);
        if (wait != SocketWait::timed_out)
            return wait == SocketWait::ready;
        progress.keep_responsive();
    }
    return false;
}

bool send_request(TcpClient& client, const std::string& request, UpdateProgress& progress) {
    return client.send_all(request.data(), request.size(), kSendLimitMs,
                           [&progress] { progress.keep_responsive(); }) == request.size();
}

// Bytes received, 0 when the peer closed, -1 on error or silence beyond the limit.
long receive_some(TcpClient& client, char* buffer, size_t size, UpdateProgress& progress) {
    for (int waited = 0; waited < kReceiveLimitMs; waited += kSliceMs) {
        const SocketWait wait = client.wait_readable(kSliceMs);
        if (wait == SocketWait::failed)
            return -1;
        if (wait == SocketWait::ready)
            return client.receive(buffer, size);
        progress.keep_responsive();
    }
    return -1;
}

// Fills the response area until done(received) holds, the peer stops, or the area is full.
// False when the first receive brings nothing.
template <typename Done>
bool receive_response(TcpClient& client, std::array<char, kResponseArea>& area, size_t& received,
                      UpdateProgress& progress, Done done) {
    received = 0;
    while (received < area.size()) {
        const long n =
            receive_some(client, area.data() + received, area.size() - received, progress);
        if (n <= 0)
            return received > 0;
        received += static_cast<size_t>(n);
        if (done(received))
            break;
    }
    return true;
}

struct VersionAnswer {
    bool ok = false;
    ProgramVersion version;
};

VersionAnswer ask_version(TcpClient& client, const UpdateServer& server, UpdateProgress& progress) {
    if (!send_request(client, encode_get_request(server.host, server.port, version_query_path()),
                      progress))
        return {};
    std::array<char, kResponseArea> area;
    size_t received = 0;
    // Reading stops once the announced body is in, so a server that keeps the connection open
    // after answering does not hold the check up.
    const bool got = receive_response(client, area, received, progress, [&](size_t size) {
        const ResponseHead head = parse_response_head(area.data(), size);
        return head.status != HeadStatus::incomplete &&
               (head.status == HeadStatus::failed ||
                size - head.body_offset >= head.content_length);
    });
    if (!got)
        return {};
    const ResponseHead head = parse_response_head(area.data(), received);
    if (head.status != HeadStatus::complete)
        return {};
    const size_t body_size = std::min(received - head.body_offset, head.content_length);
    VersionAnswer answer;
    answer.ok = parse_version_body(std::string_view(area.data() + head.body_offset, body_size),
                                   answer.version);
    return answer;
}

// The installer arrives in a file of its own and takes the installer's name only when every
// byte is written: a download cut short by a full disk or a vanished server never leaves a
// broken installer where one is started from, and what it wrote is removed.
class PartialDownload {
   public:
    explicit PartialDownload(const std::string& installer_file)
        : installer_file_(installer_file), part_file_(installer_file + ".part") {}
    ~PartialDownload() {
        if (created_ && !finished_) {
            file_.close();
            remove_file(part_file_);
        }
    }
    PartialDownload(const PartialDownload&) = delete;
    PartialDownload& operator=(const PartialDownload&) = delete;

    bool create() { return created_ = file_.create(part_file_); }
    bool write(const char* data, size_t size) { return file_.write(data, size); }
    bool finish() { return finished_ = file_.close() && replace_file(part_file_, installer_file_); }

   private:
    const std::string installer_file_;
    const std::string part_file_;
    OutputFile file_;
    bool created_ = false;
    bool finished_ = false;
};

UpdateResult download_installer(TcpClient& client, const UpdateServer& server,
                                const ProgramVersion& version, const std::string& installer_file,
                                UpdateProgress& progress) {
    if (installer_file.empty() || !prepare_installer_folder(installer_file))
        return UpdateResult::check_error;
    PartialDownload file(installer_file);
    if (!file.create())
        return UpdateResult::check_error;
    const std::string path = installer_download_path(version);
    if (!send_request(client, encode_get_request(server.host, server.port, path), progress))
        return UpdateResult::check_error;

    // The header block may come in more than one receive; the body may not have begun yet.
    std::array<char, kResponseArea> area;
    size_t received = 0;
    const bool got = receive_response(client, area, received, progress, [&](size_t size) {
        return parse_response_head(area.data(), size).status != HeadStatus::incomplete;
    });
    const ResponseHead head = parse_response_head(area.data(), received);
    if (!got || head.status != HeadStatus::complete || head.content_length > kMaxInstallerSize)
        return UpdateResult::check_error;

    progress.show_stage(UpdateStage::download_started, 0.01);
    const size_t length = head.content_length;
    // Bytes beyond the announced length are not part of the installer.
    size_t written = std::min(received - head.body_offset, length);
    if (!file.write(area.data() + head.body_offset, written))
        return UpdateResult::check_error;

    std::array<char, kDownloadPart> part;
    while (written < length) {
        progress.show_download_part(static_cast<double>(written) * 0.99 / length + 0.01);
        const size_t wanted = std::min(part.size(), length - written);
        const long n = receive_some(client, part.data(), wanted, progress);
        if (n <= 0 || !file.write(part.data(), static_cast<size_t>(n)))
            return UpdateResult::check_error;
        written += static_cast<size_t>(n);
    }
    if (!file.finish())
        return UpdateResult::check_error;
    progress.show_stage(UpdateStage::download_complete, 1.0);
    return UpdateResult::downloaded;
}

}  // namespace

UpdateResult run_update_check(const UpdateServer& server, const std::string& installer_file,
                              UpdateProgress& progress) {
    progress.show_stage(UpdateStage::resolving, 0.0);
    // One address per check, used for both connections.
    Ipv4Address address;
    if (resolve_ipv4(server.host, address, kResolveLimitMs,
                     [&progress] { progress.keep_responsive(); }) != Resolution::found)
        return UpdateResult::server_not_found;
    progress.show_stage(UpdateStage::checking, 0.33);

    VersionAnswer answer;
    {
        TcpClient client;
        if (!connect_to(client, address, server.port, progress))
            return UpdateResult::cannot_connect;
        progress.show_stage(UpdateStage::asking, 0.66);
        answer = ask_version(client, server, progress);
        if (!answer.ok)
            return UpdateResult::check_error;
        progress.show_stage(UpdateStage::answered, 1.0);
    }

    if (is_own_version(answer.version))
        return UpdateResult::current;
    const ProgramVersion offered = installer_version(answer.version);
    if (!progress.offer_download(offered))
        return UpdateResult::declined;

    progress.show_stage(UpdateStage::downloading, 0.0);
    TcpClient client;
    if (!connect_to(client, address, server.port, progress))
        return UpdateResult::cannot_connect;
    progress.show_stage(UpdateStage::download_connected, 0.02);
    return download_installer(client, server, offered, installer_file, progress);
}
