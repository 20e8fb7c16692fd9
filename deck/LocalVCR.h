#pragma once

// Public face of the deck controller, fixed so the windows can be written against it. The deck
// layer owns the implementation and may add private members; callers use only what is below.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/TimecodeRate.h"
#include "deck/CommandTable.h"
#include "deck/DeckView.h"
#include "deck/FieldStore.h"
#include "deck/PlayPredictor.h"
#include "deck/StopLatency.h"
#include "serial/CommandLink.h"

class Sleeper;
class TCThread;
class CueThread;
class OperatorWorker;

class LocalVCR {
 public:
  // Copies the deck kind from the settings; sets the initial state. Sends nothing yet.
  LocalVCR(CommandLink& sop, bool LANC, DeckView& view);
  ~LocalVCR();  // close() if not done; joins every thread it started
  LocalVCR(const LocalVCR&) = delete;
  LocalVCR& operator=(const LocalVCR&) = delete;

  // The rest of construction: prints "Ready", shows " Ready", sends the time-mode frame, waits
  // 1000 ms and starts polling (GetTC). Call once, after the window is shown.
  void start();
  // The close sequence of the control window: stop polling, stop the operator worker and every
  // wait of a cue thread or script, then Stop twice 500 ms apart when StopOnExit is on. No frame
  // is sent after it returns. The caller then ends the process with status 0.
  void close();

  // Runs an operator action on the one operator worker thread, in the order posted. An error
  // that escapes the action is caught there: one line on standard output, and the worker goes on.
  void post(std::function<void()> action);
  // Posts a run the operator can take over: a script, a review, RevALL.
  void postRun(std::function<void()> action);
  // The operator takes over with a transport control. A review in progress ends as a transport
  // command ends it (no out-point frame; its cue thread unlocks the cue buttons). When a run is
  // running or queued on the worker, the run ends at its current step and what was queued
  // behind it is dropped; the action then runs next. Otherwise it is queued as any press. `run`
  // marks an action that is itself a sequence with waits (jog, E-E off), which a later takeover
  // ends in turn.
  void takeover(std::function<void()> action, bool run = false);
  // The run on the operator worker was taken over: its waits end and it stops at its current
  // step.
  bool takenOver() const;
  // RevALL: reviews each (in, out) clip in turn, as a script's "Review" does, with the line
  // "Review EDL Clip n" before each; a takeover reviews no further clip and says so.
  void reviewall(const std::vector<std::pair<std::string, std::string>>& clips,
                 const std::function<void(const std::string&)>& sink);

  // --- frames ---
  void CommandB0(std::span<const std::uint8_t> frame);

  // --- transport ---
  void play();
  void pause();
  void stop();
  void forward();
  void rewind();
  void slowfifth();
  void slowthird();
  void slowhalf();
  void fasttwo();
  void fastfive();
  void jogf();
  void jogr();
  void eeon();
  void eeoff();
  void sbyon();
  void sbyoff();
  void record();
  void shutfwd(int speed);
  void shutrev(int speed);
  void SettleDown();

  // --- polling ---
  void GetTC();
  void CommandB8();
  void CommandStatus();

  // --- cue and review (they read the cue and end field texts of the store below) ---
  void MakeCueString();
  void MakeCueOutString();
  void cue();
  void cueout();
  void cueplay();
  void reviewclip();
  void CueUp();
  // Cues the deck to the timecode text without touching the cue and end fields (a remote
  // client's goto must not move the operator's in point). Throws on a malformed text.
  void cueto(const std::string& tc);
  void setcue();     // cue field := displayed timecode, then MakeCueString
  void setreview();  // end field := displayed timecode

