#pragma once

#include <string_view>

namespace tw::ftp {

// Whether a name a server listed can be used as a local file name as it is: not empty, not
// "." or "..", no '/', '\\', NUL or other control characters, at most 255 bytes. The transfer
// code checks every server name with it before creating a local file.
bool IsSafeLocalName(std::string_view name);

// Whether a path or name can be sent in a command: no CR, LF or NUL (which would let a name
// end the command early and smuggle another one).
bool IsSendableArgument(std::string_view text);

} // namespace tw::ftp
