#include "deck/LocalVCR.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "app/ControllerApp.h"
#include "app/NativeFile.h"
#include "app/TextCodec.h"
#include "deck/BcdTimecode.h"
#include "deck/ConditionSleeper.h"
#include "deck/CueThread.h"
#include "deck/OperatorWorker.h"
#include "deck/ScriptFile.h"
#include "deck/TCThread.h"

namespace {

// Sets scriptactive for the life of one script run and clears it on every way out.
class ScriptActiveGuard {
 public:
  explicit ScriptActiveGuard(LocalVCR& vcr) : vcr_(vcr) { vcr_.setscriptactive(true); }
  ~ScriptActiveGuard() { vcr_.setscriptactive(false); }
  ScriptActiveGuard(const ScriptActiveGuard&) = delete;
  ScriptActiveGuard& operator=(const ScriptActiveGuard&) = delete;

 private:
  LocalVCR& vcr_;
};

// The argument of "Wait": an optional minus sign and decimal digits, nothing else, within the
// range of a 32-bit integer.
long long parseWaitSeconds(const std::string& arg) {
  std::size_t i = 0;
  bool negative = false;
  if (i < arg.size() && arg[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == arg.size()) {
    throw std::invalid_argument("Wait needs a whole number of seconds, got \"" + arg + "\"");
  }
  long long value = 0;
  for (; i < arg.size(); ++i) {
    if (arg[i] < '0' || arg[i] > '9') {
      throw std::invalid_argument("Wait needs a whole number of seconds, got \"" + arg + "\"");
    }
    value = value * 10 + (arg[i] - '0');
    if (value > 2147483648LL) {
      throw std::invalid_argument("Wait value out of range: \"" + arg + "\"");
    }
  }
  if (!negative && value > 2147483647LL) {
    throw std::invalid_argument("Wait value out of range: \"" + arg + "\"");
  }
  return negative ? -value : value;
}

}  // namespace

LocalVCR::LocalVCR(CommandLink& sop, bool LANC, DeckView& view)
    : sop_(sop),
      view_(view),
      LANC_(LANC),
      lx1_(ControllerApp::getlx1()),
      zarix_(ControllerApp::getzarix()),
      rate_(ControllerApp::getframerate()),
      sleeper_(std::make_shared<ConditionSleeper>()),
      worker_(std::make_unique<OperatorWorker>(
          [this](const std::string& what) { println("Deck action failed: " + what); })),
      predictor_(rate_),
      stopLatency_(ControllerApp::getstoplatency()) {}

LocalVCR::~LocalVCR() {
  close();
}

void LocalVCR::start() {
  if (started_.exchange(true)) {
    return;
  }
  println("Ready");
  ShowStat(" Ready");
  try {
    CommandB0(bssettimemode);
  } catch (const std::exception& e) {
    reportError("Start", e.what());
  }
  // The clipboard needs no setup here: the window owns it and copyToClipboard() reaches it.
  // The start-up pause of 1000 ms before polling is waited by the polling thread itself, so the
  // caller is not held; the order on the wire stays time mode, pause, polling.
  startPolling(1000);
}

void LocalVCR::close() {
  std::lock_guard closeLock(closeMutex_);
  if (closed_.load()) {
    return;
  }
  if (closingHook_) {
    closingHook_();
  }
  closing_.store(true);
  sleeper_->shutdown();  // every wait of polling, cue threads, the worker and scripts ends now

  std::unique_ptr<TCThread> poller;
  {
    std::lock_guard lock(threadsMutex_);
    poller = std::move(tcthread_);
  }
  if (poller) {
    poller->stopme();
    poller.reset();  // joins
  }
  worker_->stop();
  std::list<std::shared_ptr<CueThread>> cues;
  {
    std::lock_guard lock(threadsMutex_);
    cues.swap(cuethreads_);
  }
  for (auto& cue : cues) {
    cue->join();
  }
  cues.clear();

  if (ControllerApp::getstoponexit()) {
    try {
      exchange(bsstop, true);
      sleeper_->hold(500);
      exchange(bsstop, true);
    } catch (const std::exception& e) {
      reportError("Close", e.what());
    }
    moving_.store(0);
  }
  closed_.store(true);
}

void LocalVCR::post(std::function<void()> action) {
  clearNote();
  worker_->post(std::move(action));
}

void LocalVCR::postRun(std::function<void()> action) {
  clearNote();
  worker_->post(std::move(action), true);
}

void LocalVCR::clearNote() {
  // A script's error note is read until the operator does something else; a running script
  // keeps its own note.
  std::lock_guard lock(textMutex_);
  if (note_.rfind("Script Error", 0) == 0) {
    note_.clear();
  }
}

void LocalVCR::takeover(std::function<void()> action, bool run) {
  clearNote();
  stopRestWatch();  // the operator moves the deck: where it comes to rest teaches nothing
  // The run is marked taken over before its review is ended: a review that ends now must find
  // the mark when it returns, or RevALL and a script would go on to their next step.
  // Checked again when the action runs: a review the ended run started in the meantime ends too.
  // Every cue still waiting for the deck (cue, cue-and-play, review) finishes without another
  // frame, so its lock goes and no pause arrives later by itself. The cues running now end at
  // once, below; those that actions queued before this one start meanwhile end when it runs.
  // A cue that the action itself starts is not touched.
  auto abandonCues = [this] {
    std::lock_guard lock(threadsMutex_);
    for (auto& cue : cuethreads_) {
      cue->abandon();
    }
  };
  std::list<std::shared_ptr<CueThread>> running;
  {
    std::lock_guard lock(threadsMutex_);
    running = cuethreads_;
  }
  auto own = [this, abandonCues, action = std::move(action)] {
    if (reviewclipFlag_.load()) {
      SettleDown();
    }
    abandonCues();
    action();
  };
  worker_->takeover(std::move(own), run);
  if (reviewclipFlag_.load()) {
    SettleDown();
  }
  for (auto& cue : running) {
    cue->abandon();
  }
  sleeper_->wake();  // the run's waits and the cue threads' waits see the flags now
}

bool LocalVCR::takenOver() const {
  return worker_->interrupted();
}

bool LocalVCR::runWait(int ms) {
  return sleeper_->sleepUnless(ms, worker_->interruptFlag());
}

bool LocalVCR::workerIdle() const {
  return worker_->idle();
}

// --- frames ---

SerialReply LocalVCR::exchange(std::span<const std::uint8_t> frame, bool force) {
  if (closing_.load() && !force) {
    return {};
  }
  // Where a deck rests after a review's Stop says how late it stops, unless something moved it
  // since: any frame but the polls, a Stop and a Pause.
  if (restWatched_.load()) {
    auto is = [&frame](std::span<const std::uint8_t> other) {
      return std::equal(frame.begin(), frame.end(), other.begin(), other.end());
    };
    if (!is(bsgettc) && !is(bsstatus) && !is(bsstop) && !is(bspause)) {
      stopRestWatch();
    }
  }
  SerialReply reply = sop_.SendSerial(frame);
  std::lock_guard lock(textMutex_);
  SerIn_ = reply;
  return reply;
}

void LocalVCR::CommandB0(std::span<const std::uint8_t> frame) {
  exchange(frame);
}

// --- transport ---

void LocalVCR::transport(std::span<const std::uint8_t> frame, int moving, bool settle) {
  CommandB0(frame);
  view_.centreShuttle();
  if (moving >= 0) {
    moving_.store(moving);
  }
  if (settle) {
    SettleDown();
  }
}

void LocalVCR::play() {
  transport(bsplay, 1, false);
}

void LocalVCR::pause() {
  // The LX1 pauses only from play: a stopped recorder is started first.
  if (lx1_ && moving_.load() == 0) {
    play();
    if (!runWait(500)) {
      return;
    }
  }
  CommandB0(bspause);
  view_.centreShuttle();
}

void LocalVCR::stop() {
  transport(bsstop, 0, true);
}
void LocalVCR::forward() {
  transport(bsforward, 1, true);
}
void LocalVCR::rewind() {
  transport(bsrewind, 1, true);
}
void LocalVCR::slowfifth() {
  transport(bsslowfifth, 1, true);
}
void LocalVCR::slowthird() {
  transport(bsslowthird, 1, true);
}
void LocalVCR::slowhalf() {
  transport(bsslowhalf, 1, true);
}
void LocalVCR::fasttwo() {
  transport(bsfasttwo, 1, true);
}
void LocalVCR::fastfive() {
  transport(bsfastfive, 1, true);
}
void LocalVCR::jogf() {
  transport(bsjogf, 0, true);
}
void LocalVCR::jogr() {
  transport(bsjogr, 0, true);
}
void LocalVCR::eeon() {
  transport(bseeon, 0, true);
}
void LocalVCR::eeoff() {
  transport(bseeoff, 0, true);
}
void LocalVCR::sbyon() {
  transport(bssbyon, 0, true);
}
void LocalVCR::sbyoff() {
  transport(bssbyoff, 0, true);
}

void LocalVCR::record() {
  transport(bsrecord, 1 - moving_.load(), true);
}

void LocalVCR::shutfwd(int speed) {
  auto frame = bsshutfwd;
  frame[2] = static_cast<std::uint8_t>(speed & 0xFF);
  frame[3] = static_cast<std::uint8_t>((speed + 0x34) & 0xFF);  // checksum: 21 + 13 = 34
  CommandB0(frame);
}

void LocalVCR::shutrev(int speed) {
  auto frame = bsshutrev;
  frame[2] = static_cast<std::uint8_t>(speed & 0xFF);
  frame[3] = static_cast<std::uint8_t>((speed + 0x44) & 0xFF);  // checksum: 21 + 23 = 44
  CommandB0(frame);
}

void LocalVCR::SettleDown() {
  cueplayFlag_.store(false);
  reviewclipFlag_.store(false);
  duration_.store(0);
  sleeper_->wake();  // a review waiting for its out point gives up
}

// --- polling ---

void LocalVCR::GetTC() {
  startPolling(0);
}

void LocalVCR::startPolling(int firstDelayMs) {
  if (!sop_.hasPort()) {
    return;
  }
  std::lock_guard lock(threadsMutex_);
  if (tcthread_ || closing_.load()) {
    return;
  }
  tcthread_ = std::make_unique<TCThread>(*this, LANC_, zarix_, *sleeper_, firstDelayMs);
}

void LocalVCR::CommandB8() {
  const unsigned cues = cueFramesSent();
  const auto sent = Clock::now();
  const SerialReply reply = exchange(bsgettc);
  const auto read = Clock::now();
  pollExchangeNs_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(read - sent).count());
  NumBytes_.store(reply.count);
  std::optional<int> position;
  const bool answered = reply.count > 0;
  if (closing_.load()) {
    return;
  }
  // A deck that stops answering leaves the display on its last timecode; after a few silent
  // polls in a row the window shows it as stale, until the first reply comes back.
  if (answered) {
    silentPolls_.store(0);
    if (stale_.exchange(false)) {
      view_.ShowStale(false);
    }
  } else if (silentPolls_.fetch_add(1) + 1 == kStaleAfterPolls) {
    stale_.store(true);
    view_.ShowStale(true);
  }
  if (reply.count == 7 && reply.bytes[0] == 0x74) {
    // A reply whose minutes or seconds are not decimal digits is dropped whole: the previous
    // timecode stays, so a corrupt reply can never trigger an out point early.
    if (auto tc = BcdTimecode::decode(&reply.bytes[2], rate_)) {
      position = tc->frames;
      notePosition(position, sent, read);
      checkDropFrame(tc->dropFrame);
      tcframes_.store(tc->frames);
      fields_.setTc(tc->text);
      view_.ShowTC(tc->text);
      if (ControllerApp::getuseclipboard()) {
        view_.copyToClipboard(tc->text + "\n");
      }
      sleeper_->wake();  // a review waiting for its out point checks the new position
    }
  }
  if (!position) {
    notePosition(std::nullopt, sent, read);
  }
  if (reply.count >= 8 && reply.bytes[0] == 0x79) {
    ShowStat(ExtractStatusString(reply, cues));
  }
}

