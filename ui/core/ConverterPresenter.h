#pragma once

#include <memory>
#include <string>

#include "edl/EdlConverter.h"
#include "ui/core/ConverterWindowView.h"

// The converter window's decisions, apart from any toolkit: which converter step a button runs,
// what the option boxes change, the file dialogs, and the refusal to save a list over the
// source EDL it was converted from. An error in a step becomes one line; the window goes on.
class ConverterPresenter {
 public:
  enum class Option { UseIni, UseFnl, AllPs, AutoCh, NameCh, Optimize };

  ConverterPresenter(ConverterWindowView& view, ConverterOptions options);

  // Shows the starting options, the empty texts, then asks for the first source EDL.
  void start();
  // A button: "auto", "del", "pause", "stop", "wait", "chap", "next", "back", "load" or
  // "save"; anything else is ignored.
  void command(const std::string& command);
  // The operator changed an option box.
  void option(Option which, bool on);

  const EdlConverter& converter() const { return *conv_; }

  // The source area's text. A line of megabytes would keep a text area laying out for minutes,
  // so each shown line is cut at kLongestShownLine characters; the stored line stays whole for
  // the conversion and its names.
  static constexpr std::size_t kLongestShownLine = 2000;
  static std::string shownSource(const std::string& text);
  // The folder the dialogs start in: the last one chosen.
  const std::string& directory() const { return directory_; }

 private:
  void run(const std::string& what, const std::function<void()>& action);
  void load();
  void save();
  // Splits a chosen path into the folder and the name the converter takes.
  void split(const std::string& path, std::string& dir, std::string& name);

  ConverterWindowView& view_;
  std::unique_ptr<EdlConverter> conv_;
  std::string directory_;
  std::string source_;  // the source EDL last loaded, as chosen
};
