/*
 * Loop functions for the tests in ARGoS: they reset the experiment once,
 * after the step given as "step" (default 3), as the GUI's reset button
 * would; the run then goes on from step 0.
 */
#include <argos3/core/simulator/loop_functions.h>
#include <argos3/core/simulator/simulator.h>
#include <argos3/core/simulator/space/space.h>

namespace {

class CVeskResetOnce : public argos::CLoopFunctions {
public:
  void Init(argos::TConfigurationNode &t_node) override {
    argos::GetNodeAttributeOrDefault(t_node, "step", m_unStep, m_unStep);
  }

  void PostStep() override {
    if (m_bDone || GetSpace().GetSimulationClock() != m_unStep) return;
    m_bDone = true; /* kept by the reset, so that it happens once */
    GetSimulator().Reset();
  }

private:
  argos::UInt32 m_unStep = 3;
  bool m_bDone = false;
};

} // namespace

using argos::CLoopFunctions;
REGISTER_LOOP_FUNCTIONS(CVeskResetOnce, "vesk_reset_once")
