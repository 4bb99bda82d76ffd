// Asking the update server for another version of the program and downloading its installer.
// The window layer shows the stages and turns the result into a message.
#pragma once

#include <string>

#include "update/program_version.h"
#include "update/update_server.h"

enum class UpdateStage {
    resolving,           // before the server's name is resolved
    checking,            // name resolved, connecting
    asking,              // connected, version query going out
    answered,            // version response read
    downloading,         // the user accepted; connecting again
    download_connected,  // connected, installer request going out
    download_started,    // header of the installer response read
    download_complete,   // every announced byte written
};

// What the check needs from the window while it runs.
class UpdateProgress {
   public:
    virtual ~UpdateProgress() = default;
    // A new stage and its bar fraction; the window shows it and gets a moment to redraw.
    virtual void show_stage(UpdateStage stage, double fraction) = 0;
    // Another part of the installer has been written; fraction of the bar.
    virtual void show_download_part(double fraction) = 0;
    // While waiting on the network: handle what is pending, without sleeping.
    virtual void keep_responsive() = 0;
    // Offers the installer of this version; true when the user wants it.
    virtual bool offer_download(const ProgramVersion& version) = 0;
};

enum class UpdateResult {
    current,           // the server offers this program's own version
    declined,          // another version, and the user did not want it
    server_not_found,  // the host name did not resolve, or not in time
    cannot_connect,    // either connection was refused or timed out
    check_error,       // anything else that went wrong; the installer is never started then
    downloaded,        // the whole installer is in the file
};

// Buffer sizes of the exchange: the version response must fit the first, and the installer
// arrives in parts of at most the second.
constexpr size_t kResponseArea = 4096;
constexpr size_t kDownloadPart = 8192;
// This program's installers are a few tens of megabytes. A larger announcement is a broken or
// hostile server, refused before a byte is stored, so that it cannot fill the user's disk.
constexpr size_t kMaxInstallerSize = size_t{256} << 20;

// One check: version query, and on the user's consent the download of the installer into
// installer_file (empty: nowhere to put it). Blocks, keeping the window responsive through
// progress; every network wait has a time limit.
UpdateResult run_update_check(const UpdateServer& server, const std::string& installer_file,
                              UpdateProgress& progress);