  // --- scripts and the command language ---
  void script();
  bool ParseNetCommand(const std::string& line);
  // What became of one command-language line, for callers that answer someone (the remote
  // session): the line ran, it named no word on this deck, or its operation failed and why.
  struct NetOutcome {
    enum class Result { Ran, Unknown, Failed };
    Result result = Result::Unknown;
    std::string reason;                    // empty unless Failed
    const DeckCommand* command = nullptr;  // the entry the line named; null when Unknown
  };
  // Runs the line exactly as ParseNetCommand does for a script, on the caller's thread: a
  // "Review" returns when its clip has played out. An error of the line or of its operation
  // comes back as Failed with its text instead of escaping. A "Wait" also ends early once
  // `giveUp` is set (the client that sent it is gone).
  NetOutcome RunNetCommand(const std::string& line, const std::atomic<bool>* giveUp = nullptr);
  // "Wait": sleeps the argument's whole seconds; throws std::invalid_argument unless it is an
  // optional minus sign and digits within 32 bits. Ends early at close and at a takeover.
  void WaitSeconds(const std::string& seconds);
  void setscriptactive(bool on);
  bool getscriptactive() const;

  // --- window ---
  void CommandBLogger();
  void ShowStat(const std::string& text);

  // --- the three timecode field texts (thread-safe) ---
  std::string tcText() const;   // what the timecode display shows
  std::string cueText() const;  // cue (in) field
  std::string endText() const;  // end (out) field
  // Writes from the window's own fields (operator edits): store only, the view already shows it.
  void editCueText(const std::string& text);
  void editEndText(const std::string& text);
  // Writes from elsewhere (logger, command language): store, then the view's field.
  void setCueText(const std::string& text);
  void setEndText(const std::string& text);

  // --- state read by windows and tests ---
  int gettcframes() const;
  bool getcueup() const;
  int getmoving() const;
  std::string getStatusString() const;
  // Frames the deck is taken to run on after a Stop: learned from its reviews, or the
  // StopLatency setting.
  int getstoplatency() const;
  // The status data bytes D0 to D4 of the newest status reply, as polled (also during a review,
  // whose status text leaves the transport bits out); empty before the first reply.
  std::optional<std::array<std::uint8_t, 5>> getstatusdata() const;
  // Called at the start of close(), before anything stops: the remote servers stop there, so no
  // client command reaches a closing controller.
  void onClosing(std::function<void()> hook);

  // --- additions of the deck layer ---
  using Frame3 = std::array<std::uint8_t, 3>;
  using Frame4 = std::array<std::uint8_t, 4>;
  // The deck's command set. The cue and shuttle frames are built per call from their templates.
  static constexpr Frame3 bsplay{0x20, 0x01, 0x21};
  static constexpr Frame3 bsrecord{0x20, 0x02, 0x22};
  static constexpr Frame3 bsstop{0x20, 0x00, 0x20};
  static constexpr Frame3 bsforward{0x20, 0x10, 0x30};
  static constexpr Frame3 bsrewind{0x20, 0x20, 0x40};
  static constexpr Frame3 bssbyon{0x20, 0x05, 0x25};
  static constexpr Frame3 bssbyoff{0x20, 0x04, 0x24};
  static constexpr Frame3 bseeon{0x20, 0x61, 0x81};
  static constexpr Frame3 bseeoff{0x20, 0x60, 0x80};
  static constexpr Frame4 bspause{0x21, 0x13, 0x00, 0x34};
  static constexpr Frame4 bsslowfifth{0x21, 0x12, 0x2D, 0x60};
  static constexpr Frame4 bsslowthird{0x21, 0x12, 0x30, 0x63};
  static constexpr Frame4 bsslowhalf{0x21, 0x12, 0x36, 0x69};
  static constexpr Frame4 bsfasttwo{0x21, 0x13, 0x4A, 0x7E};
  static constexpr Frame4 bsfastfive{0x21, 0x13, 0x82, 0xB6};
  static constexpr Frame4 bsjogf{0x21, 0x11, 0x10, 0x42};
  static constexpr Frame4 bsjogr{0x21, 0x21, 0x10, 0x52};
  static constexpr std::array<std::uint8_t, 5> bsshutfwd{0x21, 0x13, 0x20, 0x00, 0x00};
  static constexpr std::array<std::uint8_t, 5> bsshutrev{0x21, 0x23, 0x20, 0x00, 0x00};
  static constexpr std::array<std::uint8_t, 7> bscue{0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57};
  static constexpr Frame4 bsstatus{0x61, 0x20, 0x09, 0x8A};
  static constexpr Frame4 bsgettc{0x61, 0x0C, 0x03, 0x70};
  static constexpr Frame4 bssettimemode{0x41, 0x36, 0x00, 0x77};
  static constexpr const char* nostatus = "No Device Status";
  static constexpr const char* novcr = "No RS422 I/O";

