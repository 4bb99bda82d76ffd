#include "gui/gui_fixture.h"

#include "app/widget_kit.h"
#include "platform/sleep.h"
#include "sim/sim_control.h"

#include <chrono>
#include <memory>

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
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return pred();
        process_pending_events();
        sleep_ms(2);
    }
    return true;
}

namespace {

void collect(GtkWidget* widget, const std::function<void(GtkWidget*)>& visit) {
    visit(widget);
    if (GTK_IS_CONTAINER(widget)) {
        GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList* child = children; child; child = child->next) {
            collect(GTK_WIDGET(child->data), visit);
        }
        g_list_free(children);
    }
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

GtkWidget* find_button(GtkWidget* root, const std::string& text) {
    GtkWidget* found = nullptr;
    collect(root, [&](GtkWidget* w) {
        if (found || !GTK_IS_BUTTON(w))
            return;
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(w));
        if (child && GTK_IS_LABEL(child) && text == gtk_label_get_text(GTK_LABEL(child))) {
            found = w;
        }
    });
    return found;
}

GtkWidget* find_widget_of_type(GtkWidget* root, GType type) {
    GtkWidget* found = nullptr;
    collect(root, [&](GtkWidget* w) {
        if (!found && G_TYPE_CHECK_INSTANCE_TYPE(w, type))
            found = w;
    });
    return found;
}

std::string message_text() {
    GtkWidget* window = message_slot();
    if (!window)
        return {};
    for (const std::string& text : label_texts(window)) {
        if (!text.empty() && text != "OK")
            return text;
    }
    return {};
}

MessageAnswerer::MessageAnswerer(std::string button_text) : button_text_(std::move(button_text)) {
    source_ = g_timeout_add(5, &MessageAnswerer::tick, this);
}

MessageAnswerer::~MessageAnswerer() {
    if (source_)
        g_source_remove(source_);
}

gboolean MessageAnswerer::tick(gpointer data) {
    auto* self = static_cast<MessageAnswerer*>(data);
    GtkWidget* window = message_slot();
    if (!window)
        return TRUE;
    GtkWidget* button = find_button(window, self->button_text_);
    if (!button)
        return TRUE;
    self->seen_.push_back(message_text());
    gtk_button_clicked(GTK_BUTTON(button));
    return TRUE;
}

namespace {

gboolean run_later(gpointer data) {
    std::unique_ptr<std::function<void()>> action(static_cast<std::function<void()>*>(data));
    (*action)();
    return FALSE;
}

}  // namespace

namespace {

gboolean run_when_shown(gpointer data) {
    auto* action = static_cast<std::function<void(GtkWidget*)>*>(data);
    if (!message_slot())
        return TRUE;
    std::unique_ptr<std::function<void(GtkWidget*)>> owned(action);
    (*owned)(message_slot());
    return FALSE;
}

}  // namespace

void when_message_shown(std::function<void(GtkWidget* window)> action) {
    auto owned = std::make_unique<std::function<void(GtkWidget*)>>(std::move(action));
    g_timeout_add(5, run_when_shown, owned.release());
}

void later(int delay_ms, std::function<void()> action) {
    auto owned = std::make_unique<std::function<void()>>(std::move(action));
    g_timeout_add(static_cast<guint>(delay_ms), run_later, owned.release());
}
