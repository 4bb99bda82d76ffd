// Vehicle lookup and model-list building: both run inside GTK handlers while the user types a
// level or picks a manufacturer, so they must stay far below a frame's time.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <cstring>
#include <string>

#include "app/language.h"
#include "config/vehicle_lookup.h"
#include "bench/bench_context.h"
#include "ui/vehicle_selection.h"

namespace {

int manufacturer_index(const char* name) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        if (std::strcmp(VehicleTable[m].name, name) == 0)
            return m;
    }
    return -1;
}

// The worst case: no row carries the level, so every row of the table is looked at.
void BM_FindVehicleNoMatch(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(find_vehicle(255, 0, 25));
    state.SetItemsProcessed(state.iterations() * kVehicleRowCount);
}
BENCHMARK(BM_FindVehicleNoMatch);

// The default block's vehicle, found by exact match in the last manufacturers but one.
void BM_FindVehicleGolfV(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(find_vehicle(3, 43, 22));
}
BENCHMARK(BM_FindVehicleGolfV);

// The labels of the largest manufacturer, as fill_model_list makes them.
void BM_VolkswagenLabels(benchmark::State& state) {
    const int volkswagen = manufacturer_index("Volkswagen");
    const int language = static_cast<int>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (const int row : visible_rows(volkswagen, 25)) {
            const std::string label =
                vehicle_row_label(VehicleTable[volkswagen].rows[row], language, "year");
            bytes += label.size();
            benchmark::DoNotOptimize(label.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * VehicleTable[volkswagen].row_count);
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_VolkswagenLabels)->Arg(kEnglish)->Arg(kSlovak);

// The whole model-list fill on real widgets; needs a display.
void BM_FillModelListVolkswagen(benchmark::State& state) {
    static const bool have_display = gtk_init_check(nullptr, nullptr);
    if (!have_display) {
        state.SkipWithError("no display");
        return;
    }
    bench_context().firmware_number = 25;
    GtkWidget* manufacturers = gtk_combo_box_new_text();
    GtkWidget* models = gtk_combo_box_new_text();
    GtkWidget* entry = gtk_entry_new();
    g_object_ref_sink(manufacturers);
    g_object_ref_sink(models);
    g_object_ref_sink(entry);
    attach_vehicle_widgets(GTK_COMBO_BOX(manufacturers), GTK_COMBO_BOX(models), GTK_ENTRY(entry),
                           nullptr);
    gtk_combo_box_set_active(GTK_COMBO_BOX(manufacturers), manufacturer_index("Volkswagen"));
    for (auto _ : state)
        fill_model_list();
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(model_row_map().size()));
    detach_vehicle_widgets();
    gtk_widget_destroy(manufacturers);
    gtk_widget_destroy(models);
    gtk_widget_destroy(entry);
    g_object_unref(manufacturers);
    g_object_unref(models);
    g_object_unref(entry);
}
BENCHMARK(BM_FillModelListVolkswagen);

}  // namespace
