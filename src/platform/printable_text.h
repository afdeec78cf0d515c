// Text from outside the program (a data file's lines, a path) made safe to print on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// `text` with nothing in it a terminal would act on: every control character is shown as a
// lower-case `\xNN` escape, every C0 byte (TAB and line feed too, so a message stays one line), DEL,
// and C1 controls both as lone bytes 0x80-0x9F and UTF-8 encoded (U+009B is shown as `\x9b`). A byte
// that starts no valid UTF-8 character, an overlong or surrogate form and a sequence cut short become
// U+FFFD, one for each maximal ill-formed part. Valid printable UTF-8 passes unchanged.
std::string PrintableText(std::string_view text);

}  // namespace platform
