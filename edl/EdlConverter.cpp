#include "edl/EdlConverter.h"

#include "app/ControllerApp.h"
#include "app/TextCodec.h"
#include "edl/SourceEvent.h"

namespace {

const std::string kStop = "STOP";
const std::string kPause = "PAUSE";

std::string joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty()) {
    return name;
  }
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

}  // namespace

EdlConverter::EdlConverter(ConverterOptions opts, ConverterView* view)
    : view_(view != nullptr ? view : &defaultView_), list_(std::move(opts)) {
  list_.setTitleMode(kStop);
}

void EdlConverter::refresh() {
  shownSource_ = sourceText_;
  shownList_ = list_.lxfile();
  shownRenders_ = list_.renders();
  view_->showSource(shownSource_);
  view_->showList(shownList_);
  if (!windowTitle_.empty()) {
    shownTitle_ = windowTitle_;
    view_->showTitle(shownTitle_);
  }
}

void EdlConverter::flush() {
  if (sourceDirty_ || sourceText_ != shownSource_) {
    sourceDirty_ = false;
    shownSource_ = sourceText_;
    view_->showSource(shownSource_);
  }
  if (list_.renders() != shownRenders_ || list_.lxfile() != shownList_) {
    shownRenders_ = list_.renders();
    shownList_ = list_.lxfile();
    view_->showList(shownList_);
  }
  if (windowTitle_ != shownTitle_) {
    shownTitle_ = windowTitle_;
    view_->showTitle(shownTitle_);
  }
}

void EdlConverter::delay(int ms) {
  flush();  // the operator reads the message during the pause
  view_->pause(ms);
}

void EdlConverter::setSource(std::string text) {
  sourceText_ = std::move(text);
  sourceDirty_ = true;
}

void EdlConverter::showrawedl() {
  rawfile_ = source_.showrawedl();
  setSource(rawfile_);
}

EdlConverter::LoadStatus EdlConverter::load(const std::string& directory, const std::string& name) {
  Batch batch(*this);
  const LoadStatus status = parseedl(directory, name);
  rawline_ = 0;
  autoedl();
  return status;
}

EdlConverter::LoadStatus EdlConverter::parseedl(const std::string& directory,
                                                const std::string& name) {
  Batch batch(*this);
  list_.setTitleMode(list_.options().onetitle ? kPause : kStop);
  source_.newrawedl();
  showrawedl();
  if (name.empty()) {
    return LoadStatus::NoFile;
  }
  setSource("Reading File...");
  windowTitle_ = ControllerApp::title + " --- Tavlist2 --- Source EDL:  " + name;

  std::function<void(const std::string&)> echo;
  if (list_.options().verbose) {
    echo = [this](const std::string& line) { view_->print(line); };
  }
  const auto result = source_.read(joinPath(directory, name), echo);
  if (result == SourceEdl::ReadResult::NotFound) {
    view_->print("EDL file not found!");
    setSource("EDL file not found!");
    delay(3000);
    return LoadStatus::NotFound;
  }
  if (result == SourceEdl::ReadResult::ReadError) {
    view_->print("Problem reading file!");
    setSource("Problem Reading File");
    delay(3000);
  }
  showrawedl();
  list_.newlxedl();
  return result == SourceEdl::ReadResult::Ok ? LoadStatus::Loaded : LoadStatus::ReadError;
}

void EdlConverter::autoedl() {
  Batch batch(*this);
  list_.newlxedl();
  rawline_ = 0;
  int steps = 0;
  while (steps < RecorderList::lxmax && rawline_ < rawlinecount() && !list_.full()) {
    ++steps;
    parsenextline();
  }
  if (!list_.options().autochapter && list_.options().onetitle && steps > 1) {
    list_.changepausetostop();
  }
  showrawedl();
  rawline_ = 0;
}

void EdlConverter::next() {
  Batch batch(*this);
  if (rawline_ == rawlinecount()) {
    rawline_ = 0;
  }
  parsenextline();
}

