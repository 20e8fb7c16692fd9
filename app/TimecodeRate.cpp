#include "app/TimecodeRate.h"

namespace {

// Drop-frame counting: frames in ten minutes, and in each minute after the first of ten.
constexpr int kDfTenMinutes = 17982;
constexpr int kDfMinute = 1798;

bool sameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') {
      x = static_cast<char>(x - 'a' + 'A');
    }
    if (y >= 'a' && y <= 'z') {
      y = static_cast<char>(y - 'a' + 'A');
    }
    if (x != y) {
      return false;
    }
  }
  return true;
}

std::string pair(int v) {
  return std::to_string(v / 10) + std::to_string(v % 10);
}

}  // namespace

std::optional<TimecodeRate> TimecodeRate::parse(std::string_view text) {
  if (text == "30") {
    return TimecodeRate(Kind::Fps30);
  }
  if (text == "25") {
    return TimecodeRate(Kind::Fps25);
  }
  if (text == "24") {
    return TimecodeRate(Kind::Fps24);
  }
  if (sameLetters(text, "29.97DF")) {
    return TimecodeRate(Kind::Fps2997Df);
  }
  return std::nullopt;
}

std::string TimecodeRate::name() const {
  switch (kind_) {
    case Kind::Fps25:
      return "25";
    case Kind::Fps24:
      return "24";
    case Kind::Fps2997Df:
      return "29.97DF";
    case Kind::Fps30:
      break;
  }
  return "30";
}

int TimecodeRate::nominal() const {
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

int TimecodeRate::framesPerHour() const {
  return dropFrame() ? 6 * kDfTenMinutes : 3600 * nominal();
}

int TimecodeRate::framesIn(int minutes) const {
  return static_cast<int>(static_cast<long long>(minutes) * framesPerHour() / 60);
}

int TimecodeRate::count(const Fields& f) const {
  const int n = nominal();
  int ff = f.frames;
  if (dropFrame() && f.seconds == 0 && f.minutes % 10 != 0 && ff >= 0 && ff < 2) {
    ff = 2;
  }
  const int labels = ((f.hours * 60 + f.minutes) * 60 + f.seconds) * n + ff;
  if (!dropFrame()) {
    return labels;
  }
  const int minutes = f.hours * 60 + f.minutes;
  return labels - 2 * (minutes - minutes / 10);
}

TimecodeRate::Fields TimecodeRate::fields(int count) const {
  int t = count;
  if (dropFrame() && t > 0) {
    // Put back the skipped labels: 18 in every full ten minutes, 2 in every minute after the
    // first one of the current ten.
    const int tens = t / kDfTenMinutes;
    const int rest = t % kDfTenMinutes;
    t += 18 * tens + (rest > 1 ? 2 * ((rest - 2) / kDfMinute) : 0);
  }
  const int n = nominal();
  const int perHour = 3600 * n;
  const int perMinute = 60 * n;
  Fields f;
  f.hours = t / perHour;
  const int r = t - f.hours * perHour;
  f.minutes = r / perMinute;
  f.seconds = (r - f.minutes * perMinute) / n;
  f.frames = t % n;
  return f;
}

bool TimecodeRate::exists(const Fields& f) const {
  if (f.hours < 0 || f.minutes < 0 || f.minutes > 59 || f.seconds < 0 || f.seconds > 59 ||
      f.frames < 0 || f.frames >= nominal()) {
    return false;
  }
  return !(dropFrame() && f.seconds == 0 && f.minutes % 10 != 0 && f.frames < 2);
}

std::string TimecodeRate::text(int count) const {
  const Fields f = fields(count);
  std::string out = pair(f.hours);
  out += ':';
  out += pair(f.minutes);
  out += ':';
  out += pair(f.seconds);
  out += separator();
  out += pair(f.frames);
  return out;
}
