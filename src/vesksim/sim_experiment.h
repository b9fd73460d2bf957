/*
 * Reads an ARGoS experiment file (.argos) into what the headless world needs:
 * the clock, the controller definitions, the arena with its walls, and every
 * robot with its pose, radio settings and controller. Robots placed by
 * <distribute> are drawn here from the experiment's random seed, so the same
 * file always gives the same arena.
 */
#ifndef VESKSIM_EXPERIMENT_H
#define VESKSIM_EXPERIMENT_H

#include "sim_geometry.h"
#include <argos3/core/utility/configuration/argos_configuration.h>
#include <argos3/core/utility/math/vector3.h>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vesksim {

using argos::CVector3;

// A malformed or unsupported experiment; what() is "file:line: message".
class CExperimentError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

enum class ERobotKind { FOOT_BOT, SPIRI };

// Body radii, metres: what collisions, placement and the proximity ring use.
constexpr Real FOOTBOT_RADIUS = 0.085;
constexpr Real SPIRI_RADIUS = 0.25;

Real RadiusOf(ERobotKind e_kind);
const char *NameOf(ERobotKind e_kind); // "foot-bot", "spiri"

// One controller definition of <controllers>: its own XML document, since
// the robot harness configures the controller from that element.
struct SControllerConfig {
  std::string Id;
  std::string Label; // the element's tag: the controller's registration label
  std::shared_ptr<ticpp::Document> Document;
  argos::TConfigurationNode &Node() const { return *Document->FirstChildElement(); }
};

struct SRobotSpec {
  std::string Id;
  ERobotKind Kind = ERobotKind::FOOT_BOT;
  CVector3 Position; // metres
  Real Yaw = 0;      // radians
  Real RABRange = 3; // metres
  size_t RABDataSize = 10;
  std::string ControllerId; // key into SExperiment::Controllers
};

struct SExperiment {
  std::string Path;
  uint64_t Steps = 0; // 0: the file asks for an unlimited run
  Real TicksPerSecond = 10;
  uint32_t RandomSeed = 0; // also the base of every robot's generator
  CVector3 ArenaSize;
  CVector3 ArenaCenter;
  std::vector<SWall> Walls;
  std::map<std::string, SControllerConfig> Controllers;
  std::vector<SRobotSpec> Robots; // in the order of the file
};

// Both throw CExperimentError. o_seed, when given, replaces the file's
// random_seed (placement and the robots' generators).
SExperiment LoadExperiment(const std::string &str_path,
                           std::optional<uint32_t> o_seed = std::nullopt);
SExperiment ParseExperiment(const std::string &str_text, const std::string &str_name,
                            std::optional<uint32_t> o_seed = std::nullopt);

} // namespace vesksim

#endif
