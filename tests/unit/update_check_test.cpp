// The update check against a scripted server on the loopback interface.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/loopback_http_peer.h"
#include "update/update_check.h"

namespace {

class RecordingProgress : public UpdateProgress {
   public:
    explicit RecordingProgress(bool accept) : accept_(accept) {}
    void show_stage(UpdateStage stage, double fraction) override {
        stages.push_back(stage);
        fractions.push_back(fraction);
    }
    void show_download_part(double fraction) override { fractions.push_back(fraction); }
    void keep_responsive() override {}
    bool offer_download(const ProgramVersion& version) override {
        offers.push_back(version);
        return accept_;
    }

    std::vector<UpdateStage> stages;
    std::vector<double> fractions;
    std::vector<ProgramVersion> offers;

   private:
    bool accept_;
};

class UpdateCheckTest : public ::testing::Test {
   protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qn718-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        installer_ = folder_ + "/cache/qn718-programmer/Autoupdate.exe";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    UpdateResult run(LoopbackHttpPeer& peer, RecordingProgress& progress) {
        return run_update_check({"127.0.0.1", peer.port()}, installer_, progress);
    }
    std::string installer_bytes() const {
        std::string bytes;
        read_whole_file(installer_, 1 << 24, bytes);
        return bytes;
    }

    std::string folder_;
    std::string installer_;
};

const std::string kHeaderOnly = "HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\n";

}  // namespace

// The parser's own cases are in http_message_test; these are the ones that need a connection.
TEST_F(UpdateCheckTest, VersionAnswers) {
    struct Case {
        const char* name;
        PeerReply reply;
        UpdateResult result;
        std::string offer;  // "" when nothing is offered
    };
    const std::string header_12 = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\n";
    const Case cases[] = {
        {"same first two", {{http_response("VERSION 2.20.7")}}, UpdateResult::current, ""},
        {"older", {{http_response("VERSION 2.19.4")}}, UpdateResult::declined, "2.19.0"},
        {"newer major", {{http_response("VERSION 3.0.1")}}, UpdateResult::declined, "3.0.0"},
        {"header split over receives",
         {{"HTTP/1.0 200 OK\r\nContent-Le", "ngth: 14\r\n", "\r\nVERSION 2.21.0"}, 60},
         UpdateResult::declined,
         "2.21.0"},
        {"body cut to its length", {{header_12 + "VERSION 2.21.0"}}, UpdateResult::check_error, ""},
        {"closed without a word", {{}}, UpdateResult::check_error, ""},
    };
    for (const Case& c : cases) {
        LoopbackHttpPeer peer({c.reply});
        RecordingProgress progress(false);
        EXPECT_EQ(run(peer, progress), c.result) << c.name;
        std::string offers;
        for (const ProgramVersion& v : progress.offers)
            offers += std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                      std::to_string(v.patch);
        EXPECT_EQ(offers, c.offer) << c.name;
        ASSERT_EQ(peer.requests().size(), 1u) << c.name;
        EXPECT_EQ(peer.requests()[0], "GET http://127.0.0.1:" + std::to_string(peer.port()) +
                                          "/programator/QN718_version HTTP/1.0\r\n\r\n")
            << c.name;
    }
}

TEST_F(UpdateCheckTest, NoServer) {
    RecordingProgress progress(true);
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
    PeerReply download;
    // The header alone first: a receive without body bytes must not end the download.
    const size_t header_size = response.size() - installer.size();
    download.parts = {response.substr(0, header_size)};
    for (size_t at = header_size; at < response.size(); at += 30000)
        download.parts.push_back(response.substr(at, 30000));
    download.pause_ms = 30;
    LoopbackHttpPeer peer({{{http_response("VERSION 2.19.4")}}, download});

    RecordingProgress progress(true);
    ASSERT_EQ(run(peer, progress), UpdateResult::downloaded);
    EXPECT_EQ(installer_bytes(), installer);
    ASSERT_EQ(peer.requests().size(), 2u);
    EXPECT_EQ(peer.requests()[1], "GET http://127.0.0.1:" + std::to_string(peer.port()) +
                                      "/programator/QN718_setup_2.19.0.exe HTTP/1.0\r\n\r\n");
    const std::vector<UpdateStage> stages = {
        UpdateStage::resolving,        UpdateStage::checking,
        UpdateStage::asking,           UpdateStage::answered,
        UpdateStage::downloading,      UpdateStage::download_connected,
        UpdateStage::download_started, UpdateStage::download_complete};
    EXPECT_EQ(progress.stages, stages);
    EXPECT_GT(progress.fractions.size(), stages.size()) << "no part was shown";
    EXPECT_EQ(progress.fractions.back(), 1.0);
}

TEST_F(UpdateCheckTest, InstallerBodyIsTakenToItsAnnouncedLength) {
    LoopbackHttpPeer peer(
        {{{http_response("VERSION 2.21.0")}}, {{kHeaderOnly + std::string(20, 'a') + "TRAILING"}}});
    RecordingProgress progress(true);
    ASSERT_EQ(run(peer, progress), UpdateResult::downloaded);
    EXPECT_EQ(installer_bytes(), std::string(20, 'a'));
}

TEST_F(UpdateCheckTest, DownloadEndingEarlyIsAnError) {
    struct Case {
        const char* name;
        PeerReply reply;
    };
    const Case cases[] = {
        {"short body", {{kHeaderOnly + "only ten b"}}},
        {"closed inside the header", {{"HTTP/1.0 200 OK\r\nContent-Length: 2"}}},
        {"no Content-Length", {{"HTTP/1.0 200 OK\r\n\r\n" + std::string(20, 'a')}}},
    };
    for (const Case& c : cases) {
        LoopbackHttpPeer peer({{{http_response("VERSION 2.21.0")}}, c.reply});
        RecordingProgress progress(true);
        EXPECT_EQ(run(peer, progress), UpdateResult::check_error) << c.name;
        EXPECT_NE(progress.stages.back(), UpdateStage::download_complete) << c.name;
    }
}
