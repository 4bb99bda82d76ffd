// The window's texts, in the language of the running program's context.
#pragma once

#include "app/history_text.h"
#include "app/language.h"

const char* lang_text(Text entry);
const char* history_text(HistoryText entry);
