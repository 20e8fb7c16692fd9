#include "deck/FieldStore.h"

std::string FieldStore::tc() const {
  std::lock_guard lock(mutex_);
  return tc_;
}

std::string FieldStore::cue() const {
  std::lock_guard lock(mutex_);
  return cue_;
}

std::string FieldStore::end() const {
  std::lock_guard lock(mutex_);
  return end_;
}

void FieldStore::setTc(const std::string& text) {
  std::lock_guard lock(mutex_);
  tc_ = text;
}

void FieldStore::setCue(const std::string& text) {
  std::lock_guard lock(mutex_);
  cue_ = text;
}

void FieldStore::setEnd(const std::string& text) {
  std::lock_guard lock(mutex_);
  end_ = text;
}
