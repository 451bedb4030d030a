#include "bench/bench_summary.h"

#include <cstdio>
#include <string_view>

namespace tidalhalo::bench {

namespace {

constexpr std::string_view SUMMARY_SUFFIX = "/real_time";
// No frame may be slower than the baseline's by more than this.
constexpr double SUMMARY_SLOWDOWN_LIMIT = 1.03;

struct Target {
    const char *frame;
    const char *against;
    double limit;
};

constexpr Target SUMMARY_TARGETS[] = {
    {"frame/8/normal/smooth", "naive/8/normal/smooth", 0.35},
    {"frame/8/normal/scatter", "naive/8/normal/scatter", 0.35},
    {"frame/8/normal/plain", "copy/8", 8.0},
    {"frame/8/normal/wide", "naive/8/normal/wide", 1.0},
};

constexpr const char *SUMMARY_THREADS[] = {"/threads:1", "/threads:2"};

const double *Find(const std::map<std::string, double> &times, const std::string &name) {
    const auto found = times.find(name);
    return found == times.end() ? nullptr : &found->second;
}

std::string Format(const char *format, double value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

SummaryReporter::SummaryReporter() : display_(benchmark::CreateDefaultDisplayReporter()) {}

bool SummaryReporter::ReportContext(const Context &context) {
    display_->SetOutputStream(&GetOutputStream());
    display_->SetErrorStream(&GetErrorStream());
    return display_->ReportContext(context);
}

void SummaryReporter::ReportRuns(const std::vector<Run> &runs) {
    for (const Run &run : runs) {
        // With repetitions the fastest stands for the frame, whichever
        // repetition came last: other work on the machine only slows a run.
        const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
        if (run.error_occurred || (run.run_type != Run::RT_Iteration && !fastest)) {
            continue;
        }
        std::string name = run.run_name.str();
        if (name.ends_with(SUMMARY_SUFFIX)) {
            name.resize(name.size() - SUMMARY_SUFFIX.size());
        }
        (fastest ? fastest_ : times_)[name] = run.GetAdjustedRealTime();
    }
    display_->ReportRuns(runs);
}

void SummaryReporter::Finalize() {
    for (const auto &[name, time] : fastest_) {
        times_[name] = time;
    }
    display_->Finalize();
}

bool SummaryReporter::DisplayIsConsole() const {
    return dynamic_cast<benchmark::ConsoleReporter *>(display_.get()) != nullptr;
}

void PrintSummary(std::ostream &out, const std::map<std::string, double> &times, const std::string &baseline_prefix) {
    out << "\nSummary (ratios of real time per frame in this run)\n";
    out << "frame                             against                           target  ratio";
    out << (baseline_prefix.empty() ? "\n" : "  baseline's\n");
    for (const char *threads : SUMMARY_THREADS) {
        for (const Target &target : SUMMARY_TARGETS) {
            const std::string frame = std::string(target.frame) + threads;
            const std::string against = std::string(target.against) + threads;
            const double *time = Find(times, frame);
            const double *yardstick = Find(times, against);
            if (time == nullptr || yardstick == nullptr) {
                continue;
            }
            const double ratio = *time / *yardstick;
            std::string line = frame;
            line.resize(34, ' ');
            line += against;
            line.resize(68, ' ');
            line += Format("<= %-4g", target.limit) + Format(" %6.3f", ratio);
            const double *before = Find(times, baseline_prefix + frame);
            if (!baseline_prefix.empty() && before != nullptr) {
                line += Format("  %6.3f", *before / *yardstick);
            }
            line += ratio <= target.limit ? "  met" : "  NOT MET";
            out << line << "\n";
        }
    }
    if (baseline_prefix.empty()) {
        return;
    }
    out << "\nAgainst the baseline module, same frames (time / baseline's time, at most "
        << SUMMARY_SLOWDOWN_LIMIT << ")\n";
    double worst = 0.0;
    std::string worst_name;
    int compared = 0;
    for (const auto &[name, time] : times) {
        if (!name.starts_with("frame/")) {
            continue;
        }
        const double *before = Find(times, baseline_prefix + name);
        if (before == nullptr) {
            continue;
        }
        ++compared;
        const double ratio = time / *before;
        std::string line = name;
        line.resize(45, ' ');
        out << line << Format("%8.2f ms", *before) << Format(" -> %8.2f ms", time) << Format("  %6.3f", ratio)
            << (ratio <= SUMMARY_SLOWDOWN_LIMIT ? "" : "  slower") << "\n";
        if (ratio > worst) {
            worst = ratio;
            worst_name = name;
        }
    }
    if (compared > 0) {
        out << "worst of " << compared << ": " << worst_name << Format(" %.3f", worst)
            << (worst <= SUMMARY_SLOWDOWN_LIMIT ? "  met\n" : "  NOT MET\n");
    }
}

}  // namespace tidalhalo::bench
