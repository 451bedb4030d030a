// Every host call a command makes, failed once each in every way the host
// can fail it: the module must answer with the code its failure handling
// promises, let nothing escape, and give back everything it holds.
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "protocol_support.h"

namespace tidalhalo::sim::testing {
namespace {

constexpr PF_Err kInjected = 4711;  // what an injected failure answers
constexpr PF_Err kPassedOn = -1;    // expected: the injected code, unchanged
constexpr PF_Err kNotRun = -2;      // a host renders no frame whose pre-render failed
constexpr int32_t kWidth = 8;       // a small layer: the sweep is about calls, not pixels
constexpr int32_t kHeight = 6;

using enum FailKind;

// The module's answer when one call of a command fails one way; the first
// row that matches counts, and a row without a suite matches any suite.
struct Expectation {
    PF_Cmd cmd;
    const char *op;
    FailKind kind;
    PF_Err result;
    const char *suite = nullptr;
    bool message = false;  // the display-error flag with "Couldn't load suite."
};

const Expectation kExpected[] = {
    // Parameter setup stops at a rejected addition; the answer of strcpy is not consulted.
    {PF_Cmd_PARAMS_SETUP, "add_param", Code, kPassedOn},
    {PF_Cmd_PARAMS_SETUP, "ansi.strcpy", Code, PF_Err_NONE},
    // Pre-render: a missing suite is 516, a handle not had or not locked is out of memory.
    {PF_Cmd_SMART_PRE_RENDER, "AcquireSuite", RefuseNull, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_PRE_RENDER, "AcquireSuite", ZeroNullTable, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_PRE_RENDER, "AcquireSuite", CodeWithTable, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_PRE_RENDER, "host_new_handle", Null, PF_Err_OUT_OF_MEMORY},
    {PF_Cmd_SMART_PRE_RENDER, "host_lock_handle", Null, PF_Err_OUT_OF_MEMORY},
    {PF_Cmd_SMART_PRE_RENDER, "checkout_param", Code, kPassedOn},
    {PF_Cmd_SMART_PRE_RENDER, "PF_GetFloatingPointColorFromColorDef", Code, PF_Err_NONE},
    {PF_Cmd_SMART_PRE_RENDER, "checkout_layer", Code, kPassedOn},
    {PF_Cmd_SMART_PRE_RENDER, "ReleaseSuite", Code, PF_Err_NONE},
    // Render: a buffer the host answers 0 for but leaves out is simply not drawn.
    {PF_Cmd_SMART_RENDER, "checkout_layer_pixels", Code, kPassedOn},
    {PF_Cmd_SMART_RENDER, "checkout_layer_pixels", Null, PF_Err_NONE},
    {PF_Cmd_SMART_RENDER, "checkout_output", Code, kPassedOn},
    {PF_Cmd_SMART_RENDER, "checkout_output", Null, PF_Err_NONE},
    {PF_Cmd_SMART_RENDER, "copy", Code, PF_Err_INTERNAL_STRUCT_DAMAGED},  // made only without pre-render data
    // The world suite goes through the report helper, which looks only at the table.
    {PF_Cmd_SMART_RENDER, "AcquireSuite", RefuseNull, PF_Err_BAD_CALLBACK_PARAM, kPFWorldSuite, true},
    {PF_Cmd_SMART_RENDER, "AcquireSuite", ZeroNullTable, PF_Err_BAD_CALLBACK_PARAM, kPFWorldSuite, true},
    {PF_Cmd_SMART_RENDER, "AcquireSuite", CodeWithTable, PF_Err_NONE, kPFWorldSuite},
    {PF_Cmd_SMART_RENDER, "AcquireSuite", RefuseNull, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_RENDER, "AcquireSuite", ZeroNullTable, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_RENDER, "AcquireSuite", CodeWithTable, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_RENDER, "host_lock_handle", Null, PF_Err_BAD_CALLBACK_PARAM},
    {PF_Cmd_SMART_RENDER, "PF_GetPixelFormat", Code, kPassedOn},
    {PF_Cmd_SMART_RENDER, "iterate", Code, kPassedOn},
    {PF_Cmd_SMART_RENDER, "checkin_layer_pixels", Code, kPassedOn},
    {PF_Cmd_SMART_RENDER, "ReleaseSuite", Code, PF_Err_NONE},
};

// They answer nothing, so there is no failure to give.
const std::set<std::string> kCannotFail = {"host_unlock_handle", "host_dispose_handle"};

constexpr FailKind kKinds[] = {Code, Null, RefuseNull, ZeroNullTable, CodeWithTable};
const char *const kKindNames[] = {"an error code", "null", "a refusal without a table", "0 without a table",
                                  "an error code with a table"};

const Expectation *Find(const HostCall &call, FailKind kind) {
    for (const Expectation &row : kExpected) {
        if (row.cmd == call.command && row.op == call.op && row.kind == kind &&
            (row.suite == nullptr || call.args.rfind('"' + std::string(row.suite) + '"', 0) == 0)) {
            return &row;
        }
    }
    return nullptr;
}

enum class Steps { Params, PreRender, Render, RenderWithoutData, Frame };

struct Scenario {
    const char *name;
    Steps steps;
    PixelDepth depth;
};

const Scenario kScenarios[] = {
    {"params_setup", Steps::Params, PixelDepth::Eight},
    {"pre_render", Steps::PreRender, PixelDepth::Eight},
    {"render_8bit", Steps::Render, PixelDepth::Eight},
    {"render_16bit", Steps::Render, PixelDepth::Sixteen},
    {"render_float", Steps::Render, PixelDepth::Float},
    {"render_without_pre_render_data", Steps::RenderWithoutData, PixelDepth::Eight},
    {"frame_8bit", Steps::Frame, PixelDepth::Eight},
    {"frame_16bit", Steps::Frame, PixelDepth::Sixteen},
    {"frame_float", Steps::Frame, PixelDepth::Float},
};

struct Outcome {
    std::map<PF_Cmd, PF_Err> results;  // of the commands swept
    std::vector<HostCall> calls;       // from the first command swept on
    std::vector<std::string> violations;
    bool message = false;
    std::string handed_over;  // the handle given to the host as pre_render_data
    // Only a checkout result the host wrote is merged into the pre-render's
    // output: its rectangles become the layer's area, or stay as handed in.
    bool rects_as_promised = true;
};

// Empty but not zero: an unwritten checkout result merged into them would show.
constexpr PF_LRect kHandedIn{7, 7, 7, 7};

bool Same(const PF_LRect &a, const PF_LRect &b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// One scenario on a fresh host, with failure (if any) planned from the
// first command swept on; a preparing pre-render must succeed.
Outcome Drive(const Scenario &scenario, const Failure *failure) {
    SimHost host(ModulePath(), Strictness::Fail);
    host.Settings().threads = 1;
    const Image layer = GradientLayer(scenario.depth, kWidth, kHeight);
    host.SetLayer(layer.View());
    EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
    Outcome run;
    auto sweep_from_here = [&] {
        host.Log().Clear();
        if (failure != nullptr) {
            host.Inject(*failure);
        }
    };
    // A broken contract throws after the command's result is stored; the
    // violations are read below.
    auto command = [](auto step) {
        try {
            step();
        } catch (const ContractViolation &) {
        }
    };
    if (scenario.steps == Steps::Params) {
        sweep_from_here();
        run.results[PF_Cmd_PARAMS_SETUP] = kNotRun;  // stays so when the contract throws
        command([&] { run.results[PF_Cmd_PARAMS_SETUP] = host.ParamsSetup(); });
    } else {
        EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);
        const bool sweeps_pre_render = scenario.steps == Steps::PreRender || scenario.steps == Steps::Frame;
        if (sweeps_pre_render) {
            sweep_from_here();
        }
        PreRenderCall pre = host.NewPreRender();
        pre.output.result_rect = kHandedIn;
        pre.output.max_result_rect = kHandedIn;
        command([&] { host.PreRender(pre); });
        bool delivered = false;
        for (const HostCall &call : host.Log().Calls()) {
            delivered = delivered || (call.op == "checkout_layer" && call.result == PF_Err_NONE);
        }
        const PF_LRect rect = delivered ? PF_LRect{0, 0, kWidth, kHeight} : kHandedIn;
        run.rects_as_promised = Same(pre.output.result_rect, rect) && Same(pre.output.max_result_rect, rect);
        if (pre.output.pre_render_data != nullptr) {
            run.handed_over = host.Handles().Name(static_cast<PF_Handle>(pre.output.pre_render_data));
        }
        if (sweeps_pre_render) {
            run.results[PF_Cmd_SMART_PRE_RENDER] = pre.result;
        } else {
            EXPECT_EQ(pre.result, PF_Err_NONE) << "the preparing pre-render";
            sweep_from_here();
        }
        if (scenario.steps != Steps::PreRender) {
            RenderCall render = host.NewRender(pre);
            render.result = kNotRun;
            if (scenario.steps == Steps::RenderWithoutData) {
                render.pre_render_data = nullptr;
            }
            if (pre.result == PF_Err_NONE) {
                command([&] { host.Render(render); });
            }
            run.results[PF_Cmd_SMART_RENDER] = render.result;
        }
    }
    run.calls = host.Log().Calls();
    run.violations = host.Contract().Violations();
    run.message = (host.OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0 &&
                  std::string(host.OutData().return_msg) == "Couldn't load suite.";
    return run;
}

// What each swept command should answer when `failing` fails as `rule` says.
std::map<PF_Cmd, PF_Err> Answers(const Scenario &scenario, const HostCall *failing, const Expectation *rule) {
    std::map<PF_Cmd, PF_Err> answers;
    switch (scenario.steps) {
    case Steps::Params:
        answers[PF_Cmd_PARAMS_SETUP] = PF_Err_NONE;
        break;
    case Steps::PreRender:
        answers[PF_Cmd_SMART_PRE_RENDER] = PF_Err_NONE;
        break;
    case Steps::Frame:
        answers[PF_Cmd_SMART_PRE_RENDER] = PF_Err_NONE;
        answers[PF_Cmd_SMART_RENDER] = PF_Err_NONE;
        break;
    case Steps::Render:
        answers[PF_Cmd_SMART_RENDER] = PF_Err_NONE;
        break;
    case Steps::RenderWithoutData:
        // Without pre-render data the render is 512, whatever else failed.
        answers[PF_Cmd_SMART_RENDER] = PF_Err_INTERNAL_STRUCT_DAMAGED;
        return answers;
    }
    if (rule != nullptr) {
        answers[failing->command] = rule->result == kPassedOn ? kInjected : rule->result;
    }
    if (answers.count(PF_Cmd_SMART_PRE_RENDER) != 0 && answers.count(PF_Cmd_SMART_RENDER) != 0 &&
        answers[PF_Cmd_SMART_PRE_RENDER] != PF_Err_NONE) {
        answers[PF_Cmd_SMART_RENDER] = kNotRun;
    }
    return answers;
}

// What the module left open, per command, from the host's record of its
// calls: suites acquired and not released, the input not checked in, locks
// not undone, handles made and not disposed of. Paths on which the module
// documents otherwise are allowed, each with its reason.
std::vector<std::string> Unbalanced(const Outcome &run) {
    std::map<std::string, int> open;
    std::set<std::string> made, disposed, given_back_regardless;
    for (const HostCall &call : run.calls) {
        const std::string in = std::to_string(call.command) + ": ";
        if (call.op == "AcquireSuite") {
            // An acquisition answered with an error or without a table is
            // none, and needs no release.
            if (call.result == PF_Err_NONE && call.outcome == "table") {
                ++open[in + call.args];
            }
            // The world suite's report helper looks only at the table, so a
            // table that came with an error code is used and released.
            if (call.result != PF_Err_NONE && call.outcome == "table") {
                given_back_regardless.insert(in + call.args);
            }
        } else if (call.op == "ReleaseSuite") {
            --open[in + call.args];
        } else if (call.op == "checkout_layer_pixels") {
            if (call.result == PF_Err_NONE && call.outcome != "null") {
                ++open[in + "input layer"];
            } else {
                // The render checks the input in on every way out, also when
                // its checkout failed: checking in nothing is harmless.
                given_back_regardless.insert(in + "input layer");
            }
        } else if (call.op == "checkin_layer_pixels") {
            --open[in + "input layer"];
        } else if (call.op == "host_lock_handle" && call.outcome == "locked") {
            ++open[in + "lock of " + call.args];
        } else if (call.op == "host_unlock_handle") {
            --open[in + "lock of " + call.args];
        } else if (call.op == "host_new_handle" && call.outcome != "null") {
            made.insert(call.outcome);
        } else if (call.op == "host_dispose_handle") {
            disposed.insert(call.args);
            open[in + "lock of " + call.args] = 0;  // a disposed handle needs no unlock
        }
    }
    std::vector<std::string> left;
    for (const auto &[what, count] : open) {
        if (count > 0 || (count < 0 && !(count == -1 && given_back_regardless.count(what) != 0))) {
            left.push_back(what + (count > 0 ? " left open" : " given back more often than had"));
        }
    }
    for (const std::string &handle : made) {
        // The handle handed over as pre_render_data is the host's from then on.
        if (disposed.count(handle) == 0 && handle != run.handed_over) {
            left.push_back(handle + " neither disposed of nor handed over");
        }
    }
    return left;
}

// The host counts no acquisition that it answered with an error, so it
// reports the use and the release that follow it.
const std::vector<std::string> kWorldTableWithCode = {
    "PF_GetPixelFormat while \"PF World Suite\", 2 is not acquired (command 24)",
    "ReleaseSuite(\"PF World Suite\", 2) without a matching AcquireSuite (command 24)"};

// The calls the host failed on plan, as "op(args)".
std::vector<std::string> Injected(const Outcome &run) {
    std::vector<std::string> failed;
    for (const HostCall &call : run.calls) {
        if (call.injected) {
            failed.push_back(call.Call());
        }
    }
    return failed;
}

void Check(const Outcome &run, const std::map<PF_Cmd, PF_Err> &answers, const Expectation *rule) {
    EXPECT_EQ(run.results, answers);
    EXPECT_EQ(run.message, rule != nullptr && rule->message);
    EXPECT_EQ(Unbalanced(run), std::vector<std::string>{});
    EXPECT_TRUE(run.rects_as_promised);
    const bool world_with_code = rule != nullptr && rule->kind == CodeWithTable && rule->result == PF_Err_NONE;
    EXPECT_EQ(run.violations, world_with_code ? kWorldTableWithCode : std::vector<std::string>{});
}

TEST(FailureSweep, EveryHostCallFailingEveryWayIsAnsweredAsPromisedAndGivenBack) {
    int total = 0;
    std::map<PF_Cmd, int> per_command;  // by the command of the call failed
    for (const Scenario &scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        const Outcome baseline = Drive(scenario, nullptr);
        Check(baseline, Answers(scenario, nullptr, nullptr), nullptr);
        std::map<std::string, int> seen;
        int runs = 0;
        for (const HostCall &call : baseline.calls) {
            const int occurrence = ++seen[call.op];
            if (kCannotFail.count(call.op) != 0) {
                continue;
            }
            bool swept = false;
            for (std::size_t k = 0; k < std::size(kKinds); ++k) {
                const Expectation *rule = Find(call, kKinds[k]);
                if (rule == nullptr) {
                    continue;
                }
                SCOPED_TRACE(call.Call() + " (call " + std::to_string(occurrence) + " of its kind) answering " +
                             kKindNames[k]);
                const Failure failure{call.op, "", occurrence, kKinds[k], kInjected};
                const Outcome run = Drive(scenario, &failure);
                EXPECT_EQ(Injected(run), std::vector<std::string>{call.Call()}) << "the call meant failed, once";
                Check(run, Answers(scenario, &call, rule), rule);
                swept = true;
                ++runs;
                ++per_command[call.command];
            }
            EXPECT_TRUE(swept) << call.Call() << " of command " << call.command << " has no expected answer";
        }
        RecordProperty(std::string("failure_runs_") + scenario.name, runs);
        std::printf("failure sweep: %-32s %3d failure runs\n", scenario.name, runs);
        total += runs;
    }
    for (const auto &[cmd, runs] : per_command) {
        const std::string name = "command_" + std::to_string(cmd);
        RecordProperty("failure_runs_" + name, runs);
        std::printf("failure sweep: %-32s %3d failure runs\n", name.c_str(), runs);
    }
    RecordProperty("failure_runs_total", total);
    std::printf("failure sweep: %-32s %3d failure runs\n", "total", total);
}

}  // namespace
}  // namespace tidalhalo::sim::testing
