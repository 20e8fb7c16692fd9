#include "sim/DeckEmulator.h"

#include <utility>

#include "sim/SimClock.h"
#include "sim/SimTimecode.h"

const std::vector<std::uint8_t> DeckEmulator::kAck = {0x10, 0x01, 0x11};
const std::vector<std::uint8_t> DeckEmulator::kNakChecksum = {0x11, 0x12, 0x04, 0x27};
const std::vector<std::uint8_t> DeckEmulator::kNakUnknown = {0x11, 0x12, 0x01, 0x24};

DeckEmulator::DeckEmulator(EmulatorOptions options)
    : options_(std::move(options)), transport_(options_, clockNow()), faults_(options_) {
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
  if (write.tag != nullptr)
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

std::vector<std::uint8_t> DeckEmulator::answerLocked(std::span<const std::uint8_t> frame,
                                                     std::int64_t now) {
  if (frame.size() < 3 || frame.size() != 3u + (frame[0] & 0x0F))
    return kNakUnknown;
  if (SimTimecode::checksum(frame.first(frame.size() - 1)) != frame.back())
    return kNakChecksum;
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
        case 0x10:
          transport_.fastForward(now);
          return kAck;
        case 0x20:
          transport_.rewind(now);
          return kAck;
        case 0x05:
          transport_.setStandby(true, now);
          return kAck;
        case 0x04:
          transport_.setStandby(false, now);
          return kAck;
        case 0x61:
          transport_.setEE(true);
          return kAck;
        case 0x60:
          transport_.setEE(false);
          return kAck;
      }
      break;
    case 0x21:
      switch (cmd) {
        case 0x11:
        case 0x21:
          transport_.jog(frame[2], cmd == 0x21, now);
          return kAck;
        case 0x12:
        case 0x22:
          transport_.variable(frame[2], cmd == 0x22, now);
          return kAck;
        case 0x13:
        case 0x23:
          transport_.shuttle(frame[2], cmd == 0x23, now);
          return kAck;
      }
      break;
    case 0x24:
      if (cmd == 0x31) {
        transport_.cue(SimTimecode::fromBcd(frame.subspan<2, 4>()), now);
        return kAck;
      }
      break;
    case 0x41:
      if (cmd == 0x36)
        return kAck;
      break;
    case 0x61:
      if (cmd == 0x0C) {
        const auto tc = SimTimecode::toBcd(transport_.frame(now));
        return SimTimecode::withChecksum({0x74, 0x04, tc[0], tc[1], tc[2], tc[3]});
      }
      if (cmd == 0x20) {
        const int first = frame[2] >> 4;
        const int count = frame[2] & 0x0F;
        const auto data = transport_.statusData(now);
        std::vector<std::uint8_t> reply{static_cast<std::uint8_t>(0x70 | count), 0x20};
        for (int i = first; i < first + count; ++i)
          reply.push_back(i < 16 ? data[i] : 0);
        return SimTimecode::withChecksum(std::move(reply));
      }
      break;
  }
  return kNakUnknown;
}

int DeckEmulator::frame() {
  std::lock_guard lock(mutex_);
  return transport_.frame(clockNow());
}

TransportMode DeckEmulator::mode() {
  std::lock_guard lock(mutex_);
  return transport_.mode(clockNow());
}

bool DeckEmulator::cuedUp() {
  std::lock_guard lock(mutex_);
  return transport_.cuedUp(clockNow());
}

bool DeckEmulator::standby() {
  std::lock_guard lock(mutex_);
  return transport_.standby();
}

bool DeckEmulator::ee() {
  std::lock_guard lock(mutex_);
  return transport_.ee();
}

std::array<std::uint8_t, 16> DeckEmulator::statusData() {
  std::lock_guard lock(mutex_);
  return transport_.statusData(clockNow());
}

int DeckEmulator::framesReceived() const {
  std::lock_guard lock(mutex_);
  return framesReceived_;
}
