// Shared help for GUI tests: a display check, a clean simulated device, a program context of
// the test's own, and ways to play the user while the program's own loops pump events.
#pragma once

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/program_context.h"

bool gui_available();

class GuiTest : public ::testing::Test {
   protected:
    void SetUp() override;
    void TearDown() override;
};

// Processes events until pred holds or timeout_ms passes; returns pred().
bool run_events_until(const std::function<bool()>& pred, int timeout_ms = 2000);

// A container's children in order; none for other widgets.
std::vector<GtkWidget*> children(GtkWidget* container);
// Every label text inside a widget tree, in tree order.
std::vector<std::string> label_texts(GtkWidget* root);
// The widgets of a tree that match, in tree order; the first of them, or null.
std::vector<GtkWidget*> find_widgets(GtkWidget* root, const std::function<bool(GtkWidget*)>& match);
GtkWidget* find_widget(GtkWidget* root, const std::function<bool(GtkWidget*)>& match);
// The first button whose label reads text, or null.
GtkWidget* find_button(GtkWidget* root, const std::string& text);
// True when the widget's colour override of this kind (GTK_RC_FG, _BG, _TEXT or _BASE) in this
// state is pure red.
bool drawn_red(GtkWidget* widget, GtkRcFlags kind, GtkStateType state = GTK_STATE_NORMAL);
// Text of the label in the message window, "" when the slot is empty.
std::string message_text();

// From the event loop, whenever a message window with a button labelled button_text stands
// in the slot: remembers its text and presses that button.
class MessageAnswerer {
   public:
    explicit MessageAnswerer(std::string button_text = "OK");
    ~MessageAnswerer();
    const std::vector<std::string>& seen() const { return seen_; }

   private:
    std::string button_text_;
    std::vector<std::string> seen_;
    guint source_ = 0;
};

// Answers file choosers in turn from the event loop: each path is chosen (a folder chooser takes
// it as the folder, a save chooser as folder and name) and accepted; an empty path cancels.
class ChooserAnswerer {
   public:
    explicit ChooserAnswerer(std::vector<std::string> answers);
    ~ChooserAnswerer();
    const std::vector<std::string>& titles() const { return titles_; }

   private:
    bool step();
    std::vector<std::string> answers_;
    std::vector<std::string> titles_;
    GtkWidget* current_ = nullptr;
    guint source_ = 0;
};

// The visible top-level window that matches, or null.
GtkWidget* find_toplevel(const std::function<bool(GtkWidget*)>& match);
GtkWidget* toplevel_titled(const std::string& title);
// Calls step from the event loop every interval_ms until it returns true; the source id.
guint repeat_until_done(int interval_ms, std::function<bool()> step);
// Calls action once, from the event loop, as soon as a window stands in the message slot.
void when_message_shown(std::function<void(GtkWidget* window)> action);
// Calls action once from the event loop after delay_ms (a user pressing something while a
// nested loop runs).
void later(int delay_ms, std::function<void()> action);
