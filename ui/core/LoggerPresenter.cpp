#include "ui/core/LoggerPresenter.h"

#include <chrono>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <utility>
#include <vector>

#include "app/NativeFile.h"
#include "deck/LocalVCR.h"

namespace {

void printLine(const std::string& line) {
  static std::mutex m;
  std::lock_guard lock(m);
  std::cout << line << std::endl;
}

// "ORVALogger-recovered-20261210-031502" in the working folder; "-2", "-3" ... when a file of
// that name exists (two windows closed within one second).
std::string recoveryBase() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return std::string("ORVALogger-recovered-") + stamp;
}

std::string freeName(const std::string& base, const std::string& ext) {
  std::error_code ec;
  std::string name = base + ext;
  for (int n = 2; std::filesystem::exists(NativeFile::fsPath(name), ec); ++n) {
    name = base + "-" + std::to_string(n) + ext;
  }
  return name;
}

}  // namespace

int LoggerPresenter::vsbval = 0;

LoggerPresenter::LoggerPresenter(LoggerView& view, LocalVCR& vcr)
    : view_(view), vcr_(vcr), sink_(&printLine) {
  // A new window shows entries from the first one, and its row 0 acts on that entry.
  vsbval = 0;
  list_.setLineSink(sink_);
}

LoggerPresenter::~LoggerPresenter() = default;

void LoggerPresenter::setLineSink(std::function<void(const std::string&)> sink) {
  sink_ = std::move(sink);
  list_.setLineSink(sink_);
}

template <typename F>
void LoggerPresenter::guarded(const char* what, F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    sink_(std::string("Logger ") + what + " error: " + e.what());
  } catch (...) {
    sink_(std::string("Logger ") + what + " error: unknown");
  }
}

void LoggerPresenter::ReState(int first) {
  for (int r = 0; r < NumRows; ++r) {
    const int i = first + r;
    const std::array<std::string, 4> texts = {list_.EdNumArray.at(i), list_.ClipNameArray.at(i),
                                              list_.SrcInArray.at(i), list_.SrcOutArray.at(i)};
    for (int c = 0; c < 4; ++c) {
      view_.showCell(r, c, texts[c]);
    }
    if (r == 0) {
      row0_ = texts;
    }
  }
}

void LoggerPresenter::store(int column, const std::string& text) {
  auto& texts =
      column == 1 ? list_.ClipNameArray : (column == 2 ? list_.SrcInArray : list_.SrcOutArray);
  std::string& entry = texts.at(vsbval);
  if (entry != text) {
    entry = text;
    unsaved_ = true;
  }
  row0_[column] = text;
}

void LoggerPresenter::commitRow0() {
  for (int c = 1; c <= 3; ++c) {
    const std::string typed = view_.cellText(c);
    if (typed != row0_[c]) {
      store(c, typed);
    }
  }
}

void LoggerPresenter::fieldCommitted(int column, const std::string& text) {
  if (column >= 1 && column <= 3) {
    store(column, text);
  }
}

void LoggerPresenter::scrolled(int first) {
  guarded("Scroll", [&] {
    commitRow0();
    ReState(first);
    vsbval = first;
  });
}

void LoggerPresenter::timePressed(int row, int column) {
  guarded(column == 2 ? ">" : "<", [&] {
    commitRow0();
    const std::string t = vcr_.tcText();
    auto& times = column == 2 ? list_.SrcInArray : list_.SrcOutArray;
    if (times.at(vsbval + row) != t) {
      times.at(vsbval + row) = t;
      unsaved_ = true;
    }
    view_.showCell(row, column, t);
    if (row == 0) {
      row0_[column] = t;
    }
  });
}

void LoggerPresenter::cuePressed(int row) {
  guarded("*", [&] {
    commitRow0();
    vcr_.setCueText(list_.SrcInArray.at(vsbval + row));
    vcr_.setEndText(list_.SrcOutArray.at(vsbval + row));
  });
}

void LoggerPresenter::ReviewClip() {
  guarded("Review", [&] {
    commitRow0();
    const int i = vsbval;
    std::string in = list_.SrcInArray.at(i);
    std::string out = list_.SrcOutArray.at(i);
    LocalVCR* vcr = &vcr_;
    auto sink = sink_;
    // The worker gets copies: the window and its list may change or close while the clip plays.
    vcr_.postRun([vcr, sink, in = std::move(in), out = std::move(out), i] {
      vcr->setCueText(in);
      vcr->setEndText(out);
      sink("Review EDL Clip " + std::to_string(i + 1));
      vcr->reviewclip();
    });
  });
}

void LoggerPresenter::RevAll() {
  guarded("RevALL", [&] {
    commitRow0();
    std::vector<std::pair<std::string, std::string>> clips;
    for (int i = 0; i < kMaxReviewAll; ++i) {
      if (list_.SrcOutArray[i] == EditList::TCString) {
        break;
      }
      clips.emplace_back(list_.SrcInArray[i], list_.SrcOutArray[i]);
    }
    LocalVCR* vcr = &vcr_;
    auto sink = sink_;
    // A run the operator can take over with a transport control: no further clip is reviewed.
    vcr_.postRun([vcr, sink, clips = std::move(clips)] { vcr->reviewall(clips, sink); });
  });
}

std::string LoggerPresenter::GetFileName(const std::string& title, bool save) {
  const std::string path = view_.chooseFile(title, save);
  if (path.empty()) {
    list_.savename.clear();
    return {};
  }
  list_.savename = NativeFile::utf8Path(NativeFile::fsPath(path).filename());
  return path;
}

void LoggerPresenter::load() {
  guarded("Load EDL", [&] {
    commitRow0();
    const std::string path = GetFileName("Load Standard EDL", false);
    if (path.empty()) {
      return;
    }
    list_.LoadEDL(path);
    unsaved_ = false;
    // Back to the start, so every row acts on the entry it shows.
    vsbval = 0;
    view_.showScroll(0);
    ReState(0);
  });
}

void LoggerPresenter::save() {
  guarded("Save EDL", [&] {
    commitRow0();
    const std::string path = GetFileName("Save Standard EDL", true);
    if (path.empty()) {
      return;
    }
    if (list_.SaveEDL(path)) {
      unsaved_ = false;
    }
  });
}

std::string LoggerPresenter::closing() {
  if (closed_) {
    return {};
  }
  closed_ = true;
  std::string kept;
  guarded("Close", [&] {
    commitRow0();
    if (!unsaved_) {
      return;
    }
    // The operator's list is never thrown away: a standard EDL when it is well formed, else
    // every entry as text, so nothing typed is lost either way.
    const std::string base = recoveryBase();
    std::string path = freeName(base, ".edl");
    list_.savename = path;
    if (!list_.SaveEDL(path)) {
      path = freeName(base, ".txt");
      std::ofstream out(NativeFile::fsPath(path), std::ios::binary);
      for (int i = 0; i < EditList::kEntries; ++i) {
        out << list_.EdNumArray[i] << '\t' << list_.ClipNameArray[i] << '\t' << list_.SrcInArray[i]
            << '\t' << list_.SrcOutArray[i] << "\r\n";
      }
      if (!out) {
        sink_("Logger list not saved, and the recovery file " + path + " could not be written");
        return;
      }
    }
    kept = NativeFile::utf8Path(std::filesystem::absolute(NativeFile::fsPath(path)));
    sink_("Logger list not saved: kept in " + kept);
  });
  return kept;
}
