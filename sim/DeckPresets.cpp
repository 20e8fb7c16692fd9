#include "sim/DeckPresets.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kDefaultPrerollSeconds = 5;
}  // namespace

DeckPresets::DeckPresets(FrameRate rate, std::int64_t nowUs)
    : rate_(rate),
      preroll_(rate.frameOf({0, 0, kDefaultPrerollSeconds, 0})),
      generatorStartUs_(nowUs) {}

void DeckPresets::change(Point which, std::optional<int> value) {
  previous(which) = ref(which);
  ref(which) = value;
}

void DeckPresets::setPoint(Point which, int frame) {
  change(which, std::max(frame, 0));
}

void DeckPresets::shiftPoint(Point which, int delta) {
  if (auto p = ref(which))
    change(which, std::max(*p + delta, 0));
}

void DeckPresets::resetPoint(Point which) {
  change(which, std::nullopt);
}

void DeckPresets::recallPoint(Point which) {
  if (auto p = previous(which))
    change(which, p);
}

int DeckPresets::generator(std::int64_t nowUs) const {
  const double elapsed = double(std::max<std::int64_t>(nowUs - generatorStartUs_, 0)) / 1e6;
  // The generator wraps at 24 hours, as a time code does.
  const long long day = 24LL * rate_.framesPerHour();
  const long long f =
      generatorStart_ + static_cast<long long>(std::floor(elapsed * rate_.perSecond()));
  return static_cast<int>(f % day);
}

void DeckPresets::presetGenerator(int frame, std::int64_t nowUs) {
  generatorStart_ = frame;
  generatorStartUs_ = nowUs;
}

void DeckPresets::setEditPreset(std::uint8_t d1, std::uint8_t d2) {
  // Insert, assemble and video as given; A1 and A2 from the first byte, the digital channels
  // of the second byte's b2 and b3 as channels 3 and 4.
  editPreset_ = static_cast<std::uint8_t>((d1 & 0x73) | (d2 & 0x0C));
}

void DeckPresets::addStatus(std::array<std::uint8_t, 16>& d) const {
  if (in_)
    d[3] |= 0x01;
  if (out_)
    d[3] |= 0x02;
  if (autoMode_)
    d[3] |= 0x80;
  d[5] |= editPreset_;
  if (spotErase_)
    d[7] |= 0x04;
  if (audioSplit_)
    d[7] |= 0x20;
}
