#pragma once

#include <string>
#include <vector>

// Summary of a set of measurements: mean, standard deviation, percentiles, extremes.
class SampleStats {
 public:
  explicit SampleStats(std::vector<double> values);

  std::size_t count() const { return sorted_.size(); }
  double mean() const { return mean_; }
  double stddev() const { return stddev_; }
  double min() const { return sorted_.empty() ? 0 : sorted_.front(); }
  double max() const { return sorted_.empty() ? 0 : sorted_.back(); }
  // Nearest-rank percentile, p in 0..100.
  double percentile(double p) const;
  // "n=.. mean=.. sd=.. p50=.. p95=.. p99=.. max=.." with the given unit after each value.
  std::string summary(const std::string& unit, int decimals = 2) const;

 private:
  std::vector<double> sorted_;
  double mean_ = 0;
  double stddev_ = 0;
};
