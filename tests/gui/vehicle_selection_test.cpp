// The vehicle selection handlers on the configuration page's own lists and CAN level entry.
#include <cstring>
#include <string>
#include <vector>

#include "app/language.h"
#include "gui/config_page_fixture.h"
#include "ui/program_context.h"

namespace {

std::vector<std::string> list_texts(GtkWidget* list) {
    std::vector<std::string> texts;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(list));
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

void choose_manufacturer(const char* name) {
    int m = 0;
    while (std::strcmp(VehicleTable[m].name, name) != 0)
        ++m;
    set_active(config_manufacturer_list(), m);
}

using VehicleSelectionTest = ConfigPageGuiTest;

TEST_F(VehicleSelectionTest, ModelWithAnotherLevelPutsItInTheEntryAndMarksEntryAndSave) {
    // The silent read shows the device's vehicle, unmarked.
    EXPECT_EQ(page_selection(), "Volkswagen: Golf V 1K year 2003-2009 [3]");
    EXPECT_EQ(selected_car_number(), 43);
    EXPECT_EQ(page_marks(), "");

    choose_manufacturer("Audi");
    // The rows for newer firmware are left out at firmware 22.
    const std::vector<std::string> models = list_texts(config_model_list());
    EXPECT_EQ(models.size(), model_row_map().size());
    EXPECT_LT(models.size(), 35u);
    EXPECT_EQ(page_selection(), "Audi: A1 8X year 2010-2018 [3]");

    set_active(config_model_list(), 7);
    // The entry handler finds the level equal to the selection's and leaves the selection.
    EXPECT_EQ(page_selection(), "Audi: A4 8E year 2004-2008 [6]");
    EXPECT_EQ(selected_car_number(), 73);
    EXPECT_EQ(current_level(), 6);
    EXPECT_EQ(page_marks(), "canlevel Save");
}

TEST_F(VehicleSelectionTest, SelectVehicleUpdatesTheEntryOnlyWhenAsked) {
    // Exact through the second level: the row's own level is 6, the entry shows 110.
    select_vehicle(110, 73, true);
    EXPECT_EQ(page_selection(), "Audi: A4 8E year 2004-2008 [110]");
    EXPECT_EQ(selected_car_number(), 73);
    EXPECT_EQ(current_level(), 110);
    select_vehicle(0, 0, true);
    EXPECT_EQ(page_selection(), "Analogue Speed Signal: Analogue Speed Signal  [0]");
    EXPECT_EQ(selected_car_number(), 65534);

    type_level("keep");
    select_vehicle(3, 43, false);
    EXPECT_EQ(page_selection(), "Volkswagen: Golf V 1K year 2003-2009 [keep]");
    EXPECT_EQ(current_level(), 3);
    EXPECT_TRUE(update_entry_flag());
}

TEST_F(VehicleSelectionTest, TypedLevelSelectsTheFirstRowOrNoneAndStaysAsTyped) {
    type_level("110");
    EXPECT_EQ(page_selection(), "Audi: A6 4B year 1997-2004 [110]");
    EXPECT_EQ(current_level(), 110);
    type_level("3x");
    EXPECT_EQ(page_selection(), "Audi: A1 8X year 2010-2018 [3x]");
    type_level("abc");  // not a number at all: level 0
    EXPECT_EQ(page_selection(), "Analogue Speed Signal: Analogue Speed Signal  [abc]");

    // A level no visible row carries empties both lists.
    type_level("255");
    EXPECT_EQ(page_selection(), ":  [255]");
    EXPECT_TRUE(list_texts(config_model_list()).empty());
    EXPECT_TRUE(model_row_map().empty());
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_EQ(current_level(), 255);
    // From the device: the entry shows the level even though nothing matches.
    select_vehicle(65536, 43, true);
    EXPECT_EQ(page_selection(), ":  [65536]");
    EXPECT_EQ(selected_car_number(), 0);
    // Choosing a manufacturer again brings the lists back.
    choose_manufacturer("Volkswagen");
    EXPECT_EQ(list_texts(config_model_list()).size(), model_row_map().size());
    EXPECT_NE(selected_car_number(), 0);
}

TEST_F(VehicleSelectionTest, FirmwareFiltersTheListsAndTheLookup) {
    type_level("42");
    choose_manufacturer("Tesla");  // its only row needs firmware 25
    EXPECT_EQ(page_selection(), "Tesla:  [42]");
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_TRUE(list_texts(config_model_list()).empty());
    EXPECT_TRUE(model_row_map().empty());

    program_context().firmware_number =
        16;  // the list and the lookup themselves: vehicle_lookup_test
    select_vehicle(260, 1350, true);
    EXPECT_EQ(page_selection(), "Honda: Civic 10 gen. year 2015-2017 [260]");
}

TEST_F(VehicleSelectionTest, EachFillUsesTheCurrentLanguage) {
    program_context().language = kPolish;
    select_vehicle(110, 73, true);
    EXPECT_EQ(page_selection(), "Audi: A4 8E rocznik 2004-2008 [110]");
}

TEST_F(VehicleSelectionTest, DestroyedWidgetsEndTheSelection) {
    gtk_container_remove(GTK_CONTAINER(window_), config_page_root());
    destroy_config_page();
    EXPECT_FALSE(page_built());
    EXPECT_EQ(selected_car_number(), 0);
    EXPECT_TRUE(model_row_map().empty());
    // Without a page only the level is remembered.
    select_vehicle(3, 43, true);
    EXPECT_EQ(current_level(), 3);
    follow_level_entry_text("110");
    EXPECT_EQ(current_level(), 3);
}

}  // namespace