// --- the predicted stop ---

void LocalVCR::notePosition(std::optional<int> frames, Clock::time_point sent,
                            Clock::time_point read) {
  std::string learned;
  bool forget = false;
  {
    std::lock_guard lock(predictMutex_);
    const unsigned losses = sop_.lineLosses();
    if (losses != predictLosses_) {
      // A line that was lost and came back may lead to another deck, or the same one moved.
      predictLosses_ = losses;
      predictor_.reset();
      forget = true;
      rest_.reset();
      restWatched_.store(false);
    }
    if (!frames) {
      // A reply missing or unusable adds nothing. A reply that comes late costs two (it is
      // missing, then read together with the next one); three in a row are a line that is
      // going, as for the display, and the next reply starts afresh.
      if (++unusableReplies_ < kStaleAfterPolls) {
        return;
      }
      predictor_.reset();
      forget = true;
    } else {
      unusableReplies_ = 0;
      predictor_.observe(*frames, sent, read);
    }
    // A deck watched since a review's Stop has come to rest once two replies agree.
    if (!forget && rest_) {
      if (read - rest_->since > std::chrono::seconds(3)) {
        rest_.reset();  // it never came to rest while watched
      } else if (rest_->last == *frames) {
        if (stopLatency_.learn(*frames - rest_->arrival)) {
          const int n = stopLatency_.frames();
          const int reviews = stopLatency_.reviews();
          learned = "Deck stop latency: " + std::to_string(n) + (n == 1 ? " frame" : " frames") +
                    ", learned from " + std::to_string(reviews) +
                    (reviews == 1 ? " review" : " reviews");
        }
        rest_.reset();
      } else {
        rest_->last = *frames;
      }
      restWatched_.store(rest_.has_value());
    }
  }
  if (forget) {
    // A Stop planned on what is now forgotten holds no poll back, and the review plans again.
    stopDueNs_.store(0);
    sleeper_->wake();
    return;
  }
  if (!learned.empty()) {
    println(learned);
  }
}

