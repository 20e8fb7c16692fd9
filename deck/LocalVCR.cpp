#include "deck/LocalVCR.h"

LocalVCR::LocalVCR(CommandLink&, bool, DeckView&) {}
LocalVCR::~LocalVCR() {}
void LocalVCR::start() {}
void LocalVCR::close() {}
void LocalVCR::post(std::function<void()>) {}
void LocalVCR::CommandB0(std::span<const std::uint8_t>) {}
void LocalVCR::play() {}
void LocalVCR::pause() {}
void LocalVCR::stop() {}
void LocalVCR::forward() {}
void LocalVCR::rewind() {}
void LocalVCR::slowfifth() {}
void LocalVCR::slowthird() {}
void LocalVCR::slowhalf() {}
void LocalVCR::fasttwo() {}
void LocalVCR::fastfive() {}
void LocalVCR::jogf() {}
void LocalVCR::jogr() {}
void LocalVCR::eeon() {}
void LocalVCR::eeoff() {}
void LocalVCR::sbyon() {}
void LocalVCR::sbyoff() {}
void LocalVCR::record() {}
void LocalVCR::shutfwd(int) {}
void LocalVCR::shutrev(int) {}
void LocalVCR::SettleDown() {}
void LocalVCR::GetTC() {}
void LocalVCR::CommandB8() {}
void LocalVCR::CommandStatus() {}
void LocalVCR::MakeCueString() {}
void LocalVCR::MakeCueOutString() {}
void LocalVCR::cue() {}
void LocalVCR::cueout() {}
void LocalVCR::cueplay() {}
void LocalVCR::reviewclip() {}
void LocalVCR::CueUp() {}
void LocalVCR::setcue() {}
void LocalVCR::setreview() {}
void LocalVCR::script() {}
bool LocalVCR::ParseNetCommand(const std::string&) {
  return false;
}
void LocalVCR::setscriptactive(bool) {}
bool LocalVCR::getscriptactive() const {
  return false;
}
void LocalVCR::CommandBLogger() {}
void LocalVCR::ShowStat(const std::string&) {}
std::string LocalVCR::tcText() const {
  return {};
}
std::string LocalVCR::cueText() const {
  return {};
}
std::string LocalVCR::endText() const {
  return {};
}
void LocalVCR::editCueText(const std::string&) {}
void LocalVCR::editEndText(const std::string&) {}
void LocalVCR::setCueText(const std::string&) {}
void LocalVCR::setEndText(const std::string&) {}
int LocalVCR::gettcframes() const {
  return 0;
}
bool LocalVCR::getcueup() const {
  return false;
}
int LocalVCR::getmoving() const {
  return 0;
}
std::string LocalVCR::getStatusString() const {
  return {};
}
