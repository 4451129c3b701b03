#include "text_hook.h"

const char* Z(const char* text) { return text; }
