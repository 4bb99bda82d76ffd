// The window program's context for the benchmarks that drive its windows: one for the run.
#pragma once

#include <memory>

#include "ui/program_context.h"

inline ProgramContext& bench_context() {
    static const std::unique_ptr<ProgramContext> context = [] {
        auto made = std::make_unique<ProgramContext>();
        use_program_context(*made);
        return made;
    }();
    return *context;
}
