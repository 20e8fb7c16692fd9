#include "edl/RecorderFile.h"

#include <cstring>

#include "edl/TempFile.h"

std::string RecorderFile::fileName(const std::string& name) {
  if (name.size() < 5) {
    return {};
  }
  if (name.compare(name.size() - 4, 4, ".edl") != 0) {
    return name + ".edl";
  }
  return name;
}

std::string RecorderFile::join(const std::string& directory, const std::string& name) {
  if (directory.empty()) {
    return name;
  }
  if (directory.back() == '/') {
    return directory + name;
  }
  return directory + "/" + name;
}

RecorderFile::Result RecorderFile::saveedl2(const std::string& directory, const std::string& name,
                                            const std::string& text) {
  Result result;
  const std::string file = fileName(name);
  if (file.empty()) {
    result.status = Status::NameError;
    return result;
  }
  result.path = join(directory, file);
  const std::string target = TempFile::resolve(result.path);
  TempFile tmp(target);
  int err = tmp.ok() ? tmp.keepModeOf(target) : tmp.openError();
  if (err == 0) {
    err = tmp.writeAndSync(text);
  }
  if (err == 0) {
    err = tmp.close();
  }
  if (err == 0) {
    err = tmp.commit(target);
  }
  if (err != 0) {
    result.status = Status::WriteError;
    result.error = std::strerror(err);
  }
  return result;
}
