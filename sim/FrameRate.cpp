#include "sim/FrameRate.h"

#include <algorithm>

namespace {
// Drop-frame counting: frames in ten minutes, and in each minute after the first of them.
constexpr int kDfTenMinutes = 17982;
constexpr int kDfMinute = 1798;
}  // namespace

std::optional<FrameRate> FrameRate::parse(const std::string& text) {
  if (text == "30")
    return FrameRate(Kind::Fps30);
  if (text == "29.97df" || text == "29.97DF")
    return FrameRate(Kind::Fps2997Df);
  if (text == "25")
    return FrameRate(Kind::Fps25);
  if (text == "24")
    return FrameRate(Kind::Fps24);
  return std::nullopt;
}

std::string FrameRate::name() const {
  switch (kind_) {
    case Kind::Fps2997Df:
      return "29.97df";
    case Kind::Fps25:
      return "25";
    case Kind::Fps24:
      return "24";
    case Kind::Fps30:
      break;
  }
  return "30";
}

int FrameRate::nominal() const {
  switch (kind_) {
    case Kind::Fps25:
      return 25;
    case Kind::Fps24:
      return 24;
    case Kind::Fps30:
    case Kind::Fps2997Df:
      break;
  }
  return 30;
}

double FrameRate::perSecond() const {
  return dropFrame() ? 30000.0 / 1001.0 : nominal();
}

int FrameRate::framesPerHour() const {
  return dropFrame() ? 6 * kDfTenMinutes : 3600 * nominal();
}

FrameRate::Label FrameRate::label(int frame) const {
  frame = std::max(frame, 0);
  if (dropFrame()) {
    // Put back the skipped labels: 18 in every full ten minutes, 2 in every minute after the
    // first one of the current ten.
    const int tens = frame / kDfTenMinutes;
    const int rest = frame % kDfTenMinutes;
    frame += 18 * tens + (rest > 1 ? 2 * ((rest - 2) / kDfMinute) : 0);
  }
  const int n = nominal();
  return {frame / (3600 * n), frame / (60 * n) % 60, frame / n % 60, frame % n};
}

int FrameRate::frameOf(const Label& l) const {
  const int n = nominal();
  int ff = l.frames;
  if (dropFrame() && l.seconds == 0 && l.minutes % 10 != 0 && ff < 2)
    ff = 2;
  const int labels = ((l.hours * 60 + l.minutes) * 60 + l.seconds) * n + ff;
  if (!dropFrame())
    return labels;
  const int minutes = l.hours * 60 + l.minutes;
  return labels - 2 * (minutes - minutes / 10);
}

bool FrameRate::exists(const Label& l) const {
  if (l.hours < 0 || l.minutes < 0 || l.minutes > 59 || l.seconds < 0 || l.seconds > 59 ||
      l.frames < 0 || l.frames >= nominal()) {
    return false;
  }
  return !(dropFrame() && l.seconds == 0 && l.minutes % 10 != 0 && l.frames < 2);
}
