#include "gui/gui_fixture.h"

#include <chrono>
#include <memory>

#include "ui/widget_kit.h"
#include "platform/sleep.h"
#include "sim/sim_control.h"

void GuiTest::SetUp() {
    if (!gui_available())
        GTEST_SKIP() << "no display";
    sim::reset();
    create_fonts();
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

namespace {

void collect(GtkWidget* widget, const std::function<void(GtkWidget*)>& visit) {
    visit(widget);
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next)
            collect(GTK_WIDGET(child->data), visit);
        g_list_free(children);
    }
}

using Step = std::function<bool()>;

// Calls step from the event loop every interval_ms until it returns true.
guint repeat_until_done(int interval_ms, Step step) {
    return g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(interval_ms),
        [](gpointer data) -> gboolean { return !(*static_cast<Step*>(data))(); },
        std::make_unique<Step>(std::move(step)).release(),
        [](gpointer data) { std::unique_ptr<Step> owned(static_cast<Step*>(data)); });
}

}  // namespace

std::vector<std::string> label_texts(GtkWidget* root) {
    std::vector<std::string> texts;
    collect(root, [&](GtkWidget* w) {
        if (GTK_IS_LABEL(w))
            texts.emplace_back(gtk_label_get_text(GTK_LABEL(w)));
    });
    return texts;
}

GtkWidget* find_widget(GtkWidget* root, const std::function<bool(GtkWidget*)>& match) {
    GtkWidget* found = nullptr;
    collect(root, [&](GtkWidget* w) {
        if (!found && match(w))
            found = w;
    });
    return found;
}

GtkWidget* find_button(GtkWidget* root, const std::string& text) {
    return find_widget(root, [&](GtkWidget* w) {
        GtkWidget* child = GTK_IS_BUTTON(w) ? gtk_bin_get_child(GTK_BIN(w)) : nullptr;
        return child && GTK_IS_LABEL(child) && text == gtk_label_get_text(GTK_LABEL(child));
    });
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
