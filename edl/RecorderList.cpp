#include "edl/RecorderList.h"

#include <cstdio>

#include "app/TextCodec.h"
#include "edl/SourceEvent.h"

namespace {

const std::string kEmpty = " ";
const std::string kStop = "STOP";
const std::string kPause = "PAUSE";

// Recording time in minutes for each rate index 0 to 31.
constexpr int kSet[32] = {350, 335, 320, 305, 290, 275, 261, 246, 231, 221, 211,
                          202, 192, 182, 172, 163, 153, 143, 134, 124, 114, 105,
                          100, 95,  90,  85,  81,  76,  70,  66,  61,  58};
constexpr int kLongestProgramMinutes = 700;

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string from(const std::string& s, std::size_t pos, std::size_t n = std::string::npos) {
  return pos < s.size() ? s.substr(pos, n) : std::string();
}

}  // namespace

RecorderList::RecorderList(ConverterOptions opts) : opts_(std::move(opts)) {
  lxedl_.fill(kEmpty);
  showlxedl();
}

void RecorderList::newlxedl() {
  lxedlfull_ = false;
  lxedl_.fill(kEmpty);
  lxline_ = 0;
  showlxedl();
}

int RecorderList::slotsForEvent() const {
  if (opts_.autochapter && lxline_ >= 1) {
    return opts_.namechapters ? 2 : 1;
  }
  if (!opts_.namechapters) {
    return 1;
  }
  if (titlemode_ == kStop) {
    return opts_.autochapter ? 3 : 2;
  }
  return titlemode_ == kPause ? 2 : 1;
}

bool RecorderList::addEvent(const std::string& in, const std::string& out,
                            const std::string& line) {
  if (lxline_ + slotsForEvent() > lxmax) {
    return false;
  }
  timestring2_ = out;
  if (opts_.autochapter && lxline_ >= 1) {
    put("CHP " + in);
    if (opts_.namechapters) {
      ++lxline_;
      put(SourceEvent::getchaptername(line, opts_));
    }
  } else {
    put("REC " + in + " " + out + " " + titlemode_);
    if (opts_.namechapters) {
      if (titlemode_ == kStop) {
        ++lxline_;
        put(SourceEvent::gettitlename(line, opts_));
        if (opts_.autochapter) {
          ++lxline_;
          put(SourceEvent::getchaptername(line, opts_));
        }
      } else if (titlemode_ == kPause) {
        ++lxline_;
        put(SourceEvent::getchaptername(line, opts_));
      }
    }
  }
  showlxedl();
  ++lxline_;
  return true;
}

std::string RecorderList::recWithMode(const std::string& rec, const char* mode) {
  return "REC " + from(rec, 4, 23) + " " + mode;
}

void RecorderList::removeoutputline() {
  if (lxline_ > 0) {
    --lxline_;
  }
  lxedl_[lxline_] = kEmpty;
  if (lxline_ > 0 && last().size() > 10) {
    if (endsWith(last(), "AUSE")) {
      titlemode_ = kPause;
    } else if (endsWith(last(), kStop)) {
      titlemode_ = kStop;
    }
  }
  showlxedl();
}

void RecorderList::changepausetostop() {
  titlemode_ = kStop;
  if (lxline_ > 0) {
    if (startsWith(last(), "REC")) {
      last() = recWithMode(last(), "STOP");
    } else if (startsWith(last(), "C-N") && lxline_ >= 2 &&
               startsWith(lxedl_[lxline_ - 2], "REC")) {
      // A joined event carries its chapter name after the REC: the title ends at that REC.
      lxedl_[lxline_ - 2] = recWithMode(lxedl_[lxline_ - 2], "STOP");
    }
  }
  showlxedl();
}

void RecorderList::changestoptopause() {
  titlemode_ = kPause;
  if (lxline_ > 0) {
    if (startsWith(last(), "REC")) {
      last() = recWithMode(last(), "PAUSE");
    } else if (startsWith(last(), "T-N")) {
      if (lxline_ >= 2 && startsWith(lxedl_[lxline_ - 2], "REC")) {
        lxedl_[lxline_ - 2] = recWithMode(lxedl_[lxline_ - 2], "PAUSE");
      }
      last() = "C-N " + from(last(), 4);
    }
  }
  showlxedl();
}

bool RecorderList::setchapter() {
  if (lxline_ <= 0) {
    return true;
  }
  const std::string tag = last().substr(0, 3);
  if (tag == "CHP" || tag == "C-N" || tag == "WAI" || tag == "INI") {
    return true;
  }
  if (tag == "REC") {
    if (opts_.namechapters && lxline_ >= lxmax) {
      return false;
    }
    last() = "CHP " + from(last(), 4, 11);
    if (opts_.namechapters) {
      put("C-N Chapter");
      ++lxline_;
    }
  } else if (tag == "T-N") {
    if (lxline_ >= 2 && startsWith(lxedl_[lxline_ - 2], "REC")) {
      lxedl_[lxline_ - 2] = "CHP " + from(lxedl_[lxline_ - 2], 4, 11);
    }
    last() = "C" + from(last(), 1);
  }
  showlxedl();
  return true;
}

void RecorderList::addwait() {
  if (lxline_ > 0 && lxline_ < lxmax && TextCodec::length(last()) >= 7 && last() != "WAI") {
    put("WAI");
    showlxedl();
    ++lxline_;
  }
}

std::string RecorderList::optimize() const {
  std::string result = "SET R:16 F:1";
  const std::string& first = lxedl_[0];
  if (first.size() > 15) {
    const auto out = SourceEvent::calcframes(timestring2_, opts_.rate);
    const auto in = SourceEvent::calcframes(from(first, 4, 11), opts_.rate);
    if (out && in) {
      // The program's length against each rate's recording time, in the rate's own frames.
      const int d = *out - *in;
      if (d > 0 && d <= opts_.rate.framesIn(kLongestProgramMinutes)) {
        int i = 0;
        while (i < 32 && !(opts_.rate.framesIn(kSet[i]) < d)) {
          ++i;
        }
        if (i > 1) {
          --i;
        }
        result = "SET R:" + std::to_string(i) + " " + opts_.optifilter;
      }
    }
  }
  return result;
}

void RecorderList::showlxedl() {
  ++renders_;
  if (opts_.autochapter && TextCodec::length(lxedl_[0]) > 15) {
    lxedl_[0] = std::string(TextCodec::cut(lxedl_[0], 0, 16)) + timestring2_ + " STOP";
  }
  lxfile_.clear();
  lxout_.clear();
  auto emit = [this](int number, const std::string& text) {
    char field[16];
    std::snprintf(field, sizeof field, "%03d ", number);
    lxfile_ += field;
    lxfile_ += text;
    lxfile_ += '\n';
    lxout_ += field;
    lxout_ += text;
    lxout_ += "\r\n";
  };
  lxfile_ += header;
  lxfile_ += '\n';
  lxout_ += header;
  lxout_ += "\r\n";
  int counter = 0;
  if (opts_.initialize) {
    emit(++counter, "INI");
  }
  if (opts_.autochapter && opts_.optimize) {
    emit(++counter, optimize());
  }
  for (const std::string& s : lxedl_) {
    if (s.size() > 1) {
      if (startsWith(s, "REC")) {
        ++counter;
      }
      emit(counter, s);
    }
  }
  if (opts_.finalize) {
    emit(counter + 1, "FNL");
  }
}
