// Where quillnet-send takes the login password from, and the refused
// recipients it lists.
#ifndef QUILLNET_TOOLS_PASSWORDSOURCE_H
#define QUILLNET_TOOLS_PASSWORDSOURCE_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "SendOptions.h"

namespace quillnet {

// Longest password (or "bearer:" and token) the job block holds; a longer
// one is refused rather than sent cut.
inline constexpr size_t kMaxPassword = 199;

// The first line of the file, without its line end; no value (and `error`
// set) when it cannot be read, is empty or is too long.
std::optional<std::string> readPasswordFile(const std::string& path, std::string& error);

// Asks for the password; no value when it cannot or the user gave up.
using PasswordPrompt = std::function<std::optional<std::string>()>;

// Sets o.password when a user is given and it has none yet: the first line
// of --password-file, else `environment` (QUILLNET_PASSWORD), else, for a
// host given by URL, `ask`. Returns why it failed, or an empty text.
std::string choosePassword(SendOptions& o, const char* environment, const PasswordPrompt& ask);

// Asks on the terminal of standard input without echo; no value when
// standard input is no terminal or the user interrupted (Ctrl-C, end of file).
std::optional<std::string> askPasswordOnTerminal(const char* prompt);

// "Refused: <a> 550 x; <b> 550 y" as one "<a> 550 x" a line.
std::vector<std::string> refusedRecipients(const std::string& serverText);

}  // namespace quillnet

#endif