std::optional<LocalVCR::Clock::time_point> LocalVCR::planStop(int restFrame) {
  std::optional<Clock::time_point> at;
  if (!lx1_ && predictedStop_.load()) {
    std::lock_guard lock(predictMutex_);
    // Replies older than a few poll cycles no longer vouch for the play speed.
    if (predictor_.predictable() &&
        Clock::now() - predictor_.lastRead() < std::chrono::milliseconds(300)) {
      at = predictor_.stopInstant(restFrame, stopLatency_.frames());
    }
  }
  stopDueNs_.store(
      at ? std::chrono::duration_cast<std::chrono::nanoseconds>(at->time_since_epoch()).count()
         : 0);
  return at;
}

bool LocalVCR::stopPlanned(int restFrame) {
  // Close enough that the polls before it may still refine it, but within the next cycles.
  const auto at = planStop(restFrame);
  return at && *at - Clock::now() < std::chrono::milliseconds(150);
}

void LocalVCR::stopSent(std::optional<Clock::time_point> at) {
  stopDueNs_.store(0);
  if (at) {
    std::lock_guard lock(predictMutex_);
    rest_.reset();
    if (const auto arrival = predictor_.frameAt(*at)) {
      rest_ = RestWatch{*arrival, std::nullopt, *at};
    }
    restWatched_.store(rest_.has_value());
  }
  sleeper_->wake();  // a poll held back for the Stop goes now
}

