// The update check against a scripted server on the loopback interface; the parser's own cases
// are in http_message_test, these are the ones that need a connection.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/loopback_http_peer.h"
#include "support/test_system.h"
#include "update/update_check.h"

namespace {

struct RecordingProgress : UpdateProgress {
    bool accept = false;
    std::vector<UpdateStage> stages;
    std::vector<double> fractions;
    std::string offers;

    void show_stage(UpdateStage stage, double fraction) override {
        stages.push_back(stage);
        fractions.push_back(fraction);
    }
    void show_download_part(double fraction) override { fractions.push_back(fraction); }
    void keep_responsive() override {}
    bool offer_download(const ProgramVersion& v) override {
        offers +=
            std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
        return accept;
    }
};

class UpdateCheckTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_FALSE(folder_.empty()); }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // One check against a peer with these replies; progress records what the window saw.
    UpdateResult run(std::vector<PeerReply> replies, bool accept) {
        peer_.emplace(std::move(replies));
        progress = RecordingProgress();
        progress.accept = accept;
        return run_update_check({"127.0.0.1", peer_->port()}, installer_, progress);
    }
    std::string request_for(const std::string& path) const {
        return "GET http://127.0.0.1:" + std::to_string(peer_->port()) + path + " HTTP/1.0\r\n\r\n";
    }
    // Neither the installer nor a part of one is left behind.
    bool nothing_stored() const {
        return !std::filesystem::exists(installer_) &&
               !std::filesystem::exists(installer_ + ".part");
    }
    std::string installer_bytes() const {
        std::string bytes;
        read_whole_file(installer_, 1 << 24, bytes);
        return bytes;
    }

    const std::string folder_ = make_temp_folder("qn718-");
    const std::string installer_ = folder_ + "/cache/qn718-programmer/Autoupdate.exe";
    std::optional<LoopbackHttpPeer> peer_;
    RecordingProgress progress;
};

const PeerReply kOffer221 = {{http_response("VERSION 2.21.0")}};
const std::string kHeader20 = "HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n";

}  // namespace

TEST_F(UpdateCheckTest, VersionAnswers) {
    const struct {
        const char* name;
        PeerReply reply;
        UpdateResult result;
        const char* offer;
    } cases[] = {
        {"same first two", {{http_response("VERSION 2.20.7")}}, UpdateResult::current, ""},
        {"older", {{http_response("VERSION 2.19.4")}}, UpdateResult::declined, "2.19.0"},
        {"newer major", {{http_response("VERSION 3.0.1")}}, UpdateResult::declined, "3.0.0"},
        {"header split over receives",
         {{"HTTP/1.0 200 OK\r\nContent-Le", "ngth: 14\r\n", "\r\nVERSION 2.21.0"}, 60},
         UpdateResult::declined,
         "2.21.0"},
        {"body cut to its length",
         {{"HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nVERSION 2.21.0"}},
         UpdateResult::check_error,
         ""},
        {"closed without a word", {{}}, UpdateResult::check_error, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run({c.reply}, false), c.result);
        EXPECT_EQ(progress.offers, c.offer);
        EXPECT_EQ(peer_->requests(),
                  std::vector<std::string>{request_for("/programator/QN718_version")});
    }
}

TEST_F(UpdateCheckTest, NoServer) {
    EXPECT_EQ(run_update_check({"", 80}, installer_, progress), UpdateResult::server_not_found);
    EXPECT_EQ(progress.stages, std::vector<UpdateStage>{UpdateStage::resolving});
    // Port 1 on the loopback interface has no listener.
    EXPECT_EQ(run_update_check({"127.0.0.1", 1}, installer_, progress),
              UpdateResult::cannot_connect);
}

TEST_F(UpdateCheckTest, DownloadsTheWholeInstallerInParts) {
    std::string installer(100000, '\0');
    for (size_t i = 0; i < installer.size(); ++i)
        installer[i] = static_cast<char>(i * 7 + i / 256);
    const std::string response = http_response(installer);
    // The header alone first: a receive without body bytes must not end the download.
    const size_t header_size = response.size() - installer.size();
    PeerReply download{{response.substr(0, header_size)}, 30};
    for (size_t at = header_size; at < response.size(); at += 30000)
        download.parts.push_back(response.substr(at, 30000));

    ASSERT_EQ(run({{{http_response("VERSION 2.19.4")}}, download}, true), UpdateResult::downloaded);
    EXPECT_EQ(installer_bytes(), installer);
    ASSERT_EQ(peer_->requests().size(), 2u);
    EXPECT_EQ(peer_->requests()[1], request_for("/programator/QN718_setup_2.19.0.exe"));
    const std::vector<UpdateStage> stages = {
        UpdateStage::resolving,        UpdateStage::checking,
        UpdateStage::asking,           UpdateStage::answered,
        UpdateStage::downloading,      UpdateStage::download_connected,
        UpdateStage::download_started, UpdateStage::download_complete};
    EXPECT_EQ(progress.stages, stages);
    EXPECT_GT(progress.fractions.size(), stages.size()) << "no part was shown";
    EXPECT_EQ(progress.fractions.back(), 1.0);
}

TEST_F(UpdateCheckTest, InstallerBodyIsTakenToItsLengthAndEndingEarlyIsAnError) {
    ASSERT_EQ(run({kOffer221, {{kHeader20 + std::string(20, 'a') + "TRAILING"}}}, true),
              UpdateResult::downloaded);
    EXPECT_EQ(installer_bytes(), std::string(20, 'a'));

    for (const std::string& early : {kHeader20 + "only ten b",  // short body
                                     std::string("HTTP/1.0 200 OK\r\nContent-Length: 2"),
                                     "HTTP/1.0 200 OK\r\n\r\n" + std::string(20, 'a')}) {
        EXPECT_EQ(run({kOffer221, {{early}}}, true), UpdateResult::check_error) << early;
        EXPECT_NE(progress.stages.back(), UpdateStage::download_complete) << early;
        EXPECT_EQ(installer_bytes(), std::string(20, 'a')) << "the last whole one stays";
        EXPECT_FALSE(std::filesystem::exists(installer_ + ".part"));
    }
}

// A length no installer of ours has is refused on the header, before a byte is stored.
TEST_F(UpdateCheckTest, AnOversizedInstallerIsRefusedOnItsHeader) {
    for (const std::string& length :
         {std::string("2147483647"), std::to_string(kMaxInstallerSize + 1)}) {
        SCOPED_TRACE(length);
        const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + length + "\r\n\r\n";
        EXPECT_EQ(run({kOffer221, {{head + std::string(1000, 'a')}}}, true),
                  UpdateResult::check_error);
        EXPECT_EQ(progress.stages.back(), UpdateStage::download_connected);
        EXPECT_TRUE(nothing_stored());
    }
}

#ifndef _WIN32
// A disk that fills part-way, as a limit on the size of the files the process writes: set in a
// child, since the limit is the whole process's. Writes past it fail instead of ending it.
TEST_F(UpdateCheckTest, ADownloadWhoseWritesFailIsAnErrorAndLeavesNothing) {
    peer_.emplace(std::vector<PeerReply>{kOffer221, {{http_response(std::string(100000, 'i'))}}});
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{50000, 50000};
        std::signal(SIGXFSZ, SIG_IGN);
        progress.accept = true;
        const bool failed = setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                            run_update_check({"127.0.0.1", peer_->port()}, installer_, progress) ==
                                UpdateResult::check_error &&
                            progress.stages.back() == UpdateStage::download_started;
        _exit(failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(peer_->requests().size(), 2u);
    EXPECT_TRUE(nothing_stored());
}
#endif
