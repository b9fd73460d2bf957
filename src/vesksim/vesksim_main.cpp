/*
 * vesksim: runs an ARGoS experiment file headless, with the same
 * controllers, and reports how it went.
 */
#include "sim_debugger.h"
#include "sim_experiment.h"
#include "sim_failures.h"
#include "sim_output.h"
#include "sim_progress.h"
#include "sim_world.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

struct SOptions {
  std::string Experiment;
  std::optional<uint64_t> Steps;
  std::optional<uint32_t> Seed;
  bool AllErrors = false;
  std::optional<vesksim::SDebugTarget> Debug;
  std::string Csv, Svg;
  bool Progress = true;
  bool Summary = true;
  unsigned Threads = 0; // 0: one per core
};

void Usage() {
  std::fprintf(stderr,
               "Usage: vesksim EXPERIMENT.argos [options]\n"
               "  --steps N      run N steps instead of the experiment's length\n"
               "  --seed N       use N instead of the experiment's random_seed\n"
               "  --csv FILE     write every robot's pose at every step to FILE\n"
               "  --svg FILE     draw the arena and the robots' paths into FILE\n"
               "  --threads N    step the robots' controllers on N threads\n"
               "                 (default: one per core; the run is the same)\n"
               "  --all-errors   print every script failure report of every step\n"
               "  --debug ROBOT[@STEP]\n"
               "                 debug ROBOT's script from its start (or from step\n"
               "                 STEP) with the debugger's commands on standard input\n"
               "  --no-progress  no progress bar on standard error\n"
               "  --quiet        neither progress bar nor summary\n"
               "  --help         this text\n");
}

// More threads than this are surely a typing error.
constexpr uint64_t MAX_THREADS = 1024;

// One thread per core, or one when the number of cores is unknown.
unsigned DefaultThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

// Reads the value of option str_option: a whole number up to un_max.
bool WholeNumber(const std::string &str_option, const std::string &str_value,
                 uint64_t un_max, uint64_t &un_out) {
  char *pchEnd = nullptr;
  errno = 0;
  const unsigned long long unValue = std::strtoull(str_value.c_str(), &pchEnd, 10);
  if (str_value.empty() || *pchEnd != '\0' || errno != 0 || str_value[0] == '-' ||
      unValue > un_max) {
    std::fprintf(stderr, "vesksim: %s needs a whole number, got \"%s\"\n",
                 str_option.c_str(), str_value.c_str());
    return false;
  }
  un_out = unValue;
  return true;
}

// Returns the exit status to leave with, or -1 to go on.
int ParseOptions(int argc, char **argv, SOptions &s_opts) {
  for (int i = 1; i < argc; ++i) {
    const std::string strArg = argv[i];
    auto Value = [&](std::string &str_out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "vesksim: option %s needs a value\n", strArg.c_str());
        return false;
      }
      str_out = argv[++i];
      return true;
    };
    std::string strValue;
    if (strArg == "--help" || strArg == "-h") {
      Usage();
      return 0;
    } else if (strArg == "--steps") {
      if (!Value(strValue)) return 2;
      uint64_t unSteps;
      if (!WholeNumber(strArg, strValue, UINT64_MAX, unSteps)) return 2;
      s_opts.Steps = unSteps;
    } else if (strArg == "--seed") {
      if (!Value(strValue)) return 2;
      uint64_t unSeed;
      if (!WholeNumber(strArg, strValue, UINT32_MAX, unSeed)) return 2;
      s_opts.Seed = static_cast<uint32_t>(unSeed);
    } else if (strArg == "--threads") {
      if (!Value(strValue)) return 2;
      uint64_t unThreads;
      if (!WholeNumber(strArg, strValue, MAX_THREADS, unThreads)) return 2;
      if (unThreads == 0) {
        std::fprintf(stderr, "vesksim: --threads needs at least 1\n");
        return 2;
      }
      s_opts.Threads = static_cast<unsigned>(unThreads);
    } else if (strArg == "--debug") {
      if (!Value(strValue)) return 2;
      s_opts.Debug.emplace();
      if (!vesksim::ParseDebugTarget(strValue, *s_opts.Debug)) return 2;
    } else if (strArg == "--all-errors") {
      s_opts.AllErrors = true;
    } else if (strArg == "--csv") {
      if (!Value(s_opts.Csv)) return 2;
    } else if (strArg == "--svg") {
      if (!Value(s_opts.Svg)) return 2;
    } else if (strArg == "--no-progress") {
      s_opts.Progress = false;
    } else if (strArg == "--quiet") {
      s_opts.Progress = s_opts.Summary = false;
    } else if (strArg.size() > 1 && strArg[0] == '-') {
      std::fprintf(stderr, "vesksim: unknown option \"%s\"\n", strArg.c_str());
      Usage();
      return 2;
    } else if (s_opts.Experiment.empty()) {
      s_opts.Experiment = strArg;
    } else {
      std::fprintf(stderr, "vesksim: more than one experiment file given\n");
      Usage();
      return 2;
    }
  }
  if (s_opts.Experiment.empty()) {
    Usage();
    return 2;
  }
  return -1;
}

