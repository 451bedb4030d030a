// The speed targets as ratios of this run's own figures: each frame
// against its yardstick or floor, and, with a baseline module, against the
// same frame of the baseline in the same run.
#pragma once

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace tidalhalo::bench {

// Passes every run on to the usual display and keeps its real time.
class SummaryReporter : public benchmark::BenchmarkReporter {
public:
    SummaryReporter();
    bool ReportContext(const Context &context) override;
    void ReportRuns(const std::vector<Run> &runs) override;
    void Finalize() override;

    // Milliseconds per frame by name, without the "/real_time" suffix: the
    // fastest of the repetitions where there are several.
    const std::map<std::string, double> &Times() const { return times_; }
    // Whether the display is the console's table, where the summary follows.
    bool DisplayIsConsole() const;

private:
    std::unique_ptr<benchmark::BenchmarkReporter> display_;
    std::map<std::string, double> times_;
    std::map<std::string, double> fastest_;
};

// Prints the summary table; the prefix marks the baseline's runs.
void PrintSummary(std::ostream &out, const std::map<std::string, double> &times, const std::string &baseline_prefix);

}  // namespace tidalhalo::bench
