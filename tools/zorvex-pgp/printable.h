// Text from outside (user IDs, names stored in messages, file names) on its way to a terminal or
// into a file name: control characters must never get there raw, or a message could retitle the
// window, clear the screen or forge lines.
#pragma once

#include <string>
#include <string_view>

namespace zpgp {

// Every control character (C0, DEL, C1 whether UTF-8 encoded or a lone byte) and every byte that
// is not part of valid UTF-8 becomes "\xHH"; with keepLayout, line breaks and tabs stay. Applying
// it twice changes nothing more.
std::string Printable(std::string_view text, bool keepLayout = false);

// Each control character replaced by `with`, for names of files; bytes of other encodings stay.
std::string ReplaceControls(std::string_view text, char with);

} // namespace zpgp
