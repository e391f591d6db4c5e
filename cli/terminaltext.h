#pragma once

#include <QString>

/// Text read from a file (names, properties, paths, the plugin's messages) made safe to print:
/// nothing in it can move the cursor, recolour or retitle the terminal, or reorder the line.
namespace TerminalText {

/// Control characters and bidirectional overrides become "\x1b" or "\u202e"; the bytes of a
/// file name that is not valid UTF-8 (kept as U+DC80..U+DCFF) become "\xff". Printable text,
/// this function's own output included, comes back unchanged.
QString printable(const QString& text);

} // namespace TerminalText
