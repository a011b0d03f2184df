// The command line as one text, and the splitter that takes it apart again.
//
// Blanks (space and tab) separate arguments. A double quote opens or closes a group in which
// blanks are ordinary characters; the quotes themselves are removed, and inside a group two
// double quotes stand for one literal double quote. Backslashes have no special meaning.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

// The arguments joined by single blanks; an argument that is empty or holds a blank or a
// double quote is put in double quotes, its double quotes doubled. SplitCommandLine gives
// the arguments back unchanged.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// Every argument of a command line text, in order.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The argument at a 1-based index; empty past the last argument (and for an index below 1).
std::string GetArgument(std::string_view commandLine, int64_t index);

// The first blank-separated token of line (leading blanks skipped, quotes not interpreted).
// Afterwards line holds the text after the token with the separating blanks removed, so it
// begins with the next token; the rest of it is left exactly as it was.
std::string TakeFirstToken(std::string& line);
// The same on a view: returns the token and leaves line viewing the text after it, so that a
// reader takes lines apart without copying them.
std::string_view TakeFirstToken(std::string_view& line);

}  // namespace tidemill
