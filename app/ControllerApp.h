#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "app/TimecodeRate.h"
#include "app/VideoFormat.h"

class SerOutPort;
class LocalVCR;
class Utils;

// Program-wide configuration and the shared objects of the running program. The values are
// class-level: set to defaults, then from "ORVASettings.txt" during start-up, and only read
// afterwards (from any thread).
class ControllerApp {
 public:
  // --- values set from the settings file (raw text and derived value) ---
  static std::string comport1;              // "COMPort"
  static std::string note;                  // "UserNote", first 12 characters
  static std::optional<std::string> verbo;  // "Verbose" (no value until the file sets it)
  static bool verbose;
  static std::optional<std::string> UseClipboard;
  static bool useclipboard;
  static std::optional<std::string> StopOnExit;
  static bool stoponexit;
  static std::string VCRType;
  static bool lx1;
  static bool zarix;
  static bool lanc;
  static std::string finalizestring;
  static bool finalize;
  static std::string initializestring;
  static bool initialize;
  static std::string automodestring;
  static bool onetitle;
  static std::string autochapstring;
  static bool autochapter;
  static std::string namechapterstring;
  static bool namechapters;
  static std::string optimizestring;
  static bool optimize;
  static std::string FilterString;
  static std::string optifilter;
  static std::string NFString;
  static int namefirst;
  static std::string NLString;
  static int namelast;
  static std::string namedelimiter;
  // Remote control: the session server's port ("RemotePort"), the HyperDeck server's port
  // ("HyperDeckPort"), 0 when off; the networks besides loopback whose clients may connect
  // ("RemoteAllow", comma-separated IPv4 or IPv6 CIDR); how many HyperDeck clients at once
  // ("HyperDeckClients", 1 to 8, default 4). remotekeys: the file names at least one of them.
  static int remoteport;
  static int hyperdeckport;
  static int hyperdeckclients;
  static std::string remoteallow;
  static bool remotekeys;
  // "VideoFormat": the format token the HyperDeck server reports; empty when the file does not
  // set a known one, and the server then reports the frame rate's (getvideoformat()).
  static std::string videoformat;
  static TimecodeRate framerate;  // "FrameRate": 30 (default), 25, 24 or 29.97DF
  // "StopLatency": frames the deck runs on after Stop, 0 to 10; unset: learned from reviews.
  static std::optional<int> stoplatency;

  // --- fixed values ---
  static int width;                        // 320
  static int fontheight;                   // 13
  static const std::string versionstring;  // "_v2"
  static int compression;                  // 4
  static std::string VideoMode;            // "NTSC"
  static std::string VideoType;            // "COMP"
  static std::string LoopRecMode;          // "NO"
  static std::string LoopPlayMode;         // "NO"
  static std::string name;                 // " ORVA_v2" / " TEKU_v2" once composed
  static std::string title;
  static bool nodos;  // standard output goes to "ORVALog.txt"

  // --- shared objects, made by start-up and never replaced ---
  static Utils* utils;     // owned by start-up (lives for the whole process)
  static SerOutPort* sop;  // owned by start-up (lives for the whole process)
  static LocalVCR* svcr;   // owned by main(); non-owning here

  // How a fatal start-up condition waits before the process ends: given the message (with the
  // ports found on a second line when the port could not be opened) and the pause in ms. Unset,
  // it pauses the main thread; a program with a display sets it to show the message in a small
  // window for that time as well.
  static std::function<void(const std::string& message, int ms)> fatalPause;

  static constexpr const char* kSettingsFile = "ORVASettings.txt";
  static constexpr const char* kLogFile = "ORVALog.txt";
  // The log of the previous run, kept so that the reason for a failed start survives.
  static constexpr const char* kPrevLogFile = "ORVALog.prev.txt";

  // Restores every value above to its built-in default (start of the program; used by tests).
  // The shared objects are left as they are.
  static void resetDefaults();

  // Reads "ORVASettings.txt" from the working directory. Without a file it prints
  // "No Settings File found!", waits 5 s and ends the process with status 1.
  static void GetProps();
  // Same rules, reading the given file: every value a key sets starts from its default, so a
  // missing key leaves its default. Answers false when the file does not exist (nothing
  // printed, nothing changed). A file that exists but cannot be read prints
  // "Settings File Problem" (on log, or standard output) and leaves all defaults; a value that
  // breaks the rules prints the same line and keeps that value's default.
  static bool GetPropsFrom(const std::string& path);
  static bool GetPropsFrom(const std::string& path, std::ostream& log);
  // Prints the settings report on standard output (or out).
  static void showprops();
  static void showprops(std::ostream& out);

  // Start-up: redirect standard output to "ORVALog.txt" (when nodos is on), whatever standard
  // output the process was given, none included. A log left by the previous run is first
  // renamed to "ORVALog.prev.txt", replacing the one before it. Each line reaches the file when
  // it is complete. A log file that cannot be written leaves standard output alone and the
  // previous log where it is, as it is.
  static void redirectLog();
  // Start-up steps 1 to 8: utilities, settings, name, command link, title, report.
  static void init();
  // Opens the command link on comport1 ("SIM" in any case: the built-in deck emulator). When
  // the port is not available it prints why, waits 5 s and ends the process with status 0.
  static void MakeSerial();

  static bool getlx1() { return lx1; }
  static bool getzarix() { return zarix; }
  static bool getlanc() { return lanc; }
  static std::string getname() { return name; }
  static bool getverbose() { return verbose; }
  static bool getuseclipboard() { return useclipboard; }
  static bool getstoponexit() { return stoponexit; }
  static int getwidth() { return width; }
  static int getfontheight() { return fontheight; }
  static int getcompression() { return compression; }
  static bool getfinalize() { return finalize; }
  static bool getinitialize() { return initialize; }
  static bool getonetitle() { return onetitle; }
  static bool getautochapter() { return autochapter; }
  static bool getnamechapters() { return namechapters; }
  static bool getoptimize() { return optimize; }
  static std::string getoptifilter() { return optifilter; }
  static std::string getnamedelimiter() { return namedelimiter; }
  static int getnamefirst() { return namefirst; }
  static int getnamelast() { return namelast; }
  static TimecodeRate getframerate() { return framerate; }
  static std::optional<int> getstoplatency() { return stoplatency; }
  static std::string getvideoformat() {
    return videoformat.empty() ? VideoFormat::forRate(framerate) : videoformat;
  }

 private:
  // The values that the settings file sets, back to their defaults.
  static void resetSettings();
  // Renames a non-empty "ORVALog.txt" to "ORVALog.prev.txt"; true when it did.
  static bool keepPreviousLog();

  static std::unique_ptr<Utils> ownedUtils;
  static std::unique_ptr<SerOutPort> ownedLink;
};
