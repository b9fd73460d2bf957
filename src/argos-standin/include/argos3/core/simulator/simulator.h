/*
 * The simulator singleton and the space it runs.
 */
#ifndef ARGOS_SIMULATOR_H
#define ARGOS_SIMULATOR_H

#include <argos3/core/simulator/space/space.h>

namespace argos {

class CSimulator {
public:
  static CSimulator &GetInstance();
  CSpace &GetSpace() { return m_cSpace; }

private:
  CSimulator() {}
  CSimulator(const CSimulator &) = delete;
  CSimulator &operator=(const CSimulator &) = delete;

  CSpace m_cSpace;
};

} // namespace argos

#endif
