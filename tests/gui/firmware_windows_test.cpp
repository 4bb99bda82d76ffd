// Firmware updates through the windows: the bootloader window's "Program", the messages of
// each outcome and the AUTOFLASH folder watch, against the simulated device.
#include <gdk/gdkkeysyms.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "ui/key_bindings.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "gui/connection_fixture.h"
#include "ui/autoflash_window.h"
#include "ui/firmware_windows.h"
#include "support/test_system.h"
#include "unit/firmware_files.h"
#include "ui/program_context.h"

namespace {

class FirmwareWindowsTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        folder_ = make_temp_folder("qn718-fwgui-");
    }
    void TearDown() override {
        ConnectionTest::TearDown();
        std::filesystem::remove_all(folder_);
    }
    std::string firmware(const std::string& name, size_t length, int number = 31) {
        return write_firmware_file(folder_, name, make_firmware_file(length, number));
    }
    // The restarted device is found and identified by the main loop.
    static bool pass_until_status(const std::string& text) {
        for (int i = 0; i < 300 && (status_label_text() != text ||
                                    connection().state() != AppState::connected);
             ++i)
            main_loop_pass();
        return status_label_text() == text;
    }
    std::string folder_;
};

TEST_F(FirmwareWindowsTest, BootloaderWindowProgramsTheDeviceWhichThenReportsTheNewFirmware) {
    sim::set_product(sim::Product::bootloader);
    ChooserAnswerer chooser({firmware("new.bin", 30000, 31)});
    MessageAnswerer ok;
    bool modal = false;
    gboolean refused = FALSE;
    when_message_shown(
        [](GtkWidget* window) { gtk_button_clicked(GTK_BUTTON(find_button(window, "Program"))); });
    const guint watch = repeat_until_done(10, [&] {
        GtkWidget* progress =
            toplevel_titled("Loading firmware... Please do not close this window!");
        if (progress && !modal) {
            modal = gtk_window_get_modal(GTK_WINDOW(progress));
            GdkEvent* event = gdk_event_new(GDK_DELETE);
            g_signal_emit_by_name(progress, "delete-event", event, &refused);
            gdk_event_free(event);
        }
        return false;
    });

    main_loop_pass();  // the bootloader window, then the whole update inside it
    g_source_remove(watch);
    EXPECT_EQ(chooser.titles(), std::vector<std::string>{"Select firmware file"});
    EXPECT_TRUE(modal);
    EXPECT_TRUE(refused) << "the progress window cannot be closed";
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Successfully programmed device."});
    EXPECT_FALSE(connection().link().is_open());
    EXPECT_EQ(program_context().settings.last_firmware_folder, folder_);

    EXPECT_TRUE(pass_until_status("QN718-0031"));
}

TEST_F(FirmwareWindowsTest, EachOutcomeShowsItsText) {
    const std::string good = firmware("good.bin", 9984);
    std::string bad = make_firmware_file(9984);
    bad[300] ^= 1;
    const std::string corrupted = write_firmware_file(folder_, "bad.bin", bad);
    const std::string too_short =
        write_firmware_file(folder_, "short.bin", make_firmware_file(9984).substr(0, 9999));
    const std::string missing = folder_ + "/missing.bin";
    const struct {
        const char* name;
        std::function<void()> arm;
        std::vector<std::string> answers;
        std::vector<std::string> texts;
    } cases[] = {
        {"incompatible",
         [] { sim::set_bootloader_hardware_type(9); },
         {good},
         {"File is not compatible with hardware"}},
        {"too large", [] {}, {firmware("large.bin", 499689)}, {"Firmware too large."}},
        {"read-back differs",
         [] { sim::set_bootloader_readback_differs(3); },
         {good},
         {"Write error!"}},
        {"wrong check value", [] {}, {corrupted}, {"File corrupted!"}},
        {"short, then cancelled", [] {}, {too_short, ""}, {"File corrupted!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::reset();
        sim::set_product(sim::Product::bootloader);
        c.arm();
        ChooserAnswerer chooser(c.answers);
        MessageAnswerer ok;
        flash_firmware(connection().link(), FlashMode::from_bootloader);
        run_events_until([] { return message_slot() == nullptr; });
        EXPECT_EQ(ok.seen(), c.texts);
        EXPECT_EQ(chooser.titles().size(), c.answers.size());
    }

    // The automatic mode reads its file without a chooser and reports one it cannot open.
    sim::reset();
    ASSERT_EQ(connection().link().open(), OpenResult::link);
    MessageAnswerer ok;
    EXPECT_EQ(flash_firmware(connection().link(), FlashMode::automatic, missing),
              FlashResult::file_unreadable);
    run_events_until([] { return message_slot() == nullptr; });
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Error opening file " + missing + "!"});
}

TEST_F(FirmwareWindowsTest, AutoflashKeyChoosesTheFolderAndANewFileIsFlashedOnce) {
    EXPECT_FALSE(
        handle_main_window_key(connection().link(), GDK_f, GDK_CONTROL_MASK | GDK_MOD2_MASK))
        << "NumLock is no Alt";
    EXPECT_FALSE(handle_main_window_key(connection().link(), GDK_f, GDK_CONTROL_MASK));
    auto mode_label_shown = [] {
        const auto texts = label_texts(main_window());
        return std::find(texts.begin(), texts.end(), "AUTOFLASH") != texts.end();
    };
    {
        ChooserAnswerer cancel({""});
        EXPECT_TRUE(
            handle_main_window_key(connection().link(), GDK_F, GDK_CONTROL_MASK | GDK_MOD1_MASK));
        EXPECT_EQ(cancel.titles(), std::vector<std::string>{"Wybierz katalog"});
        EXPECT_TRUE(autoflash_folder().empty());
        EXPECT_FALSE(mode_label_shown());
    }
    {
        ChooserAnswerer choose({folder_});
        EXPECT_TRUE(handle_main_window_key(connection().link(), GDK_f,
                                           GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_MOD2_MASK));
    }
    EXPECT_EQ(autoflash_folder(), folder_);
    EXPECT_EQ(program_context().settings.last_firmware_folder, folder_);
    EXPECT_TRUE(mode_label_shown());

    // The main loop scans the folder: the first scan finds it empty, then a settled file comes.
    MessageAnswerer ok;
    ASSERT_TRUE(pass_until_state(AppState::connected));
    const std::string file = firmware("new.bin", 9984, 51);
    const timespec ten_seconds_ago[2] = {{time(nullptr) - 10, 0}, {time(nullptr) - 10, 0}};
    utimensat(AT_FDCWD, file.c_str(), ten_seconds_ago, 0);
    main_loop_pass();
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Successfully programmed device."});
    EXPECT_TRUE(pass_until_status("QN718-0051"));
}

}  // namespace
