/*
 * vesksim benchmark: N foot-bots for S steps, each broadcasting once per
 * step and driving in circles. The robots stand on a jittered grid one metre
 * apart with a radio range of 1.5 m, so each hears about seven others
 * whatever N is: the time per robot-step shows whether the world scales
 * (grid queries) or not (all pairs). Modes:
 *   world:     a minimal C++ controller with the proximity ring on (the cost
 *              of the world: kinematics, collisions, radio, ring);
 *   vesk-send: the foot-bot controller running a Vesk script that only
 *              broadcasts a value with neighbors.broadcast every step (the
 *              controller still builds the neighbour table from what each
 *              robot hears; the messages find no listener);
 *   vesk:      the same script also listening to the topic and counting
 *              what it hears (one callback per message; radio and wheels);
 *   vesk-ring: the same with the proximity ring, whose table of 24 readings
 *              the controller rebuilds for the script every step.
 *   bench_vesksim [--threads T] MODE [STEPS [N...]]
 * defaults: 1 thread (the controllers' steps on T threads, as vesksim
 * --threads does), 1000 steps, 100 1000 5000 robots. Besides the wall time
 * it prints the resident memory the world added, per robot, and the
 * processor time of all threads during the steps.
 */
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "sim_world.h"
#include <argos3/core/control_interface/ci_controller.h>
#include <argos3/plugins/robots/generic/control_interface/ci_differential_steering_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_actuator.h>
#include <argos3/plugins/robots/generic/control_interface/ci_range_and_bearing_sensor.h>
#include "veskbuild.h"

namespace {

const char *const SCRIPT = R"(
received = 0
function init() {
  if (listening) {
    neighbors.listen("ping", function(topic, value, robot) { received = received + 1 })
  }
  set_wheels(5.0, 4.0)
}
function step() {
  neighbors.broadcast("ping", id)
}
)";

// Sends its id and step in every packet and drives in circles: the world's
// share of a step with as little controller work as possible.
class CBenchController : public argos::CCI_Controller {
public:
  void Init(argos::TConfigurationNode &) override {
    m_pcRAB = GetActuator<argos::CCI_RangeAndBearingActuator>("range_and_bearing");
    m_pcHeard = GetSensor<argos::CCI_RangeAndBearingSensor>("range_and_bearing");
    GetActuator<argos::CCI_DifferentialSteeringActuator>("differential_steering")
        ->SetLinearVelocity(5, 4);
  }
  void ControlStep() override {
    ++m_unStep;
    m_unHeard += m_pcHeard->GetReadings().size();
    m_pcRAB->SetData(0, static_cast<argos::UInt8>(m_unStep));
  }

private:
  argos::CCI_RangeAndBearingActuator *m_pcRAB = nullptr;
  argos::CCI_RangeAndBearingSensor *m_pcHeard = nullptr;
  argos::UInt32 m_unStep = 0;
  size_t m_unHeard = 0;
};

