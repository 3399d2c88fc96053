// Helpers shared by the registry and the option-line reader.
#pragma once

#include "core/Options.hpp"

// Prepares a typed text in place: skips leading white space, lower-cases
// the rest and ends it at its first newline. Returns the prepared start.
char* Options_PrepareText(char* text);

// True when a prepared text is empty or a comment (begins with "*").
bool Options_IsIgnored(const char* prepared);

// Finds the first option that the prepared text names: the common table in
// order, then every group of options (may be null: none) in order of
// addition. Stores (group, index) and returns true; prints nothing.
bool Options_FirstMatch(Options* options, const char* prepared, int* group, int* index);

// White space as the option lines know it.
bool Options_IsBlank(char c);
