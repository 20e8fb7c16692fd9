#pragma once

// The one table of operator commands: each entry names one deck operation by the word of the
// command language (scripts and the remote session) and by the action command of the control
// window's button, with the decks that have it and the way it reaches the operator worker.

#include <span>
#include <string>
#include <string_view>

class LocalVCR;

// The decks a word or a button is offered on.
enum class DeckKinds {
  All,
  NotLx1,  // tape decks, ZARIX and LANC; the LX1 has no such control
};

// How a command reaches the operator worker.
enum class CommandClass {
  Transport,  // a transport control: takes over a running script, review or RevALL
  Run,        // a run with waits that a transport control can take over (script, review, Wait)
  Plain,      // queued behind whatever runs, in the order given
};

// How a line of the command language names the entry.
enum class WordMatch {
  Whole,   // the line equals the word, letter case included
  Prefix,  // the line starts with the word; the rest of the line is the argument
  None,    // no word: only the window has it
};

struct DeckCommand {
  std::string_view word;    // the command language's word; empty when only a button has it
  WordMatch match;          //
  std::string_view button;  // the control window's action command; empty when no button has it
  // The deck operation. Null for "GetTC" and "Status" (they only report), for the window's
  // shuttle keys (they carry a speed) and for the converter button.
  void (LocalVCR::*run)();
  // The operation of a prefix word, handed the rest of the line.
  void (LocalVCR::*runWith)(const std::string& argument);
  DeckKinds wordDecks;    // where the word is recognised
  DeckKinds buttonDecks;  // where the window shows the button
  CommandClass kind;
};

class CommandTable {
 public:
  // Every entry; the words in the order the command language tests them, whole words first.
  static std::span<const DeckCommand> all();
  // The entry that a command-language line names on this deck kind, or null. Whole words are
  // tested before prefix words; words not offered on the deck kind are not recognised at all.
  static const DeckCommand* forLine(std::string_view line, bool lx1);
  // The entry of a control-window action command, or null.
  static const DeckCommand* forButton(std::string_view button);
  // True when a command of these kinds exists on the deck.
  static bool offered(DeckKinds kinds, bool lx1) { return kinds == DeckKinds::All || !lx1; }
};
