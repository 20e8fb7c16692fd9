#include "sim/DeckEmulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "sim/SimClock.h"
#include "sim/SimTimecode.h"

const std::vector<std::uint8_t> DeckEmulator::kAck = {0x10, 0x01, 0x11};
const std::vector<std::uint8_t> DeckEmulator::kNakChecksum = {0x11, 0x12, 0x04, 0x27};
const std::vector<std::uint8_t> DeckEmulator::kNakUnknown = {0x11, 0x12, 0x01, 0x24};

DeckEmulator::DeckEmulator(EmulatorOptions options)
    : options_(std::move(options)),
      transport_(options_, clockNow()),
      presets_(options_.rate, clockNow()),
      faults_(options_) {
  if (!options_.transcriptPath.empty()) {
    transcript_ = std::make_unique<Transcript>(options_.transcriptPath);
  }
}

std::int64_t DeckEmulator::clockNow() const {
  return options_.clock ? options_.clock() : SimClock::nowMicros();
}

std::int64_t DeckEmulator::now() const {
  return clockNow();
}

void DeckEmulator::log(std::int64_t atUs, const char* tag, std::span<const std::uint8_t> bytes) {
  if (transcript_)
    transcript_->write(atUs, tag, bytes);
}

std::vector<ScheduledWrite> DeckEmulator::receive(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  std::vector<ScheduledWrite> writes;
  if (hungUp_ || bytes.empty())
    return writes;
  const std::int64_t now = clockNow();
  for (auto& event : assembler_.feed(bytes.data(), bytes.size(), now)) {
    if (hungUp_)
      break;
    if (event.kind == FrameAssembler::Event::Kind::TimedOut) {
      log(event.atUs, "TIMEOUT", event.bytes);
      continue;
    }
    if (event.kind == FrameAssembler::Event::Kind::Pad) {
      log(event.atUs, "PAD", event.bytes);
      continue;
    }
    log(now, "IN", event.bytes);
    ++framesReceived_;
    auto reply = answerLocked(event.bytes, now);
    auto outcome = faults_.shape(reply, now);
    if (outcome.lost)
      log(now, "LOST", reply);
    for (auto& w : outcome.writes)
      writes.push_back(std::move(w));
    if (options_.hangupAfter > 0 && framesReceived_ >= options_.hangupAfter)
      hungUp_ = true;
  }
  return writes;
}

void DeckEmulator::expireLocked(std::int64_t now) {
  if (auto dropped = assembler_.expire(now))
    log(dropped->atUs, "TIMEOUT", dropped->bytes);
}

void DeckEmulator::expire() {
  std::lock_guard lock(mutex_);
  expireLocked(clockNow());
}

std::optional<std::int64_t> DeckEmulator::deadline() const {
  std::lock_guard lock(mutex_);
  return assembler_.deadline();
}

void DeckEmulator::noteSent(const ScheduledWrite& write, std::int64_t atUs) {
  if (write.tag == nullptr)
    return;
  if (std::strcmp(write.tag, "OUT") == 0)
    framesSent_.fetch_add(1);
  log(atUs, write.tag, write.logged);
}

void DeckEmulator::noteHangup(std::int64_t atUs) {
  log(atUs, "HANGUP");
}

bool DeckEmulator::hungUp() const {
  std::lock_guard lock(mutex_);
  return hungUp_;
}

std::vector<std::uint8_t> DeckEmulator::answer(std::span<const std::uint8_t> frame) {
  std::lock_guard lock(mutex_);
  return answerLocked(frame, clockNow());
}

bool DeckEmulator::haltsLate(std::span<const std::uint8_t> frame) {
  const bool speedCommand = frame[1] == 0x11 || frame[1] == 0x12 || frame[1] == 0x13 ||
                            frame[1] == 0x21 || frame[1] == 0x22 || frame[1] == 0x23;
  switch (frame[0]) {
    case 0x20:
      return frame[1] == 0x00;  // Stop
    case 0x21:
      return speedCommand && frame[2] == 0;  // a still: Pause is shuttle at speed 0
    case 0x22:
      return speedCommand && frame[2] == 0 && frame[3] == 0;
    case 0x24:
      return frame[1] == 0x31;  // cue-up with data
  }
  return false;
}

