// orva-convert: converts a standard EDL into the DVD recorder's list in one pass, the way the
// converter window's "Auto Process EDL" does, and saves it (or prints it on standard output).
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/ControllerApp.h"
#include "edl/ConverterOptions.h"
#include "edl/ConverterView.h"
#include "edl/EdlConverter.h"
#include "edl/FileIdentity.h"
#include "edl/RecorderFile.h"
#include "edl/SourceEvent.h"

namespace {

constexpr int kOk = 0;
constexpr int kFileError = 1;
constexpr int kUsageError = 2;

const char* const kUsage =
    "Usage: orva-convert [options] SOURCE [OUTPUT]\n"
    "Converts the standard EDL SOURCE into a PIONEER-DVDRec-EDL 002 list and saves it as\n"
    "OUTPUT (5 or more characters; \".edl\" is appended unless the name ends so), or writes it\n"
    "to standard output when OUTPUT is absent.\n"
    "Defaults come from ORVASettings.txt in the working folder when it exists.\n"
    "\n"
    "Options:\n"
    "  --ini, --no-ini       begin the list with INI, or not\n"
    "  --fnl, --no-fnl       end the list with FNL, or not\n"
    "  --all-ps              join the events into one title (record mode PAUSE)\n"
    "  --autoch              one recording with a chapter mark per event\n"
    "  --namech              add title and chapter names cut from the event lines\n"
    "  --optimize            add the recording-rate line (with --autoch)\n"
    "  --filter N            filter number of the rate line, clamped to 1..16\n"
    "  --name-first N        first column of a name (from 0)\n"
    "  --name-last N         end column of a name (exclusive), 1 to 31 past the first\n"
    "  --delimiter C         character that replaces blanks in names\n"
    "  --fps RATE            frame rate of the source's times: 30, 25, 24 or 29.97DF\n"
    "  --help                show this text\n"
    "\n"
    "OUTPUT never replaces SOURCE, under any name.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 wrong usage.\n";

// No pauses and no chatter on the command line: standard output may carry the list. The lines
// the converter would print go to standard error when asked for (--verbose in the settings).
class QuietView : public ConverterView {
 public:
  explicit QuietView(bool verbose) : verbose_(verbose) {}
  void print(const std::string& line) override {
    if (verbose_) {
      std::cerr << line << '\n';
    }
  }
  void pause(int /*ms*/) override {}

