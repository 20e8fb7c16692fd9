#include "sim/StatusLine.h"

#include <cstdio>

#include "sim/SimTimecode.h"

std::string StatusLine::text(const DeckEmulator::Snapshot& s, FrameRate rate) {
  const char* mode = s.ejected ? "ejected" : TransportModel::modeName(s.mode);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s  %-8s  %+7.2fx  in %d  out %d  (%s fps)",
                SimTimecode::format(s.frame, rate).c_str(), mode, s.speed, s.framesIn, s.framesOut,
                rate.name().c_str());
  return buf;
}
