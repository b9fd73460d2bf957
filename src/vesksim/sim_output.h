/*
 * What vesksim writes besides the robots' logs: every robot's pose per step
 * as CSV, and a picture of the run as SVG (arena, walls, trajectories, and
 * each robot's final position with the label the GUI draws above it).
 */
#ifndef VESKSIM_OUTPUT_H
#define VESKSIM_OUTPUT_H

#include "sim_world.h"
#include <fstream>
#include <string>
#include <vector>

namespace vesksim {

// "R" and the robot's numeric id, then ": " and its debug text when the
// script set one. For controllers that are not Vesk controllers the id is
// the entity id without its first two characters.
std::string RobotLabel(SBody &s_body);

// The colour of the robot's first LED as "#rrggbb" ("" without LEDs): the
// foot-bots' scripts set all of them at once.
std::string LEDColour(const SBody &s_body);

// Writes "step,robot,x,y,z,yaw,leds,debug" rows, one per robot: metres and
// radians, the LED colour (see LEDColour) and the script's debug text
// (quoted as CSV when it needs to be).
class CCsvWriter {
public:
  // Throws std::runtime_error when the file cannot be created.
  explicit CCsvWriter(const std::string &str_path);
  void WriteStep(uint64_t un_step, const CWorld &c_world);

private:
  std::string m_strPath;
  std::ofstream m_cOut;
};

// Keeps each robot's path, sampling at most MAX_POINTS points per robot so
// that long runs still make a small picture.
class CTrajectories {
public:
  static constexpr size_t MAX_POINTS = 1000;
  CTrajectories(const CWorld &c_world, uint64_t un_steps);
  void Record(uint64_t un_step, const CWorld &c_world);
  const std::vector<std::vector<CVector2>> &Paths() const { return m_vecPaths; }

private:
  uint64_t m_unEvery;
  std::vector<std::vector<CVector2>> m_vecPaths;
};

// An SVG file opened when the run starts, so that a path that cannot be
// written fails before the robots run; Write draws the picture at the end.
// Both throw std::runtime_error when the file cannot be written.
class CSvgWriter {
public:
  explicit CSvgWriter(const std::string &str_path);
  void Write(CWorld &c_world, const CTrajectories &c_paths);

private:
  static std::string BodyFill(const SBody &s_body);
  std::string m_strPath;
  std::ofstream m_cOut;
};

} // namespace vesksim

#endif