 private:
  bool verbose_;
};

struct UsageError {
  std::string message;
};

std::string takeValue(const std::vector<std::string>& args, std::size_t& i) {
  if (i + 1 >= args.size()) {
    throw UsageError{"option " + args[i] + " needs a value"};
  }
  return args[++i];
}

int takeInt(const std::vector<std::string>& args, std::size_t& i) {
  const std::string& option = args[i];
  const std::string value = takeValue(args, i);
  const auto n = ConverterOptions::parseInt(value);
  if (!n) {
    throw UsageError{"option " + option + " needs a whole number, not '" + value + "'"};
  }
  return *n;
}

int run(const std::vector<std::string>& args) {
  // The settings file, when there is one, sets the starting state; options override it. Its
  // problems go to standard error, since standard output may carry the converted list.
  ControllerApp::GetPropsFrom("ORVASettings.txt", std::cerr);
  ConverterOptions opts = ConverterOptions::fromSettings();
  std::vector<std::string> files;
  bool optionsEnded = false;
  bool nameLastGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 1, "-") != 0) {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return kOk;
    } else if (a == "--ini") {
      opts.initialize = true;
    } else if (a == "--no-ini") {
      opts.initialize = false;
    } else if (a == "--fnl") {
      opts.finalize = true;
    } else if (a == "--no-fnl") {
      opts.finalize = false;
    } else if (a == "--all-ps") {
      opts.onetitle = true;
    } else if (a == "--autoch") {
      opts.autochapter = true;
    } else if (a == "--namech") {
      opts.namechapters = true;
    } else if (a == "--optimize") {
      opts.optimize = true;
    } else if (a == "--filter") {
      const std::string value = takeValue(args, i);
      if (!opts.setFilter(value)) {
        throw UsageError{"option --filter needs a whole number, not '" + value + "'"};
      }
    } else if (a == "--name-first") {
      opts.namefirst = takeInt(args, i);
    } else if (a == "--name-last") {
      opts.namelast = takeInt(args, i);
      nameLastGiven = true;
    } else if (a == "--delimiter") {
      const std::string value = takeValue(args, i);
      opts.namedelimiter = value.substr(0, 1);
    } else if (a == "--fps") {
      const std::string value = takeValue(args, i);
      const auto rate = TimecodeRate::parse(value);
      if (!rate) {
        throw UsageError{"option --fps needs 30, 25, 24 or 29.97DF, not '" + value + "'"};
      }
      opts.rate = *rate;
    } else {
      throw UsageError{"unknown option " + a};
    }
  }
  if (nameLastGiven) {
    const int first = opts.namefirst < 0 ? 0 : opts.namefirst;
    const long long width = static_cast<long long>(opts.namelast) - first;
    if (width < 1 || width > 31) {
      throw UsageError{"option --name-last must be 1 to 31 past the first column (" +
                       std::to_string(first) + "), not " + std::to_string(opts.namelast)};
    }
  }
  opts.clampNameColumns();
  if (files.empty() || files.size() > 2 || files[0].empty()) {
    throw UsageError{files.size() > 2 ? "too many file names" : "no SOURCE given"};
  }
  std::string outDir;
  std::string outName;
  if (files.size() == 2) {
    const auto slash = files[1].rfind('/');
    outDir = slash == std::string::npos ? "" : files[1].substr(0, slash + 1);
    outName = slash == std::string::npos ? files[1] : files[1].substr(slash + 1);
    if (RecorderFile::fileName(outName).empty()) {
      throw UsageError{std::string(RecorderFile::nameErrorText) + " (" + files[1] + ")"};
    }
  }

  // The list must never replace its source: not by the same name, nor by another path (a
  // link, another spelling of the folder) to the same file.
  const std::string target =
      files.size() == 2 ? outDir + RecorderFile::fileName(outName) : std::string();
  if (!target.empty() && FileIdentity::same(files[0], target)) {
    std::cerr << "orva-convert: " << files[1] << ": is the source EDL; nothing written\n";
    return kFileError;
  }

  QuietView view(opts.verbose);
  EdlConverter converter(opts, &view);
  const auto status = converter.load("", files[0]);
  if (status == EdlConverter::LoadStatus::NotFound) {
    std::cerr << "orva-convert: " << files[0] << ": EDL file not found\n";
    return kFileError;
  }
  if (status == EdlConverter::LoadStatus::ReadError) {
    std::cerr << "orva-convert: " << files[0] << ": problem reading file\n";
    return kFileError;
  }
  int events = 0;
  for (int i = 0; i < converter.rawlinecount(); ++i) {
    events += SourceEvent::recognise(converter.source().line(i)) ? 1 : 0;
  }
  if (events == 0) {
    std::cerr << "orva-convert: " << files[0]
              << ": warning: no event lines found; the list holds no recordings\n";
  }
  if (files.size() == 1) {
    const std::string text = converter.fileText();
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
      std::cerr << "orva-convert: cannot write to standard output\n";
      return kFileError;
    }
    return kOk;
  }
  const auto saved = converter.save(outDir, outName);
  if (saved.status != RecorderFile::Status::Saved) {
    std::cerr << "orva-convert: " << saved.path << ": cannot write file: " << saved.error << '\n';
    return kFileError;
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    std::cerr << "orva-convert: " << e.message << " (try --help)\n";
    return kUsageError;
  } catch (const std::exception& e) {
    std::cerr << "orva-convert: " << e.what() << '\n';
    return kFileError;
  }
}
