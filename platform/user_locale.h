#pragma once

#include <string>

// The language part of the user's locale, e.g. "pl_PL" or "cs"; "" when unknown.
std::string user_locale_language();