void LocalVCR::resetPrediction() {
  std::lock_guard lock(predictMutex_);
  predictor_.reset();
}

void LocalVCR::stopRestWatch() {
  std::lock_guard lock(predictMutex_);
  rest_.reset();
  restWatched_.store(false);
}

void LocalVCR::holdPollForStop() {
  for (;;) {
    const std::int64_t due = stopDueNs_.load();
    if (due == 0) {
      return;
    }
    const auto at = Clock::time_point(std::chrono::nanoseconds(due));
    const auto now = Clock::now();
    // The exchange holds the link for about as long as the last one did, and a little more.
    const auto busy =
        std::chrono::nanoseconds(pollExchangeNs_.load()) + std::chrono::milliseconds(3);
    // A Stop that has not gone out shortly after its instant was not sent for it (the review
    // fell back to the polls): the polls go on.
    const auto giveUp = at + std::chrono::milliseconds(20);
    if (now + busy < at || now >= giveUp) {
      return;
    }
    // Until the Stop has gone out, or its instant moved (then look again).
    if (sleeper_->sleepUntil([giveUp] { return std::optional(giveUp); },
                             [this, due] { return stopDueNs_.load() != due; })) {
      return;
    }
    if (sleeper_->closing()) {
      return;
    }
  }
}

int LocalVCR::getstoplatency() const {
  std::lock_guard lock(predictMutex_);
  return stopLatency_.frames();
}

void LocalVCR::checkDropFrame(bool deckSays) {
  const int now = deckSays ? 1 : 0;
  if (deckDropFrame_.exchange(now) == now || deckSays == rate_.dropFrame()) {
    return;
  }
  const std::string line =
      deckSays ? "Deck reports drop-frame timecode (29.97DF), but FrameRate is " + rate_.name()
               : "Deck reports non-drop timecode, but FrameRate is 29.97DF";
  println(line);
  ShowStat(line);
}

