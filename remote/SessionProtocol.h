#pragma once

#include <string>
#include <string_view>

#include "deck/CommandTable.h"

// The session protocol: each line a client sends is one line of the command language, and each
// gets one reply line: "OK", "ERROR <reason>", or the text that "GetTC" and "Status" ask for.
// The parser decides only what a line is; the server runs it.
class SessionProtocol {
 public:
  enum class Kind {
    Command,  // a word of the language: run it on the operator worker
    GetTC,    // answer the displayed timecode
    Status,   // answer the status text
    Error,    // answer "ERROR " + error at once, run nothing
  };
  struct Request {
    Kind kind = Kind::Error;
    const DeckCommand* command = nullptr;
    std::string error;
  };

  // What the line asks for on this deck kind. Lines that are not printable UTF-8 text (NUL and
  // other control bytes, broken sequences) never reach the deck.
  static Request parse(std::string_view line, bool lx1);

  static std::string ok() { return "OK\n"; }
  static std::string error(std::string_view reason);
  // A reply line for a text (timecode, status): control bytes cannot end the line early.
  static std::string text(std::string_view text);
  static constexpr const char* kTooLong = "line longer than 1024 bytes";
  static constexpr const char* kBusy = "ERROR another client is connected\n";
};