using namespace argos;

int Run(const SOptions &s_opts) {
  const vesksim::SExperiment sExperiment =
      vesksim::LoadExperiment(s_opts.Experiment, s_opts.Seed);
  const uint64_t unSteps = s_opts.Steps.value_or(sExperiment.Steps);
  if (unSteps == 0) {
    std::fprintf(stderr,
                 "vesksim: %s: the experiment's length is 0 (unlimited); "
                 "give the number of steps with --steps N\n",
                 s_opts.Experiment.c_str());
    return 1;
  }
  // Output files first, so that a path that cannot be written fails at once.
  std::unique_ptr<vesksim::CCsvWriter> pcCsv;
  if (!s_opts.Csv.empty()) pcCsv = std::make_unique<vesksim::CCsvWriter>(s_opts.Csv);
  std::unique_ptr<vesksim::CSvgWriter> pcSvg;
  if (!s_opts.Svg.empty()) pcSvg = std::make_unique<vesksim::CSvgWriter>(s_opts.Svg);
  vesksim::CFailureLog cFailures(stderr, s_opts.AllErrors);
  // Made before the world, so that it can stop a robot's script at Init.
  std::unique_ptr<vesksim::CDebugger> pcDebugger;
  if (s_opts.Debug)
    pcDebugger =
        std::make_unique<vesksim::CDebugger>(*s_opts.Debug, stdin, isatty(STDIN_FILENO));
  vesksim::CWorld cWorld(sExperiment);
  cWorld.SetThreads(s_opts.Threads != 0 ? s_opts.Threads : DefaultThreads());
  // The debugged robot steps on this thread, which reads the terminal.
  if (s_opts.Debug) cWorld.SetSequentialRobot(s_opts.Debug->Robot);
  // The session ends before the world destroys the robots' VMs.
  struct SDetach {
    vesksim::CDebugger *Debugger;
    ~SDetach() {
      if (Debugger) Debugger->Detach();
    }
  } sDetach{pcDebugger.get()};
  LOG.Flush();
  LOGERR.Flush();
  if (pcCsv) pcCsv->WriteStep(0, cWorld);
  std::unique_ptr<vesksim::CTrajectories> pcPaths;
  if (pcSvg) pcPaths = std::make_unique<vesksim::CTrajectories>(cWorld, unSteps);
  // A progress bar would write over the debugger's dialogue.
  vesksim::CProgress cProgress(unSteps, s_opts.Progress && !pcDebugger);
  const auto tStart = std::chrono::steady_clock::now();
  uint64_t unDone = 0;
  while (unDone < unSteps) {
    const uint64_t unStep = unDone + 1;
    if (pcDebugger && !pcDebugger->BeforeStep(unStep, cWorld)) return 2;
    cProgress.Hide();
    cFailures.SetStep(unStep);
    cWorld.Step();
    if (pcCsv) pcCsv->WriteStep(unStep, cWorld);
    if (pcPaths) pcPaths->Record(unStep, cWorld);
    cProgress.Update(unStep);
    unDone = unStep;
    // quit in the debugger ends the experiment here.
    if (pcDebugger && pcDebugger->Quitted()) break;
  }
  const double fSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
  cProgress.Finish();
  if (pcSvg) pcSvg->Write(cWorld, *pcPaths);
  if (s_opts.Summary)
    std::fprintf(stderr,
                 "vesksim: %llu steps, %zu robots, %.3f s wall time, %.1f steps/s\n",
                 static_cast<unsigned long long>(unDone), cWorld.GetNumRobots(), fSeconds,
                 fSeconds > 0 ? unDone / fSeconds : 0.0);
  cFailures.Summarize();
  return cFailures.GetNumFailedRobots() > 0 ? 1 : 0;
}

} // namespace

using namespace argos;

int main(int argc, char **argv) {
  vesksim::UsePlainLogs();
  SOptions sOpts;
  const int nStatus = ParseOptions(argc, argv, sOpts);
  if (nStatus >= 0) return nStatus;
  try {
    return Run(sOpts);
  } catch (std::exception &ex) {
    LOG.Flush();
    LOGERR.Flush();
    std::cerr << "vesksim: " << ex.what() << std::endl;
    return 1;
  }
}