void LocalVCR::CommandStatus() {
  NumBytes_.store(0);
  const unsigned cues = cueFramesSent();
  const SerialReply reply = exchange(bsstatus);
  if (closing_.load()) {
    return;
  }
  NumBytes_.store(reply.count);
  if (reply.count >= 8 && reply.bytes[0] == 0x79) {
    ShowStat(withNote(ExtractStatusString(reply, cues)));
  } else if (reply.count == 0 && sop_.hasOutStream()) {
    ShowStat(withNote(nostatus));
  } else if (!sop_.hasOutStream()) {
    ShowStat(withNote(novcr));
  }
}

void LocalVCR::setNote(const std::string& note) {
  {
    std::lock_guard lock(textMutex_);
    note_ = note;
  }
  if (!note.empty()) {
    ShowStat(note);
  }
}

std::string LocalVCR::withNote(const std::string& status) const {
  std::lock_guard lock(textMutex_);
  return note_.empty() ? status : note_ + "  " + status;
}

unsigned LocalVCR::cueFramesSent() const {
  std::lock_guard lock(cueupMutex_);
  return cueFrames_;
}

void LocalVCR::cueFrameSent() {
  std::lock_guard lock(cueupMutex_);
  ++cueFrames_;
  cueup_.store(false);
}

std::string LocalVCR::ExtractStatusString(const SerialReply& reply, unsigned cuesBefore) {
  const std::uint8_t b3 = reply.bytes[3];
  const std::uint8_t b4 = reply.bytes[4];
  const std::uint8_t b6 = reply.bytes[6];
  {
    std::uint64_t data = std::uint64_t{1} << 40;
    for (int i = 0; i < 5; ++i) {
      data |= std::uint64_t{reply.bytes[2 + i]} << (8 * i);
    }
    statusData_.store(data);
  }
  std::string text;
  view_.clearbuttons();
  auto bit = [&](bool set, const char* word, DeckButton button) {
    if (set) {
      text += word;
      view_.hilight(button);
    }
  };
  // During a review the transport bits would only flicker the highlights; the cue bits count.
  if (!reviewclipFlag_.load()) {
    bit(b3 & 0x01, "Play ", DeckButton::Play);
    bit(b3 & 0x02, "Rec ", DeckButton::Record);
    bit(b3 & 0x04, "FF ", DeckButton::Forward);
    bit(b3 & 0x08, "REW ", DeckButton::Rewind);
    bit(b3 & 0x20, "Stop ", DeckButton::Stop);
    if (!lx1_) {
      bit(b3 & 0x80, "Stby ", DeckButton::StandbyOn);
      bit(b4 & 0x20, "Shuttle ", DeckButton::Shuttle);
      bit(b4 & 0x10, "Jog ", (b4 & 0x04) ? DeckButton::JogReverse : DeckButton::JogForward);
    }
  }
  {
    // A reply read before a cue frame went out tells of the deck's previous cue: taken as cued
    // up, it would end the new cue's wait at once and its settle pause stop the deck on the way.
    std::lock_guard lock(cueupMutex_);
    if (cueFrames_ == cuesBefore) {
      cueup_.store((b4 & 0x01) != 0);
    }
  }
  if (b4 & 0x01) {
    text += "CuedUp ";
  }
  preroll_.store((b6 & 0x01) != 0);
  if (b6 & 0x01) {
    text += "PreCue ";
  }
  {
    std::lock_guard lock(textMutex_);
    StatusString_ = text;
  }
  sleeper_->wake();  // a cue thread waiting for cued up checks again
  return text;
}

// --- cue and review ---

void LocalVCR::MakeCueString() {
  const std::string text = fields_.cue();
  const auto bcd = BcdTimecode::encode(text, "Cue point");
  std::lock_guard lock(textMutex_);
  CueString_ = text;
  std::copy(bcd.begin(), bcd.end(), bscue_.begin() + 2);
  bscue_[6] = BcdTimecode::checksum(bscue_.data(), 6);
}

void LocalVCR::MakeCueOutString() {
  const std::string text = fields_.end();
  const auto bcd = BcdTimecode::encode(text, "Out point");
  std::lock_guard lock(textMutex_);
  EndString_ = text;
  std::copy(bcd.begin(), bcd.end(), bscue_.begin() + 2);
  bscue_[6] = BcdTimecode::checksum(bscue_.data(), 6);
}