  // The controller's pause: sleeps ms milliseconds on the caller's thread and ends at once when
  // the controller closes or the operator takes the run over; answers false then. Windows use
  // it for the waits inside their posted actions.
  bool DelayT(int ms);

  int getstartframes() const;
  int getendframes() const;
  int getduration() const;
  int getdurationsec() const;
  int getdurationfr() const;
  bool getcueplay() const;
  bool getreviewclip() const;
  bool getpreroll() const;
  // The cue frame as the next cue will send it.
  std::array<std::uint8_t, 7> getcueframe() const;
  // True when the operator worker has nothing queued or running.
  bool workerIdle() const;

  // Test seams. Replace the sleeper behind every wait (before start() and any operation), and
  // the sink of the lines the controller prints (standard output by default).
  void setSleeper(std::shared_ptr<Sleeper> sleeper);
  void setLineSink(std::function<void(const std::string&)> sink);
  // Measuring seam: with the predicted stop off, a review stops at the first poll that shows
  // the frame before its out point, as it did before the prediction (on by default).
  void setPredictedStop(bool on) { predictedStop_.store(on); }

 private:
  friend class TCThread;
  friend class CueThread;

  // One exchange; answers the caller's own reply. Nothing is sent once the controller is closing
  // unless force is set (the closing sequence's own stop frames).
  SerialReply exchange(std::span<const std::uint8_t> frame, bool force = false);
  void transport(std::span<const std::uint8_t> frame, int moving, bool settle);
  // cuesBefore: cueFramesSent() taken before the exchange that brought the reply.
  std::string ExtractStatusString(const SerialReply& reply, unsigned cuesBefore);
  // How many cue frames have gone out; a status reply counts for cued up only if no cue frame
  // went out between the start of its exchange and now.
  unsigned cueFramesSent() const;
  // Called once a cue frame has gone out: the deck is no longer cued up, whatever a status
  // reply still on its way says.
  void cueFrameSent();
  // Tells the operator, once per change, when the deck's drop-frame flag and the setting differ.
  void checkDropFrame(bool deckSays);
  void startPolling(int firstDelayMs);
  // Starts a cue thread with the current cue frame, to play after the cue or to review up to
  // the out point as asked; a cue still running is superseded. Answers the new thread (null
  // without a serial port).
  std::shared_ptr<CueThread> startCue(bool cueplay, bool review);
  void waitForReview(const std::shared_ptr<CueThread>& thread);
  // A fixed wait of a run: ends early at close and when the operator takes the run over.
  bool runWait(int ms);
  void println(const std::string& line);
  // A note the status line keeps in front of each polled status ("Script running", a script's
  // error); empty for none.
  void setNote(const std::string& note);
  void clearNote();
  std::string withNote(const std::string& status) const;
  void runLine(const DeckCommand& command, const std::string& line);
  void waitSecondsUnless(long long seconds, const std::atomic<bool>& giveUp);
  void reportError(const std::string& where, const std::string& what);
  Sleeper& sleeper() const { return *sleeper_; }

  // --- the predicted stop of a review ---
  using Clock = std::chrono::steady_clock;
  // The instant a Stop must go out for the deck to rest on restFrame, when the deck's
  // position can be predicted (it plays at play speed and the replies are fresh; never on the
  // LX1, whose review ends on its own rule). Publishes the instant for the polling thread.
  std::optional<Clock::time_point> planStop(int restFrame);
  // planStop() names an instant within the coming poll cycles.
  bool stopPlanned(int restFrame);
  // The review's Stop went out at `at` (or none will: nullopt). Ends the plan, releases a
  // held poll, and watches for the deck's rest to learn its stop latency from.
  void stopSent(std::optional<Clock::time_point> at);
  // The deck was told to play: the replies before it say nothing about the play.
  void resetPrediction();
  // Called by the polling thread before each exchange: an exchange that would still hold the
  // link when the planned Stop is due waits until the Stop has gone out.
  void holdPollForStop();
  // A timecode reply (or none) for the predictor and the rest watch.
  void notePosition(std::optional<int> frames, Clock::time_point sent, Clock::time_point read);
  void stopRestWatch();

