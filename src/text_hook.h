#ifndef CONTR_DISCOVERY_TEXT_HOOK_H_
#define CONTR_DISCOVERY_TEXT_HOOK_H_

/// The text hook for every Russian text shown on the console: returns its
/// argument unchanged, so that one place can later translate or recode them.
/// The console texts are kept byte for byte as they have always been,
/// quirks included ("Выберете", "от 1 to", a message without its line
/// end): operators know them, and their scripts match them.
const char* Z(const char* text);

#endif  // CONTR_DISCOVERY_TEXT_HOOK_H_