void LocalVCR::cue() {
  MakeCueString();
  startCue(false, false);
}

void LocalVCR::cueout() {
  MakeCueOutString();
  startCue(false, false);
}

void LocalVCR::cueplay() {
  MakeCueString();
  startCue(true, false);
}

void LocalVCR::reviewclip() {
  if (!lx1_) {
    stop();
  }
  if (!lx1_ && !zarix_ && !runWait(1000)) {
    return;
  }
  // Both texts are checked before anything changes, so a bad out point leaves the cue frame as
  // it was.
  const std::string cueText = fields_.cue();
  const std::string endText = fields_.end();
  const auto bcd = BcdTimecode::encode(cueText, "Cue point");
  const int start = BcdTimecode::framesOf(cueText, "Cue point", rate_);
  const int end = BcdTimecode::framesOf(endText, "Out point", rate_);
  {
    std::lock_guard lock(textMutex_);
    std::copy(bcd.begin(), bcd.end(), bscue_.begin() + 2);
    bscue_[6] = BcdTimecode::checksum(bscue_.data(), 6);
    EndString_ = endText;
  }
  const int duration = end - start;
  startframes_.store(start);
  endframes_.store(end);
  duration_.store(duration);
  durationfr_.store(duration % rate_.nominal());
  durationsec_.store(duration / rate_.nominal());
  ShowStat("Reviewing Clip of Duration= " + std::to_string(duration));
  if (!lx1_ && !zarix_ && !runWait(1000)) {
    return;
  }
  if (duration > 0) {
    auto thread = startCue(true, true);
    if (scriptactive_.load() && thread) {
      waitForReview(thread);
    }
  } else {
    println("No Review is possible");
    CueUp();  // the flags keep what the stop (or, on the LX1, the last cue) left
    ShowStat("No Review is possible");
  }
}

void LocalVCR::waitForReview(const std::shared_ptr<CueThread>& thread) {
  // A script's "Review" returns when the clip has played to its out point. It also returns when
  // the review was abandoned by a transport command (the thread ends without getting there), and
  // at close; the deck is paused only when the clip was played out.
  // A takeover by the operator ends the wait too (and has already abandoned the review).
  sleeper_->waitUntil(
      [this, &thread] { return thread->gotthere() || thread->finished() || takenOver(); }, 100, -1);
  if (thread->gotthere() && !closing_.load() && !takenOver()) {
    if (lx1_) {
      // The LX1 is already paused at the out point; the play that pause() puts first from a
      // standstill would carry it about 15 frames on. It gets the pause frame alone.
      CommandB0(bspause);
    } else {
      pause();
    }
  }
}

void LocalVCR::CueUp() {
  startCue(cueplayFlag_.load(), reviewclipFlag_.load());
}

std::shared_ptr<CueThread> LocalVCR::startCue(bool cueplay, bool review) {
  // What was asked shows at once, port or not; it is set again below, where no older cue can
  // clear it any more.
  cueplayFlag_.store(cueplay);
  reviewclipFlag_.store(review);
  if (!sop_.hasPort()) {
    return nullptr;
  }
  if (lx1_ && moving_.load() == 0) {
    play();
    if (!runWait(500)) {
      return nullptr;
    }
    pause();
  }
  const auto frame = getcueframe();
  std::list<std::shared_ptr<CueThread>> done;
  std::shared_ptr<CueThread> thread;
  {
    // The deck goes to one place at a time. Under the order lock a cue still running is
    // superseded between two of its frames, and the flags set here are the new cue's.
    std::lock_guard order(cueOrderMutex_);
    std::lock_guard lock(threadsMutex_);
    if (closing_.load()) {
      return nullptr;
    }
    // Finished threads are taken out here and joined below, outside the locks.
    for (auto it = cuethreads_.begin(); it != cuethreads_.end();) {
      if ((*it)->finished()) {
        done.push_back(std::move(*it));
        it = cuethreads_.erase(it);
      } else {
        (*it)->abandon();
        ++it;
      }
    }
    ++cueGeneration_;
    cueplayFlag_.store(cueplay);
    reviewclipFlag_.store(review);
    thread = std::make_shared<CueThread>(*this, frame, cueGeneration_);
    cuethreads_.push_back(thread);
  }
  sleeper_->wake();  // a superseded cue stops waiting at once
  return thread;
}

