#include "sim/TransportModel.h"

#include <algorithm>
#include <cmath>

namespace {
// Guards the floor of a position that is a whole frame up to rounding.
constexpr double kFrameEpsilon = 1e-6;
}  // namespace

TransportModel::TransportModel(const EmulatorOptions& options, std::int64_t nowUs)
    : rate_(options.rate),
      end_(std::max(0, options.endFrame.value_or(2 * options.rate.framesPerHour()))),
      windSpeed_(options.windSpeed > 0 ? options.windSpeed : 50.0),
      cueMinMs_(std::max(0, options.cueMinMs)),
      cueMaxMs_(std::max(options.cueMinMs, options.cueMaxMs)),
      anchorPos_(std::clamp(options.startFrame, 0, end_)),
      anchorUs_(nowUs) {}

double TransportModel::speedFromByte(std::uint8_t n) {
  if (n == 0)
    return 0.0;
  return std::pow(10.0, n / 32.0 - 2.0);
}

double TransportModel::speedFromBytes(std::uint8_t n, std::uint8_t fine) {
  const double low = speedFromByte(n);
  const double high = std::pow(10.0, (n + 1) / 32.0 - 2.0);
  return low + fine / 256.0 * (high - low);
}

const char* TransportModel::modeName(TransportMode mode) {
  switch (mode) {
    case TransportMode::Stop:
      return "stop";
    case TransportMode::Play:
      return "play";
    case TransportMode::Record:
      return "record";
    case TransportMode::FastForward:
      return "fast fwd";
    case TransportMode::Rewind:
      return "rewind";
    case TransportMode::Shuttle:
      return "shuttle";
    case TransportMode::Jog:
      return "jog";
    case TransportMode::Variable:
      return "var";
    case TransportMode::Cueing:
      return "cueing";
    case TransportMode::Still:
      return "still";
  }
  return "?";
}

std::int64_t TransportModel::cueDurationUs(int distanceFrames) const {
  // A deck accelerates, winds and slows down again: short hops cost the minimum, an hour of
  // tape the maximum, and the time grows with the square root of the distance in between.
  const int hour = rate_.framesPerHour();
  const double share = std::sqrt(std::min(std::abs(distanceFrames), hour) / double(hour));
  return static_cast<std::int64_t>((cueMinMs_ + (cueMaxMs_ - cueMinMs_) * share) * 1000.0);
}

void TransportModel::advance(std::int64_t nowUs) {
  if (nowUs <= anchorUs_)
    return;
  if (mode_ == TransportMode::Cueing) {
    if (nowUs >= cueEndUs_) {
      anchorPos_ = cueTarget_;
      anchorUs_ = cueEndUs_;
      mode_ = TransportMode::Still;
      fps_ = 0.0;
      cuedUp_ = true;
    }
    return;
  }
  if (fps_ == 0.0)
    return;
  const double pos = anchorPos_ + fps_ * double(nowUs - anchorUs_) / 1e6;
  if ((fps_ > 0 && pos >= end_) || (fps_ < 0 && pos <= 0)) {
    // The transport hits a tape end: it stops there, at the time it got there.
    const double limit = fps_ > 0 ? end_ : 0.0;
    anchorUs_ += static_cast<std::int64_t>((limit - anchorPos_) / fps_ * 1e6);
    anchorPos_ = limit;
    mode_ = TransportMode::Stop;
    fps_ = 0.0;
    reverse_ = false;
    still_ = false;
  }
}

double TransportModel::exactPosition(std::int64_t nowUs) {
  advance(nowUs);
  if (nowUs <= anchorUs_)
    return anchorPos_;
  if (mode_ == TransportMode::Cueing) {
    const double total = double(cueEndUs_ - anchorUs_);
    const double share = total > 0 ? double(nowUs - anchorUs_) / total : 1.0;
    return anchorPos_ + (cueTarget_ - anchorPos_) * std::clamp(share, 0.0, 1.0);
  }
  return anchorPos_ + fps_ * double(nowUs - anchorUs_) / 1e6;
}

int TransportModel::frame(std::int64_t nowUs) {
  return std::clamp(static_cast<int>(std::floor(exactPosition(nowUs) + kFrameEpsilon)), 0, end_);
}

TransportMode TransportModel::mode(std::int64_t nowUs) {
  advance(nowUs);
  return mode_;
}

bool TransportModel::cuedUp(std::int64_t nowUs) {
  advance(nowUs);
  return cuedUp_;
}

double TransportModel::speed(std::int64_t nowUs) {
  advance(nowUs);
  if (mode_ == TransportMode::Cueing) {
    const double total = double(cueEndUs_ - anchorUs_) / 1e6;
    return total > 0 ? (cueTarget_ - anchorPos_) / total / rate_.perSecond() : 0.0;
  }
  return fps_ / rate_.perSecond();
}

void TransportModel::startMotion(TransportMode mode, double speedXPlay, bool reverse,
                                 std::int64_t nowUs) {
  if (ejected_)
    return;
  anchorPos_ = std::clamp(exactPosition(nowUs), 0.0, double(end_));
  anchorUs_ = nowUs;
  mode_ = mode;
  reverse_ = reverse;
  still_ = speedXPlay == 0.0 && (mode == TransportMode::Shuttle || mode == TransportMode::Jog ||
                                 mode == TransportMode::Variable);
  fps_ = (reverse ? -speedXPlay : speedXPlay) * rate_.perSecond();
  cuedUp_ = false;
  // A motion that starts at the tape end it runs towards stops at once.
  if ((fps_ > 0 && anchorPos_ >= end_) || (fps_ < 0 && anchorPos_ <= 0)) {
    mode_ = TransportMode::Stop;
    fps_ = 0.0;
    reverse_ = false;
  }
}

