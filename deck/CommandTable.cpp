#include "deck/CommandTable.h"

#include "deck/LocalVCR.h"

namespace {

using enum DeckKinds;
using enum CommandClass;
using enum WordMatch;

// The window's jog buttons exist on every deck; on tape decks they stop the deck 600 ms later,
// and its E-E off button jogs the deck out of E-E. The words of the command language run the
// single operation.
constexpr DeckCommand kCommands[] = {
    // word       match  button      operation                          arg  word decks  button
    {"Play", Whole, "Play", &LocalVCR::play, nullptr, All, All, Transport},
    {"Pause", Whole, "Pause", &LocalVCR::pause, nullptr, All, All, Transport},
    {"Stop", Whole, "Stop", &LocalVCR::stop, nullptr, All, All, Transport},
    {"Forward", Whole, "Forward", &LocalVCR::forward, nullptr, All, All, Transport},
    {"Rewind", Whole, "Rewind", &LocalVCR::rewind, nullptr, All, All, Transport},
    {"Record", Whole, "Record", &LocalVCR::record, nullptr, All, All, Transport},
    {"GetTC", Whole, "", nullptr, nullptr, All, All, Plain},
    {"Status", Whole, "", nullptr, nullptr, All, All, Plain},
    {"CueIn", Whole, "Cue", &LocalVCR::cue, nullptr, All, All, Plain},
    {"CueOut", Whole, "CueOut", &LocalVCR::cueout, nullptr, All, All, Plain},
    {"SetIn", Whole, "SetCue", &LocalVCR::setcue, nullptr, All, All, Plain},
    {"SetOut", Whole, "SetRev", &LocalVCR::setreview, nullptr, All, All, Plain},
    {"CuePlay", Whole, "Cueplay", &LocalVCR::cueplay, nullptr, All, All, Plain},
    {"Review", Whole, "Review", &LocalVCR::reviewclip, nullptr, All, All, Run},
    {"JogF", Whole, "Jogf", &LocalVCR::jogf, nullptr, NotLx1, All, Transport},
    {"JogR", Whole, "Jogr", &LocalVCR::jogr, nullptr, NotLx1, All, Transport},
    {"Fast2", Whole, "Fast2", &LocalVCR::fasttwo, nullptr, NotLx1, NotLx1, Transport},
    {"Fast5", Whole, "Fast5", &LocalVCR::fastfive, nullptr, NotLx1, NotLx1, Transport},
    {"Slow5", Whole, "Slow5", &LocalVCR::slowfifth, nullptr, NotLx1, NotLx1, Transport},
    {"Slow3", Whole, "Slow3", &LocalVCR::slowthird, nullptr, NotLx1, NotLx1, Transport},
    {"Slow2", Whole, "Slow2", &LocalVCR::slowhalf, nullptr, NotLx1, NotLx1, Transport},
    {"EEOn", Whole, "EEOn", &LocalVCR::eeon, nullptr, NotLx1, NotLx1, Transport},
    {"EEOff", Whole, "EEOff", &LocalVCR::eeoff, nullptr, NotLx1, NotLx1, Transport},
    {"SbyOn", Whole, "Sbyon", &LocalVCR::sbyon, nullptr, NotLx1, NotLx1, Transport},
    {"SbyOff", Whole, "Sbyoff", &LocalVCR::sbyoff, nullptr, NotLx1, NotLx1, Transport},
    {"Wait", Prefix, "", nullptr, &LocalVCR::WaitSeconds, All, All, Run},
    {"tc1", Prefix, "", nullptr, &LocalVCR::setCueText, All, All, Plain},
    {"tc2", Prefix, "", nullptr, &LocalVCR::setEndText, All, All, Plain},
    // The window alone: the script button, the shuttle keys and the converter button.
    {"", None, "SCRIPT", &LocalVCR::script, nullptr, All, All, Run},
    {"", None, "ShuttleFwd", nullptr, nullptr, All, NotLx1, Transport},
    {"", None, "ShuttleRev", nullptr, nullptr, All, NotLx1, Transport},
    {"", None, "Tavlist", nullptr, nullptr, All, All, Plain},
};

}  // namespace

std::span<const DeckCommand> CommandTable::all() {
  return kCommands;
}

const DeckCommand* CommandTable::forLine(std::string_view line, bool lx1) {
  for (const DeckCommand& c : kCommands) {
    if (c.match == Whole && line == c.word && offered(c.wordDecks, lx1)) {
      return &c;
    }
  }
  for (const DeckCommand& c : kCommands) {
    if (c.match == Prefix && line.starts_with(c.word) && offered(c.wordDecks, lx1)) {
      return &c;
    }
  }
  return nullptr;
}

const DeckCommand* CommandTable::forButton(std::string_view button) {
  if (button.empty()) {
    return nullptr;
  }
  for (const DeckCommand& c : kCommands) {
    if (c.button == button) {
      return &c;
    }
  }
  return nullptr;
}
