// The vehicle selection on real GTK widgets, wired the way the configuration page wires them:
// two text combo boxes and an entry whose change handler follows the typed level.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/widget_kit.h"
#include "config/vehicle_selection.h"
#include "gui/gui_fixture.h"

namespace {

int manufacturer_index(const char* name) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        if (std::strcmp(VehicleTable[m].name, name) == 0)
            return m;
    }
    return -1;
}

std::vector<std::string> list_texts(GtkComboBox* list) {
    std::vector<std::string> texts;
    GtkTreeModel* model = gtk_combo_box_get_model(list);
    GtkTreeIter iter;
    for (bool more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
        gchar* text = nullptr;
        gtk_tree_model_get(model, &iter, 0, &text, -1);
        texts.emplace_back(text ? text : "");
        g_free(text);
    }
    return texts;
}

std::string active_text(GtkComboBox* list) {
    const int active = gtk_combo_box_get_active(list);
    if (active < 0)
        return "";
    return list_texts(list)[active];
}

class VehicleSelectionTest : public GuiTest {
   protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        set_current_language(kEnglish);
        set_firmware_number(22);
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        GtkWidget* box = gtk_vbox_new(FALSE, 1);
        gtk_container_add(GTK_CONTAINER(window_), box);
        manufacturers_ = GTK_COMBO_BOX(gtk_combo_box_new_text());
        models_ = GTK_COMBO_BOX(gtk_combo_box_new_text());
        entry_ = GTK_ENTRY(gtk_entry_new());
        gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(manufacturers_), FALSE, FALSE, 1);
        gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(models_), FALSE, FALSE, 1);
        gtk_box_pack_start(GTK_BOX(box), GTK_WIDGET(entry_), FALSE, FALSE, 1);
        g_signal_connect(entry_, "changed", G_CALLBACK(on_entry_changed), this);
        font_ = pango_font_description_from_string("Arial 7");

        attach_vehicle_widgets(manufacturers_, models_, entry_, font_);
        fill_model_list();
        gtk_widget_show_all(window_);
        process_pending_events();
    }

    void TearDown() override {
        if (window_)
            gtk_widget_destroy(window_);
        if (font_)
            pango_font_description_free(font_);
        set_current_language(kEnglish);
        GuiTest::TearDown();
    }

    // The page's entry handler, as far as the selection is concerned.
    static void on_entry_changed(GtkEditable* editable, gpointer self) {
        auto* test = static_cast<VehicleSelectionTest*>(self);
        ++test->entry_handler_runs_;
        follow_level_entry_text(gtk_entry_get_text(GTK_ENTRY(editable)));
    }

    void choose_manufacturer(const char* name) {
        gtk_combo_box_set_active(manufacturers_, manufacturer_index(name));
    }

    std::string entry_text() const { return gtk_entry_get_text(entry_); }
    std::string manufacturer() const { return active_text(manufacturers_); }
    std::string model() const { return active_text(models_); }

    GtkWidget* window_ = nullptr;
    GtkComboBox* manufacturers_ = nullptr;
    GtkComboBox* models_ = nullptr;
    GtkEntry* entry_ = nullptr;
    PangoFontDescription* font_ = nullptr;
    int entry_handler_runs_ = 0;
};

}  // namespace