void TransportModel::play(std::int64_t nowUs) {
  startMotion(TransportMode::Play, 1.0, false, nowUs);
}

void TransportModel::record(std::int64_t nowUs) {
  startMotion(TransportMode::Record, 1.0, false, nowUs);
}

void TransportModel::stop(std::int64_t nowUs) {
  startMotion(TransportMode::Stop, 0.0, false, nowUs);
}

void TransportModel::fastForward(std::int64_t nowUs) {
  startMotion(TransportMode::FastForward, windSpeed_, false, nowUs);
}

void TransportModel::rewind(std::int64_t nowUs) {
  startMotion(TransportMode::Rewind, windSpeed_, true, nowUs);
}

void TransportModel::shuttle(std::uint8_t speedByte, bool reverse, std::int64_t nowUs) {
  startMotion(TransportMode::Shuttle, speedFromByte(speedByte), reverse, nowUs);
}

void TransportModel::jog(std::uint8_t speedByte, bool reverse, std::int64_t nowUs) {
  startMotion(TransportMode::Jog, speedFromByte(speedByte), reverse, nowUs);
}

void TransportModel::variable(std::uint8_t speedByte, bool reverse, std::int64_t nowUs) {
  startMotion(TransportMode::Variable, speedFromByte(speedByte), reverse, nowUs);
}

void TransportModel::shuttle(std::uint8_t speedByte, std::uint8_t fine, bool reverse,
                             std::int64_t nowUs) {
  startMotion(TransportMode::Shuttle, speedFromBytes(speedByte, fine), reverse, nowUs);
}

void TransportModel::jog(std::uint8_t speedByte, std::uint8_t fine, bool reverse,
                         std::int64_t nowUs) {
  startMotion(TransportMode::Jog, speedFromBytes(speedByte, fine), reverse, nowUs);
}

void TransportModel::variable(std::uint8_t speedByte, std::uint8_t fine, bool reverse,
                              std::int64_t nowUs) {
  startMotion(TransportMode::Variable, speedFromBytes(speedByte, fine), reverse, nowUs);
}

void TransportModel::frameStep(bool reverse, std::int64_t nowUs) {
  if (ejected_)
    return;
  const int to = std::clamp(frame(nowUs) + (reverse ? -1 : 1), 0, end_);
  startMotion(TransportMode::Still, 0.0, reverse, nowUs);
  anchorPos_ = to;
  still_ = true;
}

void TransportModel::eject(std::int64_t nowUs) {
  stop(nowUs);
  ejected_ = true;
}

void TransportModel::setEdit(bool on) {
  edit_ = on;
  if (!on)
    selectEE_ = false;
}

void TransportModel::cue(int targetFrame, std::int64_t nowUs) {
  if (ejected_)
    return;
  const double from = std::clamp(exactPosition(nowUs), 0.0, double(end_));
  const double to = std::clamp(targetFrame, 0, end_);
  startMotion(TransportMode::Stop, 0.0, false, nowUs);
  mode_ = TransportMode::Cueing;
  anchorPos_ = from;
  reverse_ = to < from;
  cueTarget_ = to;
  cueEndUs_ = nowUs + cueDurationUs(static_cast<int>(std::lround(to - from)));
}

void TransportModel::setStandby(bool on, std::int64_t nowUs) {
  if (!on && mode(nowUs) != TransportMode::Stop)
    stop(nowUs);
  standby_ = on;
}

std::array<std::uint8_t, 16> TransportModel::statusData(std::int64_t nowUs) {
  advance(nowUs);
  std::array<std::uint8_t, 16> d{};
  switch (mode_) {
    case TransportMode::Play:
      d[1] |= 0x01;
      break;
    case TransportMode::Record:
      d[1] |= 0x03;
      break;
    case TransportMode::FastForward:
      d[1] |= 0x04;
      break;
    case TransportMode::Rewind:
      d[1] |= 0x08;
      break;
    case TransportMode::Stop:
      d[1] |= ejected_ ? 0x10 : 0x20;
      break;
    case TransportMode::Shuttle:
      d[2] |= 0x20;
      break;
    case TransportMode::Jog:
      d[2] |= 0x10;
      break;
    case TransportMode::Variable:
      d[2] |= 0x08;
      break;
    case TransportMode::Cueing:
      d[4] |= 0x01;
      break;
    case TransportMode::Still:
      d[2] |= 0x02;
      break;
  }
  if (standby_)
    d[1] |= 0x80;
  if (still_)
    d[2] |= 0x02;
  if (reverse_)
    d[2] |= 0x04;
  if (cuedUp_)
    d[2] |= 0x01;
  if (ejected_)
    d[0] |= 0x20;
  if (edit_)
    d[4] |= 0x10;
  if (ee_)
    d[4] |= 0x40;
  if (selectEE_)
    d[4] |= 0x80;
  return d;
}