void LocalVCR::cueto(const std::string& tc) {
  const auto bcd = BcdTimecode::encode(tc, "Cue point");
  {
    std::lock_guard lock(textMutex_);
    std::copy(bcd.begin(), bcd.end(), bscue_.begin() + 2);
    bscue_[6] = BcdTimecode::checksum(bscue_.data(), 6);
  }
  startCue(false, false);
}

void LocalVCR::setcue() {
  setCueText(tcText());
  MakeCueString();
}

void LocalVCR::setreview() {
  setEndText(tcText());
}

// --- scripts and the command language ---

void LocalVCR::script() {
  const std::string path = "Script.txt";
  if (!std::filesystem::exists(NativeFile::fsPath(path))) {
    println("No script file found!");
    ShowStat("No script file found!");
    sleeper_->sleep(1000);
    scriptactive_.store(false);
    return;
  }
  ScriptActiveGuard active(*this);
  std::string failure;
  std::string current;  // the line being run, for the status line when it fails
  // The status line says a script runs for as long as it runs; an error stays there until the
  // operator's next action, so it is seen without the log.
  setNote("Script running");
  std::string endNote;
  {
    ScriptFile file(path);
    println(" ");
    println("**********");
    println("Found Script.txt File");
    try {
      while (!closing_.load() && !takenOver()) {
        const auto line = file.next();
        // Lengths count characters: "ééé" is a three-character line and ends the script.
        if (!line || *line == "Quit" || TextCodec::length(*line) < 4) {
          break;
        }
        println(*line);
        if ((*line)[0] == ';') {
          continue;
        }
        current = *line;
        if (!ParseNetCommand(*line)) {
          println("Script Error");
          endNote = "Script Error: " + current;
          break;
        }
      }
    } catch (const std::exception& e) {
      failure = e.what();
      endNote = "Script Error: " + current + ": " + failure;
    }
    println("Script ended");
    println("**********");
    println(" ");
  }
  // A command that failed ends the script above; it is reported here as one line instead of
  // escaping into the operator's thread.
  if (!failure.empty()) {
    println("Script stopped: " + failure);
  }
  if (takenOver()) {
    println("Script stopped by the operator");
  }
  setNote(endNote);
}

void LocalVCR::reviewall(const std::vector<std::pair<std::string, std::string>>& clips,
                         const std::function<void(const std::string&)>& sink) {
  // With the script flag on, each review returns only when its clip has played out. The flag
  // is cleared on every way out, also when a review fails.
  ScriptActiveGuard active(*this);
  for (std::size_t i = 0; i < clips.size() && !closing_.load(); ++i) {
    if (takenOver()) {
      break;
    }
    setCueText(clips[i].first);
    setEndText(clips[i].second);
    sink("Review EDL Clip " + std::to_string(i + 1));
    reviewclip();
  }
  if (takenOver()) {
    sink("RevALL stopped by the operator: no further clip reviewed");
  }
}

bool LocalVCR::ParseNetCommand(const std::string& line) {
  // Every word is at least four characters long, and so is every prefix test's reach.
  if (line.size() < 4) {
    return false;
  }
  const DeckCommand* command = CommandTable::forLine(line, lx1_);
  if (command == nullptr) {
    return false;
  }
  runLine(*command, line);
  return true;
}

LocalVCR::NetOutcome LocalVCR::RunNetCommand(const std::string& line,
                                             const std::atomic<bool>* giveUp) {
  NetOutcome outcome;
  if (line.size() < 4) {
    return outcome;
  }
  outcome.command = CommandTable::forLine(line, lx1_);
  if (outcome.command == nullptr) {
    return outcome;
  }
  try {
    // As a script's line: a review holds the caller until its clip has played out.
    std::optional<ScriptActiveGuard> active;
    if (!scriptactive_.load()) {
      active.emplace(*this);
    }
    if (giveUp != nullptr && outcome.command->runWith == &LocalVCR::WaitSeconds) {
      waitSecondsUnless(parseWaitSeconds(line.substr(4)), *giveUp);
    } else {
      runLine(*outcome.command, line);
    }
    outcome.result = NetOutcome::Result::Ran;
  } catch (const std::exception& e) {
    outcome.result = NetOutcome::Result::Failed;
    outcome.reason = e.what();
  }
  return outcome;
}

void LocalVCR::runLine(const DeckCommand& command, const std::string& line) {
  // "GetTC" and "Status" run nothing: they only report, to a remote session.
  if (command.run != nullptr) {
    (this->*command.run)();
  } else if (command.runWith != nullptr) {
    (this->*command.runWith)(line.substr(command.word.size()));
  }
}