void DeckEmulator::applyDeferredLocked(std::int64_t now, bool all) {
  while (!deferred_.empty() && (all || deferred_.front().dueUs <= now)) {
    const Deferred d = std::move(deferred_.front());
    deferred_.pop_front();
    transportControl(d.frame, std::min(d.dueUs, now));
  }
}

std::vector<std::uint8_t> DeckEmulator::answerLocked(std::span<const std::uint8_t> frame,
                                                     std::int64_t now) {
  applyDeferredLocked(now);
  if (frame.size() < 3 || frame.size() != 3u + (frame[0] & 0x0F))
    return kNakUnknown;
  if (SimTimecode::checksum(frame.first(frame.size() - 1)) != frame.back())
    return kNakChecksum;
  if ((frame[0] >> 4) == 0x2) {
    if (options_.stopLatencyFrames > 0 && haltsLate(frame)) {
      // The transport goes on as it was for the latency, counted in its own frames.
      const auto late = static_cast<std::int64_t>(
          std::llround(options_.stopLatencyFrames * 1e6 / options_.rate.perSecond()));
      const std::int64_t due =
          std::max(now + late, deferred_.empty() ? now : deferred_.back().dueUs);
      deferred_.push_back({due, std::vector<std::uint8_t>(frame.begin(), frame.end())});
      return kAck;
    }
    applyDeferredLocked(now, true);
  }
  std::optional<std::vector<std::uint8_t>> reply;
  switch (frame[0] >> 4) {
    case 0x0:
      reply = systemControl(frame);
      break;
    case 0x2:
      reply = transportControl(frame, now);
      break;
    case 0x4:
      reply = presetControl(frame, now);
      break;
    case 0x6:
      reply = senseRequest(frame, now);
      break;
  }
  return reply ? std::move(*reply) : kNakUnknown;
}