// Resident memory of this process, bytes.
size_t ResidentBytes() {
  std::ifstream cStatm("/proc/self/statm");
  size_t unPages = 0, unResident = 0;
  cStatm >> unPages >> unResident;
  return unResident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Writes the script and builds bench.vo and bench.vdb in dir, as vsk build does.
bool Build(const std::filesystem::path &c_dir, bool b_listening) {
  const std::string strSource = (c_dir / "bench.vsk").string();
  std::ofstream(strSource) << "listening = " << (b_listening ? 1 : 0) << SCRIPT;
  return veskbuild_files(strSource.c_str()) == 0;
}

struct SResult {
  double Seconds = 0;
  double PacketsPerStep = 0;
  double BytesPerRobot = 0; // resident memory the world added, after the run
  double CpuSeconds = 0;    // processor time of all threads during the steps
};

SResult Run(const std::string &str_label, bool b_ring, const std::filesystem::path &c_dir,
            size_t un_robots, uint64_t un_steps, unsigned un_threads) {
  const size_t unResidentBefore = ResidentBytes();
  ticpp::Document cDoc;
  cDoc.Parse("<" + str_label +
             " id=\"fbc\"><actuators><range_and_bearing/>"
             "<differential_steering/></actuators><sensors><range_and_bearing/>" +
             (b_ring ? "<footbot_proximity/>" : "") +
             "</sensors><params bytecode_file=\"" + (c_dir / "bench.vo").string() +
             "\" debug_file=\"" + (c_dir / "bench.vdb").string() + "\"/></" + str_label +
             ">");
  const size_t unSide = static_cast<size_t>(std::ceil(std::sqrt(double(un_robots))));
  const double fSide = double(unSide) + 1;
  vesksim::CWorld cWorld(10, argos::CVector3(fSide, fSide, 1), argos::CVector3(0, 0, 0.5),
                         {});
  for (size_t i = 0; i < un_robots; ++i) {
    vesksim::SRobotSpec sSpec;
    sSpec.Id = "fb" + std::to_string(i);
    // A fixed jitter keeps the grid from being perfectly regular.
    const double fJx = 0.2 * std::sin(i * 12.9898), fJy = 0.2 * std::cos(i * 78.233);
    sSpec.Position.Set(double(i % unSide) - fSide / 2 + 1 + fJx,
                       double(i / unSide) - fSide / 2 + 1 + fJy, 0);
    sSpec.Yaw = i * 0.7;
    sSpec.RABRange = 1.5;
    sSpec.RABDataSize = 100;
    cWorld.AddRobot(sSpec, *cDoc.FirstChildElement());
  }
  cWorld.SetThreads(un_threads);
  size_t unPackets = 0;
  const std::clock_t tCpuStart = std::clock();
  const auto tStart = std::chrono::steady_clock::now();
  for (uint64_t s = 0; s < un_steps; ++s) {
    cWorld.Step();
  }
  SResult sResult;
  sResult.CpuSeconds = double(std::clock() - tCpuStart) / CLOCKS_PER_SEC;
  sResult.Seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
  for (size_t i = 0; i < cWorld.GetNumRobots(); ++i)
    unPackets += cWorld.GetBody(i).RABIn->GetReadings().size();
  sResult.PacketsPerStep = double(unPackets);
  sResult.BytesPerRobot =
      (double(ResidentBytes()) - double(unResidentBefore)) / double(un_robots);
  return sResult;
}

} // namespace

int main(int argc, char **argv) {
  unsigned unThreads = 1;
  if (argc > 2 && std::string(argv[1]) == "--threads") {
    unThreads = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    argc -= 2;
    argv += 2;
  }
  const std::string strMode = argc > 1 ? argv[1] : "";
  if (unThreads == 0 || (strMode != "world" && strMode != "vesk-send" &&
                         strMode != "vesk" && strMode != "vesk-ring")) {
    std::fprintf(stderr,
                 "Usage: bench_vesksim [--threads T] world|vesk-send|vesk|vesk-ring "
                 "[STEPS [ROBOTS...]]\n");
    return 2;
  }
  const std::string strLabel =
      strMode == "world" ? "bench_vesksim_controller" : "vesk_controller_footbot";
  const uint64_t unSteps = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000;
  std::vector<size_t> vecSizes;
  for (int i = 3; i < argc; ++i)
    vecSizes.push_back(std::strtoul(argv[i], nullptr, 10));
  if (vecSizes.empty()) vecSizes = {100, 1000, 5000};
  const std::filesystem::path cDir = std::filesystem::temp_directory_path() /
                                     ("bench-vesksim-" + std::to_string(getpid()));
  std::filesystem::create_directories(cDir);
  if (!Build(cDir, strMode != "vesk-send")) {
    std::fprintf(stderr, "bench_vesksim: the benchmark script does not build\n");
    return 1;
  }
  std::printf("%8s %8s %10s %12s %16s %14s %8s %14s %12s\n", "robots", "steps", "seconds",
              "steps/s", "us/robot-step", "packets/step", "threads", "bytes/robot",
              "cpu-seconds");
  for (size_t unRobots : vecSizes) {
    SResult sResult;
    try {
      const bool bRing = strMode == "world" || strMode == "vesk-ring";
      sResult = Run(strLabel, bRing, cDir, unRobots, unSteps, unThreads);
    } catch (std::exception &ex) {
      std::fprintf(stderr, "bench_vesksim: %s\n", ex.what());
      std::filesystem::remove_all(cDir);
      return 1;
    }
    const double fSeconds = sResult.Seconds;
    std::printf("%8zu %8llu %10.2f %12.1f %16.2f %14.0f %8u %14.0f %12.2f\n", unRobots,
                static_cast<unsigned long long>(unSteps), fSeconds, unSteps / fSeconds,
                fSeconds * 1e6 / (double(unSteps) * unRobots), sResult.PacketsPerStep,
                unThreads, sResult.BytesPerRobot, sResult.CpuSeconds);
    std::fflush(stdout);
  }
  std::filesystem::remove_all(cDir);
  return 0;
}

REGISTER_CONTROLLER(CBenchController, "bench_vesksim_controller")
