// Firmware updates through the windows: the bootloader window's "Program", the menu, the
// messages of each outcome and the AUTOFLASH folder watch, against the simulated device.
#include <gdk/gdkkeysyms.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <set>

#include "ui/key_bindings.h"
#include "ui/menu_bar.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "gui/connection_fixture.h"
#include "ui/autoflash_window.h"
#include "ui/firmware_windows.h"
#include "unit/firmware_files.h"

namespace {

// Calls tick from the event loop every 10 ms while the object lives.
class Ticker {
   public:
    explicit Ticker(std::function<void()> tick) : tick_(std::move(tick)) {
        source_ = g_timeout_add(
            10,
            [](gpointer self) -> gboolean {
                static_cast<Ticker*>(self)->tick_();
                return TRUE;
            },
            this);
    }
    ~Ticker() { g_source_remove(source_); }

   private:
    std::function<void()> tick_;
    guint source_ = 0;
};

GtkWidget* visible_toplevel(const std::function<bool(GtkWidget*)>& match) {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        GtkWidget* widget = GTK_WIDGET(w->data);
        if (!found && gtk_widget_get_visible(widget) && match(widget))
            found = widget;
    }
    g_list_free(windows);
    return found;
}

// Answers file choosers in turn: a path is chosen and accepted, an empty answer cancels.
class ChooserAnswerer {
   public:
    explicit ChooserAnswerer(std::vector<std::string> answers)
        : answers_(std::move(answers)), ticker_([this] { tick(); }) {}
    const std::vector<std::string>& titles() const { return titles_; }

   private:
    void tick() {
        GtkWidget* dialog = visible_toplevel(
            [this](GtkWidget* w) { return GTK_IS_FILE_CHOOSER_DIALOG(w) && !answered_.count(w); });
        if (!dialog)
            return;
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        const bool folder =
            gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER;
        const std::string answer = next_ < answers_.size() ? answers_[next_] : "";
        if (dialog != current_) {
            current_ = dialog;
            titles_.push_back(gtk_window_get_title(GTK_WINDOW(dialog)));
            if (!answer.empty()) {
                if (folder)
                    gtk_file_chooser_set_current_folder(chooser, answer.c_str());
                else
                    gtk_file_chooser_set_filename(chooser, answer.c_str());
            }
        }
        bool ready = answer.empty();
        if (!ready) {
            // The chooser takes a name once it has loaded the folder.
            gchar* now = folder ? gtk_file_chooser_get_current_folder(chooser)
                                : gtk_file_chooser_get_filename(chooser);
            ready = now && answer == now;
            g_free(now);
        }
        if (ready) {
            answered_.insert(dialog);
            g_signal_connect(dialog, "destroy", G_CALLBACK(+[](GtkWidget* w, gpointer self) {
                                 static_cast<ChooserAnswerer*>(self)->answered_.erase(w);
                             }),
                             this);
            ++next_;
            current_ = nullptr;
            gtk_dialog_response(GTK_DIALOG(dialog),
                                answer.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
        }
    }

    std::vector<std::string> answers_;
    size_t next_ = 0;
    GtkWidget* current_ = nullptr;
    std::set<GtkWidget*> answered_;
    std::vector<std::string> titles_;
    Ticker ticker_;
};

GtkWidget* menu_item_labelled(GtkWidget* bar, const std::string& text) {
    GList* items = gtk_container_get_children(GTK_CONTAINER(bar));
    GtkWidget* found = nullptr;
    for (GList* i = items; i && !found; i = i->next) {
        GtkWidget* submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(i->data));
        if (submenu)
            found = find_widget(submenu, [&](GtkWidget* w) {
                return GTK_IS_MENU_ITEM(w) && GTK_IS_LABEL(gtk_bin_get_child(GTK_BIN(w))) &&
                       text == gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(w))));
            });
    }
    g_list_free(items);
    return found;
}

class FirmwareWindowsTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        char pattern[] = "/tmp/qn718-fwgui-XXXXXX";
        folder_ = mkdtemp(pattern);
        // The file chooser records recent files there and warns when it cannot.
        if (const char* home = std::getenv("HOME"))
            std::system(("mkdir -p " + std::string(home) + "/.local/share").c_str());
    }
    void TearDown() override {
        ConnectionTest::TearDown();
        std::system(("rm -rf " + folder_).c_str());
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
    bool progress_seen = false;
    bool modal = false;
    gboolean refused = FALSE;
    when_message_shown(
        [](GtkWidget* window) { gtk_button_clicked(GTK_BUTTON(find_button(window, "Program"))); });
    Ticker watch([&] {
        GtkWidget* progress = visible_toplevel([](GtkWidget* w) {
            const char* title = gtk_window_get_title(GTK_WINDOW(w));
            return title &&
                   std::string(title) == "Loading firmware... Please do not close this window!";
        });
        if (!progress || progress_seen)
            return;
        progress_seen = true;
        modal = gtk_window_get_modal(GTK_WINDOW(progress));
        GdkEvent* event = gdk_event_new(GDK_DELETE);
        g_signal_emit_by_name(progress, "delete-event", event, &refused);
        gdk_event_free(event);
    });

    main_loop_pass();  // the bootloader window, then the whole update inside it
    EXPECT_EQ(chooser.titles(), std::vector<std::string>{"Select firmware file"});
    EXPECT_TRUE(progress_seen);
    EXPECT_TRUE(modal);
    EXPECT_TRUE(refused) << "the progress window cannot be closed";
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Successfully programmed device."});
    EXPECT_FALSE(connection().link().is_open());
    EXPECT_EQ(user_settings().last_firmware_folder, folder_);

    EXPECT_TRUE(pass_until_status("QN718-0031"));
}