std::optional<std::vector<std::uint8_t>> DeckEmulator::systemControl(
    std::span<const std::uint8_t> frame) {
  if (frame[0] != 0x00)
    return std::nullopt;
  switch (frame[1]) {
    case 0x0C:  // local disable: the emulator has no front panel to lock
    case 0x1D:  // local enable
      return kAck;
    case 0x11:
      return SimTimecode::withChecksum({0x12, 0x11, options_.deviceId[0], options_.deviceId[1]});
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> DeckEmulator::transportControl(
    std::span<const std::uint8_t> frame, std::int64_t now) {
  const std::uint8_t cmd = frame[1];
  switch (frame[0]) {
    case 0x20:
      switch (cmd) {
        case 0x00:
          transport_.stop(now);
          return kAck;
        case 0x01:
          transport_.play(now);
          return kAck;
        case 0x02:
          transport_.record(now);
          return kAck;
        case 0x04:
          transport_.setStandby(false, now);
          return kAck;
        case 0x05:
          transport_.setStandby(true, now);
          return kAck;
        case 0x0F:
          transport_.eject(now);
          return kAck;
        case 0x10:
          transport_.fastForward(now);
          return kAck;
        case 0x20:
          transport_.rewind(now);
          return kAck;
        case 0x14:
        case 0x24:
          transport_.frameStep(cmd == 0x24, now);
          return kAck;
        case 0x30: {
          // Cue to the in point (or, with none set, the current position) less the preroll.
          const int from = presets_.point(DeckPresets::Point::In).value_or(transport_.frame(now));
          transport_.cue(std::max(0, from - presets_.prerollFrames()), now);
          return kAck;
        }
        case 0x60:
        case 0x61:
          transport_.setEE(cmd == 0x61);
          return kAck;
        case 0x63:
          transport_.setSelectEE(true);
          return kAck;
        case 0x64:
        case 0x65:
          transport_.setEdit(cmd == 0x65);
          return kAck;
      }
      break;
    case 0x21:
    case 0x22: {
      // Speed data: one byte, or two where the second refines the first. The direction comes
      // from the command (1x forward, 2x reverse).
      const bool reverse = (cmd & 0xF0) == 0x20;
      const std::uint8_t n = frame[2];
      const std::uint8_t fine = frame[0] == 0x22 ? frame[3] : 0;
      switch (cmd) {
        case 0x11:
        case 0x21:
          transport_.jog(n, fine, reverse, now);
          return kAck;
        case 0x12:
        case 0x22:
          transport_.variable(n, fine, reverse, now);
          return kAck;
        case 0x13:
        case 0x23:
          transport_.shuttle(n, fine, reverse, now);
          return kAck;
      }
      break;
    }
    case 0x24:
      if (cmd == 0x31) {
        transport_.cue(SimTimecode::fromBcd(frame.subspan<2, 4>(), options_.rate), now);
        return kAck;
      }
      break;
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> DeckEmulator::presetControl(
    std::span<const std::uint8_t> frame, std::int64_t now) {
  using Point = DeckPresets::Point;
  const std::uint8_t cmd = frame[1];
  auto time = [&] { return SimTimecode::fromBcd(frame.subspan<2, 4>(), options_.rate); };
  switch (frame[0]) {
    case 0x40:
      switch (cmd) {
        case 0x08:
          presets_.presetTimer1(transport_.frame(now), 0);
          return kAck;
        case 0x10:
        case 0x11:
          presets_.setPoint(cmd == 0x10 ? Point::In : Point::Out, transport_.frame(now));
          return kAck;
        case 0x18:
        case 0x19:
        case 0x1A:
        case 0x1B:
          presets_.shiftPoint(cmd < 0x1A ? Point::In : Point::Out, (cmd & 1) ? -1 : 1);
          return kAck;
        case 0x20:
        case 0x21:
          presets_.resetPoint(cmd == 0x20 ? Point::In : Point::Out);
          return kAck;
        case 0x24:
        case 0x25:
          presets_.recallPoint(cmd == 0x24 ? Point::In : Point::Out);
          return kAck;
        case 0x40:
        case 0x41:
          presets_.setAutoMode(cmd == 0x41);
          return kAck;
        case 0x42:
        case 0x43:
          presets_.setSpotErase(cmd == 0x43);
          return kAck;
        case 0x44:
        case 0x45:
          presets_.setAudioSplit(cmd == 0x45);
          return kAck;
        // Audio in / out entry, shift, flag reset and recall; lost lock reset.
        case 0x12:
        case 0x13:
        case 0x1C:
        case 0x1D:
        case 0x1E:
        case 0x1F:
        case 0x22:
        case 0x23:
        case 0x26:
        case 0x27:
        case 0x2D:
          return kAck;
      }
      break;
    case 0x41:
      switch (cmd) {
        case 0x30:
          presets_.setEditPreset(frame[2], 0);
          return kAck;
        case 0x36:
          presets_.setTimerMode(frame[2]);
          return kAck;
        // Tape/audio, servo reference, head, colour frame select; input check; edit field and
        // freeze mode select.
        case 0x32:
        case 0x33:
        case 0x34:
        case 0x35:
        case 0x37:
        case 0x3A:
        case 0x3B:
          return kAck;
      }
      break;
    case 0x42:
      switch (cmd) {
        case 0x30:
          presets_.setEditPreset(frame[2], frame[3]);
          return kAck;
        case 0xF8:  // still off time
        case 0xFA:  // standby off time
          return kAck;
      }
      break;
    case 0x44:
      switch (cmd) {
        case 0x00:
          presets_.presetTimer1(transport_.frame(now), time());
          return kAck;
        case 0x04:
          presets_.presetGenerator(time(), now);
          return kAck;
        case 0x05:
          presets_.setUserBits({frame[2], frame[3], frame[4], frame[5]});
          return kAck;
        case 0x14:
        case 0x15:
          presets_.setPoint(cmd == 0x14 ? Point::In : Point::Out, time());
          return kAck;
        case 0x31:
          presets_.setPrerollFrames(time());
          return kAck;
      }
      break;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> DeckEmulator::timeReply(std::uint8_t code, int frame,
                                                  bool withUserBits) const {
  const auto tc = SimTimecode::toBcd(frame, options_.rate);
  std::vector<std::uint8_t> reply{static_cast<std::uint8_t>(withUserBits ? 0x78 : 0x74), code};
  reply.insert(reply.end(), tc.begin(), tc.end());
  if (withUserBits) {
    const auto& ub = presets_.userBits();
    reply.insert(reply.end(), ub.begin(), ub.end());
  }
  return SimTimecode::withChecksum(std::move(reply));
}

std::optional<std::vector<std::uint8_t>> DeckEmulator::senseRequest(
    std::span<const std::uint8_t> frame, std::int64_t now) {
  const std::uint8_t cmd = frame[1];
  auto userBitsReply = [this](std::uint8_t code) {
    const auto& ub = presets_.userBits();
    return SimTimecode::withChecksum({0x74, code, ub[0], ub[1], ub[2], ub[3]});
  };
  switch (frame[0]) {
    case 0x60:
      switch (cmd) {
        case 0x10:
        case 0x11: {
          const auto p =
              presets_.point(cmd == 0x10 ? DeckPresets::Point::In : DeckPresets::Point::Out);
          return timeReply(cmd, p.value_or(0), false);
        }
        case 0x31:
          return timeReply(0x31, presets_.prerollFrames(), false);
        case 0x36:
          return SimTimecode::withChecksum({0x71, 0x36, presets_.timerMode()});
      }
      break;
    case 0x61: {
      const std::uint8_t d = frame[2];
      switch (cmd) {
        case 0x0C: {
          // LTC when asked for it (or for either, or for nothing in particular), else VITC,
          // then the timers, then user bits alone.
          const int pos = transport_.frame(now);
          if (d & 0x01 || !(d & 0x3E))
            return timeReply(0x04, pos, (d & 0x11) == 0x11);
          if (d & 0x02)
            return timeReply(0x06, pos, (d & 0x22) == 0x22);
          if (d & 0x04)
            return timeReply(0x00, std::max(0, presets_.timer1(pos)), false);
          if (d & 0x08)
            return timeReply(0x01, pos, false);
          return userBitsReply(d & 0x10 ? 0x05 : 0x07);
        }
        case 0x0A:
          if (d == 0x10)
            return userBitsReply(0x09);
          return timeReply(0x08, presets_.generator(now), d == 0x11);
        case 0x20: {
          const int first = d >> 4;
          const int count = d & 0x0F;
          auto data = transport_.statusData(now);
          presets_.addStatus(data);
          std::vector<std::uint8_t> reply{static_cast<std::uint8_t>(0x70 | count), 0x20};
          for (int i = first; i < first + count; ++i)
            reply.push_back(i < 16 ? data[i] : 0);
          return SimTimecode::withChecksum(std::move(reply));
        }
        case 0x21:
          // Extended status: no extended condition to report.
          return SimTimecode::withChecksum({0x71, 0x21, 0x00});
      }
      break;
    }
  }
  return std::nullopt;
}

DeckEmulator::Snapshot DeckEmulator::snapshot() {
  std::lock_guard lock(mutex_);
  const std::int64_t now = clockNow();
  applyDeferredLocked(now);
  Snapshot s;
  s.frame = transport_.frame(now);
  s.mode = transport_.mode(now);
  s.speed = transport_.speed(now);
  s.ejected = transport_.ejected();
  s.framesIn = framesReceived_;
  s.framesOut = framesSent_.load();
  return s;
}

int DeckEmulator::framesSent() const {
  return framesSent_.load();
}

int DeckEmulator::frame() {
  std::lock_guard lock(mutex_);
  const std::int64_t now = clockNow();
  applyDeferredLocked(now);
  return transport_.frame(now);
}

TransportMode DeckEmulator::mode() {
  std::lock_guard lock(mutex_);
  const std::int64_t now = clockNow();
  applyDeferredLocked(now);
  return transport_.mode(now);
}

bool DeckEmulator::cuedUp() {
  std::lock_guard lock(mutex_);
  const std::int64_t now = clockNow();
  applyDeferredLocked(now);
  return transport_.cuedUp(now);
}

bool DeckEmulator::standby() {
  std::lock_guard lock(mutex_);
  applyDeferredLocked(clockNow());
  return transport_.standby();
}

bool DeckEmulator::ee() {
  std::lock_guard lock(mutex_);
  return transport_.ee();
}

std::array<std::uint8_t, 16> DeckEmulator::statusData() {
  std::lock_guard lock(mutex_);
  const std::int64_t now = clockNow();
  applyDeferredLocked(now);
  auto d = transport_.statusData(now);
  presets_.addStatus(d);
  return d;
}

int DeckEmulator::framesReceived() const {
  std::lock_guard lock(mutex_);
  return framesReceived_;
}
