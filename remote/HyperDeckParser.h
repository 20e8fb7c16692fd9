#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reads the commands of the HyperDeck Ethernet protocol from the lines a client sends, in both
// forms: one line ("play: speed: 200 loop: false") or a header line "play:" followed by one
// "name: value" line per parameter and an empty line. Command and parameter names are matched
// without regard to case and come out in lower case; values come out as sent, trimmed.
class HyperDeckParser {
 public:
  struct Command {
    std::string name;                                         // "transport info", "play", ...
    std::vector<std::pair<std::string, std::string>> params;  // in the order sent
    int error = 0;  // 0, or the protocol's code for a line that cannot be read (100, 101)

    const std::string* param(std::string_view key) const;
  };

  // Feeds one line without its line end. Answers the command once it is complete: at once for
  // the one-line form, at the empty line for the block form.
  std::optional<Command> line(std::string_view text);
  // True while a block command is being read.
  bool inBlock() const { return block_.has_value(); }

  // The one-line form alone, for a line that is a whole command.
  static Command parseLine(std::string_view text);
  // The parameter names a command accepts; empty for a command this server does not know.
  static const std::vector<std::string_view>* paramsOf(std::string_view command);

  static constexpr std::size_t kMaxParams = 32;

 private:
  std::optional<Command> block_;
};
