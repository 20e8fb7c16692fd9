#include "deck/ScriptFile.h"

#include <fstream>

ScriptFile::ScriptFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  open_ = in.is_open();
  if (!open_) {
    return;
  }
  std::string bytes;
  char buf[4096];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    bytes.append(buf, static_cast<std::size_t>(in.gcount()));
  }
  TextCodec::stripBom(bytes);  // a mark in front would spoil the first command word
  encoding_ = TextCodec::detect(bytes);
  text_ = TextCodec::decode(bytes, encoding_);
}

std::optional<std::string> ScriptFile::next() {
  if (pos_ >= text_.size()) {
    return std::nullopt;
  }
  const std::size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string::npos) {
    std::string line = text_.substr(pos_);
    pos_ = text_.size();
    return line;
  }
  std::string line = text_.substr(pos_, end - pos_);
  pos_ = end + 1;
  if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
    ++pos_;
  }
  return line;
}
