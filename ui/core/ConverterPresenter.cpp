#include "ui/core/ConverterPresenter.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "app/NativeFile.h"
#include "app/TextCodec.h"
#include "edl/FileIdentity.h"

ConverterPresenter::ConverterPresenter(ConverterWindowView& view, ConverterOptions options)
    : view_(view), conv_(std::make_unique<EdlConverter>(options, &view)) {}

void ConverterPresenter::start() {
  view_.showOptions(conv_->options());
  conv_->refresh();
  run("load", [this] { load(); });
}

void ConverterPresenter::command(const std::string& command) {
  static const char* const kOrder[] = {"auto", "del",  "pause", "stop", "wait",
                                       "chap", "next", "back",  "load", "save"};
  for (const char* c : kOrder) {
    if (command != c) {
      continue;
    }
    run(c, [this, command] {
      if (command == "auto") {
        conv_->autoedl();
      } else if (command == "del") {
        conv_->del();
      } else if (command == "pause") {
        conv_->pause();
        view_.showOptions(conv_->options());  // PS may end "All PS"
      } else if (command == "stop") {
        conv_->stop();
        view_.showOptions(conv_->options());
      } else if (command == "wait") {
        conv_->wait();
      } else if (command == "chap") {
        conv_->chap();
      } else if (command == "next") {
        conv_->next();
      } else if (command == "back") {
        conv_->backupsourceedl();
      } else if (command == "load") {
        load();
      } else {
        save();
      }
    });
    return;
  }
}

void ConverterPresenter::option(Option which, bool on) {
  static const char* const kNames[] = {"Use INI", "Use FNL", "All PS",
                                       "AutoCH",  "NameCH",  "Optimize"};
  run(kNames[static_cast<int>(which)], [this, which, on] {
    switch (which) {
      case Option::UseIni:
        conv_->setInitialize(on);
        break;
      case Option::UseFnl:
        conv_->setFinalize(on);
        break;
      case Option::AllPs:
        conv_->setAllPs(on);
        break;
      case Option::AutoCh:
        conv_->setAutoChapter(on);
        view_.showOptions(conv_->options());  // auto chapters end "All PS"
        break;
      case Option::NameCh:
        conv_->setNameChapters(on);
        break;
      case Option::Optimize:
        conv_->setOptimize(on);
        break;
    }
  });
}

void ConverterPresenter::run(const std::string& what, const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    view_.print("Converter: " + what + " failed: " + e.what());
  } catch (...) {
    view_.print("Converter: " + what + " failed");
  }
}

void ConverterPresenter::split(const std::string& path, std::string& dir, std::string& name) {
  if (path.empty()) {
    return;
  }
  const std::filesystem::path p = std::filesystem::absolute(NativeFile::fsPath(path));
  directory_ = NativeFile::utf8Path(p.parent_path());
  dir = directory_;
  name = NativeFile::utf8Path(p.filename());
}

void ConverterPresenter::load() {
  const std::string path = view_.chooseFile("Open File", directory_, false);
  std::string dir;
  std::string name;
  split(path, dir, name);
  conv_->load(dir, name);
  if (!path.empty()) {
    source_ = path;
  }
}

void ConverterPresenter::save() {
  const std::string path = view_.chooseFile("Save File", directory_, true);
  if (!path.empty() && !source_.empty() && FileIdentity::same(path, source_)) {
    // The list would replace the EDL it came from: nothing is written.
    const std::string line =
        "Not saved: " + NativeFile::utf8Path(NativeFile::fsPath(path).filename()) +
        " is the source EDL; choose another name";
    view_.print(line);
    view_.showTitle(line);
    return;
  }
  std::string dir;
  std::string name;
  split(path, dir, name);
  conv_->save(dir, name);
}

std::string ConverterPresenter::shownSource(const std::string& text) {
  std::string shown;
  shown.reserve(std::min(text.size(), std::size_t{4} << 20));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string::npos;
    if (last) {
      end = text.size();
    }
    // Cut at a character, never inside one.
    shown.append(
        TextCodec::cut(std::string_view(text.data() + start, end - start), 0, kLongestShownLine));
    if (!last) {
      shown.push_back('\n');
    }
    start = end + 1;
  }
  return shown;
}
