#include "bench/SampleStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

SampleStats::SampleStats(std::vector<double> values) : sorted_(std::move(values)) {
  std::sort(sorted_.begin(), sorted_.end());
  if (sorted_.empty()) {
    return;
  }
  double sum = 0;
  for (double v : sorted_) {
    sum += v;
  }
  mean_ = sum / static_cast<double>(sorted_.size());
  double sq = 0;
  for (double v : sorted_) {
    sq += (v - mean_) * (v - mean_);
  }
  stddev_ = sorted_.size() > 1 ? std::sqrt(sq / static_cast<double>(sorted_.size() - 1)) : 0;
}

double SampleStats::percentile(double p) const {
  if (sorted_.empty()) {
    return 0;
  }
  const auto n = sorted_.size();
  auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(n)));
  rank = std::clamp<std::size_t>(rank, 1, n);
  return sorted_[rank - 1];
}

std::string SampleStats::summary(const std::string& unit, int decimals) const {
  char buf[256];
  const int d = decimals;
  std::snprintf(buf, sizeof buf,
                "n=%zu mean=%.*f%s sd=%.*f%s min=%.*f%s p50=%.*f%s p95=%.*f%s p99=%.*f%s "
                "max=%.*f%s",
                count(), d, mean(), unit.c_str(), d, stddev(), unit.c_str(), d, min(), unit.c_str(),
                d, percentile(50), unit.c_str(), d, percentile(95), unit.c_str(), d, percentile(99),
                unit.c_str(), d, max(), unit.c_str());
  return buf;
}