TEST_F(VehicleSelectionTest, FirstFillListsEveryManufacturerAndTheFirstModels) {
    const std::vector<std::string> names = list_texts(manufacturers_);
    ASSERT_EQ(names.size(), 54u);
    EXPECT_EQ(names.front(), "Alfa Romeo");
    EXPECT_EQ(names.back(), "Volvo");
    EXPECT_EQ(manufacturer(), "Alfa Romeo");
    EXPECT_EQ(list_texts(models_).size(), 4u);
    EXPECT_EQ(model_row_map(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(gtk_combo_box_get_active(models_), 0);
    const VehicleRow& first = VehicleTable[0].rows[0];
    EXPECT_EQ(entry_text(), std::to_string(first.level));
    EXPECT_EQ(current_level(), first.level);
    EXPECT_EQ(selected_car_number(), first.car_number);
    EXPECT_TRUE(page_built());
    EXPECT_TRUE(update_entry_flag());
}

TEST_F(VehicleSelectionTest, ChoosingAModelPutsItsLevelInTheEntry) {
    choose_manufacturer("Audi");
    // The A6 4K and the other rows for newer firmware are left out at firmware 22.
    const std::vector<std::string> models = list_texts(models_);
    EXPECT_EQ(models.size(), model_row_map().size());
    EXPECT_LT(models.size(), 35u);
    EXPECT_EQ(models[0], "A1 8X year 2010-2018");
    EXPECT_EQ(entry_text(), "3");

    const int runs_before = entry_handler_runs_;
    gtk_combo_box_set_active(models_, 7);
    EXPECT_EQ(model(), "A4 8E year 2004-2008\nAfter facelift. (FL)");
    EXPECT_EQ(entry_text(), "6");
    EXPECT_GT(entry_handler_runs_, runs_before);
    EXPECT_EQ(current_level(), 6);
    EXPECT_EQ(selected_car_number(), 73);
    // The entry handler found the number equal to the selection and left it alone.
    EXPECT_EQ(manufacturer(), "Audi");
}

TEST_F(VehicleSelectionTest, SelectVehicleExactPrimaryAndSecondary) {
    // Exact: the default block's level and car number.
    select_vehicle(3, 43, true);
    EXPECT_EQ(manufacturer(), "Volkswagen");
    EXPECT_EQ(model(), "Golf V 1K year 2003-2009");
    EXPECT_EQ(entry_text(), "3");
    EXPECT_EQ(selected_car_number(), 43);

    // Exact through the second level: the row's own level is 6, the entry keeps 110.
    select_vehicle(110, 73, true);
    EXPECT_EQ(manufacturer(), "Audi");
    EXPECT_EQ(model(), "A4 8E year 2004-2008\nAfter facelift. (FL)");
    EXPECT_EQ(entry_text(), "110");
    EXPECT_EQ(current_level(), 110);
    EXPECT_EQ(selected_car_number(), 73);

    // Without the car number the first row by level wins over the earlier row by second level.
    select_vehicle(110, 0, true);
    EXPECT_EQ(model(), "A6 4B year 1997-2004");
    EXPECT_EQ(entry_text(), "110");

    select_vehicle(0, 0, true);
    EXPECT_EQ(manufacturer(), "Analogue Speed Signal");
    EXPECT_EQ(model(), "Analogue Speed Signal ");
    EXPECT_EQ(selected_car_number(), 65534);
    EXPECT_EQ(entry_text(), "0");
    EXPECT_TRUE(update_entry_flag());
}

TEST_F(VehicleSelectionTest, SelectVehicleWithoutEntryUpdateLeavesTheText) {
    gtk_entry_set_text(entry_, "keep");
    select_vehicle(3, 43, false);
    EXPECT_EQ(model(), "Golf V 1K year 2003-2009");
    EXPECT_EQ(entry_text(), "keep");
    EXPECT_EQ(current_level(), 3);
    EXPECT_TRUE(update_entry_flag());
}

TEST_F(VehicleSelectionTest, TypedLevelSelectsTheFirstRowAndStaysAsTyped) {
    gtk_entry_set_text(entry_, "110");
    EXPECT_EQ(manufacturer(), "Audi");
    EXPECT_EQ(model(), "A6 4B year 1997-2004");
    EXPECT_EQ(entry_text(), "110");
    EXPECT_EQ(current_level(), 110);

    gtk_entry_set_text(entry_, "3x");
    EXPECT_EQ(model(), "A1 8X year 2010-2018");
    EXPECT_EQ(entry_text(), "3x");

    // Not a number at all: level 0.
    gtk_entry_set_text(entry_, "abc");
    EXPECT_EQ(manufacturer(), "Analogue Speed Signal");
    EXPECT_EQ(entry_text(), "abc");
}

TEST_F(VehicleSelectionTest, LevelNoVisibleRowCarriesEmptiesTheSelection) {
    gtk_entry_set_text(entry_, "255");
    EXPECT_EQ(gtk_combo_box_get_active(manufacturers_), -1);
    EXPECT_TRUE(list_texts(models_).empty());
    EXPECT_TRUE(model_row_map().empty());
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_EQ(entry_text(), "255");
    EXPECT_EQ(current_level(), 255);

    // From the device: the entry shows the level even though nothing matches.
    select_vehicle(65536, 43, true);
    EXPECT_TRUE(list_texts(models_).empty());
    EXPECT_EQ(entry_text(), "65536");
    EXPECT_EQ(selected_car_number(), 0);

    // Choosing a manufacturer again brings the lists back.
    choose_manufacturer("Volkswagen");
    EXPECT_EQ(list_texts(models_).size(), model_row_map().size());
    EXPECT_NE(selected_car_number(), 0);
}

TEST_F(VehicleSelectionTest, FirmwareFiltersTheListsAndTheLookup) {
    set_firmware_number(16);
    choose_manufacturer("Honda");
    const std::vector<std::string> models = list_texts(models_);
    EXPECT_EQ(models.size(), 7u);
    for (const std::string& label : models)
        EXPECT_EQ(label.find("11 gen."), std::string::npos);
    EXPECT_EQ(model_row_map(), (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));

    select_vehicle(260, 1350, true);
    EXPECT_EQ(model(), "Civic 10 gen. year 2015-2017");
    EXPECT_NE(selected_car_number(), 1350);

    set_firmware_number(22);
    select_vehicle(260, 1350, true);
    EXPECT_EQ(model(), "Civic 11 gen. year 2017->");
    EXPECT_EQ(selected_car_number(), 1350);
}

TEST_F(VehicleSelectionTest, ManufacturerWithoutVisibleRowsGivesAnEmptyList) {
    gtk_entry_set_text(entry_, "42");
    choose_manufacturer("Tesla");
    EXPECT_EQ(manufacturer(), "Tesla");
    EXPECT_TRUE(list_texts(models_).empty());
    EXPECT_TRUE(model_row_map().empty());
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_EQ(entry_text(), "42");
}

TEST_F(VehicleSelectionTest, LabelsFollowTheLanguage) {
    set_current_language(kPolish);
    select_vehicle(110, 73, true);
    EXPECT_EQ(model(), "A4 8E rocznik 2004-2008\nWersja po liftingu.");

    set_current_language(kSlovak);
    select_vehicle(3, 43, true);
    EXPECT_EQ(model(), "Golf V 1K year 2003-2009\n43");
    for (const std::string& label : list_texts(models_))
        EXPECT_NE(label.rfind('\n'), std::string::npos);
}

TEST_F(VehicleSelectionTest, ListFontIsAppliedAfterEachFill) {
    choose_manufacturer("Volvo");
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(models_));
    ASSERT_NE(child, nullptr);
    GtkRcStyle* style = gtk_widget_get_modifier_style(child);
    ASSERT_NE(style->font_desc, nullptr);
    EXPECT_TRUE(pango_font_description_equal(style->font_desc, font_));
}

TEST_F(VehicleSelectionTest, DestroyedWidgetsEndTheSelection) {
    gtk_widget_destroy(window_);
    window_ = nullptr;
    EXPECT_FALSE(page_built());
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_TRUE(model_row_map().empty());
    // Without a page only the level is remembered.
    select_vehicle(3, 43, true);
    EXPECT_EQ(current_level(), 3);
    follow_level_entry_text("110");
    EXPECT_EQ(current_level(), 3);
}
