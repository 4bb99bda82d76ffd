#include "ui/program_context.h"

#include "ui/ui_text.h"

namespace {

ProgramContext* g_context = nullptr;

}  // namespace

ProgramContext& program_context() {
    return *g_context;
}

void use_program_context(ProgramContext& context) {
    g_context = &context;
}

const char* lang_text(Text entry) {
    return lang_text_in(g_context->language, entry);
}

const char* history_text(HistoryText entry) {
    return history_text_in(g_context->language, entry);
}