TEST_F(FirmwareWindowsTest, MenuItemUpdatesARunningDevice) {
    GtkWidget* box = gtk_vbox_new(FALSE, 0);
    g_object_ref_sink(box);
    build_menu_bar(box);
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    GtkWidget* item = menu_item_labelled(GTK_WIDGET(children->data), "Firmware update");
    g_list_free(children);
    ASSERT_NE(item, nullptr);

    ASSERT_TRUE(pass_until_state(AppState::connected));
    {
        ChooserAnswerer chooser({firmware("menu.bin", 12000, 42)});
        MessageAnswerer ok;
        gtk_menu_item_activate(GTK_MENU_ITEM(item));
        EXPECT_EQ(ok.seen(), std::vector<std::string>{"Successfully programmed device."});
    }
    EXPECT_TRUE(pass_until_status("QN718-0042"));

    g_object_unref(box);
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
        EXPECT_EQ(flash_firmware(FlashMode::from_bootloader), 1);
        run_events_until([] { return message_slot() == nullptr; });
        EXPECT_EQ(ok.seen(), c.texts);
        EXPECT_EQ(chooser.titles().size(), c.answers.size());
    }

    // The automatic mode reads its file without a chooser and reports one it cannot open.
    sim::reset();
    ASSERT_EQ(connection().link().open(), OpenResult::link);
    MessageAnswerer ok;
    EXPECT_EQ(flash_firmware(FlashMode::automatic, missing), 0);
    run_events_until([] { return message_slot() == nullptr; });
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Error opening file " + missing + "!"});
}

TEST_F(FirmwareWindowsTest, AutoflashKeyChoosesTheFolderAndANewFileIsFlashedOnce) {
    EXPECT_FALSE(handle_main_window_key(GDK_f, GDK_CONTROL_MASK | GDK_MOD2_MASK))
        << "NumLock is no Alt";
    EXPECT_FALSE(handle_main_window_key(GDK_f, GDK_CONTROL_MASK));
    auto mode_label_shown = [] {
        const auto texts = label_texts(main_window());
        return std::find(texts.begin(), texts.end(), "AUTOFLASH") != texts.end();
    };
    {
        ChooserAnswerer cancel({""});
        EXPECT_TRUE(handle_main_window_key(GDK_F, GDK_CONTROL_MASK | GDK_MOD1_MASK));
        EXPECT_EQ(cancel.titles(), std::vector<std::string>{"Wybierz katalog"});
        EXPECT_TRUE(autoflash_folder().empty());
        EXPECT_FALSE(mode_label_shown());
    }
    const std::string old_file = firmware("old.bin", 9984, 50);
    const timespec a_minute_ago[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    utimensat(AT_FDCWD, old_file.c_str(), a_minute_ago, 0);
    {
        ChooserAnswerer choose({folder_});
        EXPECT_TRUE(
            handle_main_window_key(GDK_f, GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_MOD2_MASK));
    }
    EXPECT_EQ(autoflash_folder(), folder_);
    EXPECT_EQ(user_settings().last_firmware_folder, folder_);
    EXPECT_TRUE(mode_label_shown());

    MessageAnswerer ok;
    ASSERT_TRUE(pass_until_state(AppState::connected));  // the first scan records old.bin only
    EXPECT_TRUE(ok.seen().empty());

    // Written ten seconds ago, after old.bin: settled, and the newest.
    const std::string new_file = firmware("new.bin", 9984, 51);
    const timespec ten_seconds_ago[2] = {{time(nullptr) - 10, 0}, {time(nullptr) - 10, 0}};
    utimensat(AT_FDCWD, new_file.c_str(), ten_seconds_ago, 0);
    main_loop_pass();
    EXPECT_EQ(ok.seen(), std::vector<std::string>{"Successfully programmed device."});
    EXPECT_TRUE(pass_until_status("QN718-0051"));
    for (int i = 0; i < 20; ++i)
        main_loop_pass();
    EXPECT_EQ(ok.seen().size(), 1u) << "flashed once";
}

}  // namespace
