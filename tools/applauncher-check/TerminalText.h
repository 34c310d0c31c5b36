// Text from a bundle made safe to show in a terminal.
#ifndef LX_TOOLS_CHECKER_TERMINALTEXT_H
#define LX_TOOLS_CHECKER_TERMINALTEXT_H

#include <string>
#include <string_view>

// `text` with every control character escaped, so that a bundle cannot drive
// the terminal: C0 as \r, \n, \t or \xNN (a line feed too), DEL as \x7f, a C1
// character as the \xNN of each of its two UTF-8 bytes, and every byte that
// is not part of valid UTF-8 as \xNN. Valid UTF-8 otherwise stays unchanged.
std::string forTerminal(std::string_view text);

#endif