void LocalVCR::waitSecondsUnless(long long seconds, const std::atomic<bool>& giveUp) {
  // In slices, so that a client that has gone no longer holds the worker.
  for (long long left = seconds * 1000; left > 0 && !closing_.load() && !giveUp.load();) {
    const int slice = static_cast<int>(std::min<long long>(left, 100));
    if (!runWait(slice)) {
      break;
    }
    left -= slice;
  }
}

void LocalVCR::WaitSeconds(const std::string& argument) {
  const long long seconds = parseWaitSeconds(argument);
  if (seconds <= 0) {
    return;
  }
  // Waits beyond the range of one sleep are made of several.
  for (long long left = seconds * 1000; left > 0 && !closing_.load();) {
    const int chunk = static_cast<int>(std::min<long long>(left, 1000000000LL));
    if (!runWait(chunk)) {
      break;
    }
    left -= chunk;
  }
}

void LocalVCR::setscriptactive(bool on) {
  scriptactive_.store(on);
}
bool LocalVCR::getscriptactive() const {
  return scriptactive_.load();
}

// --- window ---

void LocalVCR::CommandBLogger() {
  view_.openLogger();
}
void LocalVCR::ShowStat(const std::string& text) {
  view_.ShowStatus(text);
}

// --- field texts ---

std::string LocalVCR::tcText() const {
  return fields_.tc();
}
std::string LocalVCR::cueText() const {
  return fields_.cue();
}
std::string LocalVCR::endText() const {
  return fields_.end();
}
void LocalVCR::editCueText(const std::string& text) {
  fields_.setCue(text);
}
void LocalVCR::editEndText(const std::string& text) {
  fields_.setEnd(text);
}

void LocalVCR::setCueText(const std::string& text) {
  fields_.setCue(text);
  view_.ShowCueField(text);
}

void LocalVCR::setEndText(const std::string& text) {
  fields_.setEnd(text);
  view_.ShowEndField(text);
}

// --- state ---

int LocalVCR::gettcframes() const {
  return tcframes_.load();
}
bool LocalVCR::getcueup() const {
  return cueup_.load();
}
int LocalVCR::getmoving() const {
  return moving_.load();
}
std::string LocalVCR::getStatusString() const {
  std::lock_guard lock(textMutex_);
  return StatusString_;
}
int LocalVCR::getstartframes() const {
  return startframes_.load();
}
int LocalVCR::getendframes() const {
  return endframes_.load();
}
int LocalVCR::getduration() const {
  return duration_.load();
}
int LocalVCR::getdurationsec() const {
  return durationsec_.load();
}
int LocalVCR::getdurationfr() const {
  return durationfr_.load();
}
bool LocalVCR::getcueplay() const {
  return cueplayFlag_.load();
}
bool LocalVCR::getreviewclip() const {
  return reviewclipFlag_.load();
}
bool LocalVCR::getpreroll() const {
  return preroll_.load();
}

std::optional<std::array<std::uint8_t, 5>> LocalVCR::getstatusdata() const {
  const std::uint64_t data = statusData_.load();
  if ((data >> 40) == 0) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 5> bytes{};
  for (int i = 0; i < 5; ++i) {
    bytes[i] = static_cast<std::uint8_t>(data >> (8 * i));
  }
  return bytes;
}

void LocalVCR::onClosing(std::function<void()> hook) {
  closingHook_ = std::move(hook);
}

std::array<std::uint8_t, 7> LocalVCR::getcueframe() const {
  std::lock_guard lock(textMutex_);
  return bscue_;
}

bool LocalVCR::DelayT(int ms) {
  return runWait(ms);
}

void LocalVCR::setSleeper(std::shared_ptr<Sleeper> sleeper) {
  if (sleeper) {
    sleeper_ = std::move(sleeper);
  }
}

void LocalVCR::setLineSink(std::function<void(const std::string&)> sink) {
  std::lock_guard lock(sinkMutex_);
  sink_ = std::move(sink);
}

void LocalVCR::println(const std::string& line) {
  std::lock_guard lock(sinkMutex_);
  if (sink_) {
    sink_(line);
    return;
  }
  std::cout << (line + "\n") << std::flush;
}

void LocalVCR::reportError(const std::string& where, const std::string& what) {
  println(where + " error: " + what);
}