void EdlConverter::parsenextline() {
  Batch batch(*this);
  if (rawline_ <= 0) {
    list_.newlxedl();
  }
  const int count = rawlinecount();
  const std::string* line = &source_.line(rawline_);
  if (rawline_ < count) {
    // Blank and one-character lines are passed over, except the last stored line.
    do {
      line = &source_.line(rawline_);
      ++rawline_;
    } while (line->size() < 2 && rawline_ < count);
  }
  setSource(std::to_string(rawline_) + " " + *line);
  refused_ = false;
  if (list_.lxline() < RecorderList::lxmax) {
    getsourcetime(*line);
  }
  fullCheck();
}

void EdlConverter::getsourcetime(const std::string& line) {
  const auto event = SourceEvent::recognise(line);
  if (!event) {
    return;
  }
  if (!list_.addEvent(event->timestring1, event->timestring2, line)) {
    refused_ = true;
  }
}

void EdlConverter::fullCheck() {
  if (list_.lxline() < RecorderList::lxmax && !refused_) {
    return;
  }
  setSource(fullNoticeText);
  if (list_.titlemodestring() == kPause && !list_.options().autochapter) {
    list_.changepausetostop();
  }
  delay(1000);
  list_.markFull();
  showrawedl();
}

void EdlConverter::fullNotice() {
  setSource(fullNoticeText);
  delay(1000);
  showrawedl();
}

void EdlConverter::backupsourceedl() {
  Batch batch(*this);
  if (rawline_ >= 2) {
    rawline_ -= 3;
  }
  if (rawline_ < 1) {
    rawline_ = 0;
  }
  parsenextline();
}

void EdlConverter::stop() {
  Batch batch(*this);
  list_.changepausetostop();
  list_.options().onetitle = false;
  list_.setTitleMode(kStop);
}

void EdlConverter::pause() {
  Batch batch(*this);
  list_.changestoptopause();
  list_.options().onetitle = true;
  list_.setTitleMode(kPause);
}

void EdlConverter::chap() {
  Batch batch(*this);
  if (!list_.setchapter()) {
    fullNotice();
  }
}

void EdlConverter::wait() {
  Batch batch(*this);
  if (list_.lxline() >= RecorderList::lxmax) {
    fullNotice();
    return;
  }
  list_.addwait();
}

void EdlConverter::del() {
  Batch batch(*this);
  list_.removeoutputline();
}

std::string EdlConverter::fileText() const {
  // Names taken from the source go back in the source's encoding.
  return TextCodec::encode(list_.lxout(), source_.encoding());
}

RecorderFile::Result EdlConverter::save(const std::string& directory, const std::string& name) {
  Batch batch(*this);
  auto result = RecorderFile::saveedl2(directory, name, fileText());
  if (result.status == RecorderFile::Status::NameError) {
    view_->print(" ");
    view_->print(RecorderFile::nameErrorText);
  } else if (result.status == RecorderFile::Status::WriteError) {
    const std::string message = "Problem writing file " + result.path + ": " + result.error;
    view_->print(message);
    setSource(message);
  }
  return result;
}

void EdlConverter::setInitialize(bool on) {
  Batch batch(*this);
  list_.options().initialize = on;
  list_.showlxedl();
}

void EdlConverter::setFinalize(bool on) {
  Batch batch(*this);
  list_.options().finalize = on;
  list_.showlxedl();
}

void EdlConverter::setOptimize(bool on) {
  Batch batch(*this);
  list_.options().optimize = on;
  list_.showlxedl();
}

void EdlConverter::setNameChapters(bool on) {
  list_.options().namechapters = on;
}

void EdlConverter::setAllPs(bool on) {
  Batch batch(*this);
  list_.options().onetitle = on;
  list_.setTitleMode(on ? kPause : kStop);
  autoedl();
}

void EdlConverter::setAutoChapter(bool on) {
  Batch batch(*this);
  list_.options().autochapter = on;
  if (on) {
    list_.options().onetitle = false;
    list_.setTitleMode(kStop);
  }
  autoedl();
}
