#include "gui/gui_fixture.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "ui/widget_kit.h"
#include "platform/sleep.h"
#include "sim/sim_control.h"

namespace {
bool g_have_display = false;
// The running test's context. It stays until the next test's has taken its place: windows a
// test leaves open may still reach it while GTK winds them down.
std::unique_ptr<ProgramContext> g_context;
}  // namespace

bool gui_available() {
    return g_have_display;
}

// GUI tests run in-process under Xvfb. Without a display every test is skipped.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A forked child would share the parent's X connection; re-running the binary gives the
    // child a display connection of its own.
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    // Listing the tests must not need a display.
    if (!::testing::GTEST_FLAG(list_tests))
        g_have_display = gtk_init_check(&argc, &argv);
    return RUN_ALL_TESTS();
}

void GuiTest::SetUp() {
    if (!gui_available())
        GTEST_SKIP() << "no display";
    sim::reset();
    auto context = std::make_unique<ProgramContext>();
    use_program_context(*context);
    g_context = std::move(context);
    create_fonts();
    // File choosers record recent files there and warn when they cannot.
    if (const char* home = std::getenv("HOME"))
        std::filesystem::create_directories(std::string(home) + "/.local/share");
}

void GuiTest::TearDown() {
    clear_message_slot();
    if (gui_available())
        process_pending_events();
}

bool run_events_until(const std::function<bool()>& pred, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!pred() && std::chrono::steady_clock::now() < end) {
        process_pending_events();
        sleep_ms(2);
    }
    return pred();
}

std::vector<GtkWidget*> children(GtkWidget* container) {
    std::vector<GtkWidget*> list;
    GList* all = GTK_IS_CONTAINER(container) ? gtk_container_get_children(GTK_CONTAINER(container))
                                             : nullptr;
    for (GList* item = all; item; item = item->next)
        list.push_back(GTK_WIDGET(item->data));
    g_list_free(all);
    return list;
}

namespace {

void collect(GtkWidget* widget, const std::function<void(GtkWidget*)>& visit) {
    visit(widget);
    for (GtkWidget* child : children(widget))
        collect(child, visit);
}

}  // namespace

guint repeat_until_done(int interval_ms, std::function<bool()> step) {
    using Step = std::function<bool()>;
    return g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(interval_ms),
        [](gpointer data) -> gboolean { return !(*static_cast<Step*>(data))(); },
        std::make_unique<Step>(std::move(step)).release(),
        [](gpointer data) { std::unique_ptr<Step> owned(static_cast<Step*>(data)); });
}

std::vector<std::string> label_texts(GtkWidget* root) {
    std::vector<std::string> texts;
    collect(root, [&](GtkWidget* w) {
        if (GTK_IS_LABEL(w))
            texts.emplace_back(gtk_label_get_text(GTK_LABEL(w)));
    });
    return texts;
}

std::vector<GtkWidget*> find_widgets(GtkWidget* root,
                                     const std::function<bool(GtkWidget*)>& match) {
    std::vector<GtkWidget*> found;
    collect(root, [&](GtkWidget* w) {
        if (match(w))
            found.push_back(w);
    });
    return found;
}

GtkWidget* find_widget(GtkWidget* root, const std::function<bool(GtkWidget*)>& match) {
    const std::vector<GtkWidget*> found = find_widgets(root, match);
    return found.empty() ? nullptr : found.front();
}

GtkWidget* find_button(GtkWidget* root, const std::string& text) {
    return find_widget(root, [&](GtkWidget* w) {
        GtkWidget* child = GTK_IS_BUTTON(w) ? gtk_bin_get_child(GTK_BIN(w)) : nullptr;
        return child && GTK_IS_LABEL(child) && text == gtk_label_get_text(GTK_LABEL(child));
    });
}

bool drawn_red(GtkWidget* widget, GtkRcFlags kind, GtkStateType state) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(widget);
    const GdkColor& c = kind == GTK_RC_FG     ? style->fg[state]
                        : kind == GTK_RC_BG   ? style->bg[state]
                        : kind == GTK_RC_TEXT ? style->text[state]
                                              : style->base[state];
    return (style->color_flags[state] & kind) && c.red == 65535 && c.green == 0 && c.blue == 0;
}

std::string message_text() {
    if (message_slot()) {
        for (const std::string& text : label_texts(message_slot())) {
            if (!text.empty() && text != "OK")
                return text;
        }
    }
    return {};
}

MessageAnswerer::MessageAnswerer(std::string button_text) : button_text_(std::move(button_text)) {
    source_ = repeat_until_done(5, [this] {
        GtkWidget* button = message_slot() ? find_button(message_slot(), button_text_) : nullptr;
        if (button) {
            seen_.push_back(message_text());
            gtk_button_clicked(GTK_BUTTON(button));
        }
        return false;
    });
}

MessageAnswerer::~MessageAnswerer() {
    g_source_remove(source_);
}

GtkWidget* find_toplevel(const std::function<bool(GtkWidget*)>& match) {
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

GtkWidget* toplevel_titled(const std::string& title) {
    return find_toplevel([&](GtkWidget* w) {
        const char* t = gtk_window_get_title(GTK_WINDOW(w));
        return t && title == t;
    });
}

ChooserAnswerer::ChooserAnswerer(std::vector<std::string> answers) : answers_(std::move(answers)) {
    source_ = repeat_until_done(10, [this] { return step(); });
}

ChooserAnswerer::~ChooserAnswerer() {
    g_source_remove(source_);
}

bool ChooserAnswerer::step() {
    GtkWidget* dialog = find_toplevel([](GtkWidget* w) {
        return GTK_IS_FILE_CHOOSER_DIALOG(w) && !g_object_get_data(G_OBJECT(w), "answered");
    });
    if (!dialog)
        return false;
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    const bool open = gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_OPEN;
    const bool save = gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE;
    const size_t index = titles_.size() - (dialog == current_ ? 1 : 0);
    const std::string answer = index < answers_.size() ? answers_[index] : "";
    const std::string folder = save ? answer.substr(0, answer.rfind('/')) : answer;
    if (dialog != current_) {
        current_ = dialog;
        titles_.push_back(gtk_window_get_title(GTK_WINDOW(dialog)));
        if (!answer.empty() && open)
            gtk_file_chooser_set_filename(chooser, answer.c_str());
        else if (!answer.empty())
            gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    }
    // The chooser takes a name only once it has loaded the folder.
    gchar* now = open ? gtk_file_chooser_get_filename(chooser)
                      : gtk_file_chooser_get_current_folder(chooser);
    const bool ready = answer.empty() || (now && (open ? answer : folder) == now);
    g_free(now);
    if (ready) {
        if (save && !answer.empty())
            gtk_file_chooser_set_current_name(chooser, answer.substr(folder.size() + 1).c_str());
        current_ = nullptr;
        g_object_set_data(G_OBJECT(dialog), "answered", dialog);
        gtk_dialog_response(GTK_DIALOG(dialog),
                            answer.empty() ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
    }
    return false;
}

void when_message_shown(std::function<void(GtkWidget* window)> action) {
    repeat_until_done(5, [action] {
        GtkWidget* window = message_slot();
        if (window)
            action(window);
        return window != nullptr;
    });
}

void later(int delay_ms, std::function<void()> action) {
    repeat_until_done(delay_ms, [action] {
        action();
        return true;
    });
}