  CommandLink& sop_;
  DeckView& view_;
  const bool LANC_;
  const bool lx1_;
  const bool zarix_;
  // The FrameRate setting: the deck's frame counts, a review's out point and duration.
  const TimecodeRate rate_;

  std::atomic<bool> scriptactive_{false};
  std::atomic<bool> cueup_{false};
  mutable std::mutex cueupMutex_;  // orders the cued-up bit's stores with cueFrames_
  unsigned cueFrames_ = 0;         // cue frames sent; guarded by cueupMutex_
  std::atomic<bool> preroll_{false};
  std::atomic<bool> cueplayFlag_{false};
  std::atomic<bool> reviewclipFlag_{false};
  std::atomic<int> tcframes_{0};
  std::atomic<int> startframes_{0};
  std::atomic<int> endframes_{0};
  std::atomic<int> duration_{0};
  std::atomic<int> durationsec_{0};
  std::atomic<int> durationfr_{0};
  std::atomic<int> moving_{0};
  std::atomic<int> NumBytes_{0};
  std::atomic<bool> started_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> closed_{false};

  FieldStore fields_;
  mutable std::mutex textMutex_;  // StatusString_, CueString_, EndString_, bscue_, lastReply_
  std::string StatusString_;
  std::string CueString_ = "00:00:00:00";
  std::string EndString_ = "00:00:00:00";
  std::array<std::uint8_t, 7> bscue_ = bscue;
  SerialReply SerIn_;

  std::shared_ptr<Sleeper> sleeper_;
  std::mutex sinkMutex_;
  std::function<void(const std::string&)> sink_;

  std::mutex closeMutex_;    // one close() at a time
  std::mutex threadsMutex_;  // tcthread_, cuethreads_
  std::unique_ptr<TCThread> tcthread_;
  std::list<std::shared_ptr<CueThread>> cuethreads_;
  // Orders the cue threads' frames and flags against the start of a newer cue: taken before
  // threadsMutex_ where both are held.
  std::mutex cueOrderMutex_;
  unsigned cueGeneration_ = 0;  // cues started so far; guarded by cueOrderMutex_
  std::unique_ptr<OperatorWorker> worker_;
  std::atomic<int> pollErrors_{0};
  std::atomic<std::uint64_t> statusData_{0};  // D0..D4, bit 40 set once a reply came in
  std::function<void()> closingHook_;
  // Timecode polls in a row that got no reply; at kStaleAfterPolls the display shows stale.
  static constexpr int kStaleAfterPolls = 3;
  std::atomic<int> silentPolls_{0};
  std::atomic<bool> stale_{false};
  std::string note_;  // under textMutex_
  // The deck's drop-frame flag in its last timecode reply: -1 before the first reply.
  std::atomic<int> deckDropFrame_{-1};

  // The predicted stop. predictMutex_ guards the predictor, the stop latency and the rest
  // watch; it is never held while waking the sleeper.
  mutable std::mutex predictMutex_;
  PlayPredictor predictor_;
  StopLatency stopLatency_;
  unsigned predictLosses_ = 0;  // the link's loss count the predictor's replies came under
  int unusableReplies_ = 0;     // timecode requests in a row without a usable reply
  // After a review's Stop: the frame the deck was in when it arrived, the last frame polled
  // since, and when the Stop went out. The first timecode that repeats is where it rests.
  struct RestWatch {
    int arrival = 0;
    std::optional<int> last;
    Clock::time_point since{};
  };
  std::optional<RestWatch> rest_;
  std::atomic<bool> restWatched_{false};
  // The planned Stop's instant in steady-clock nanoseconds, 0 for none; and how long the
  // last timecode exchange held the link.
  std::atomic<std::int64_t> stopDueNs_{0};
  std::atomic<bool> predictedStop_{true};
  std::atomic<std::int64_t> pollExchangeNs_{0};
};
