/*
 * The spiri controller: flight commands, camera switch and the position,
 * orientation and blob tables.
 */
#include "vesk_controller_spiri.h"

#include <argos3/core/utility/math/general.h>

using namespace argos;

namespace {

/* A native calling a command that takes no arguments and returns nothing. */
template <void (CVeskControllerSpiri::*COMMAND)()> int SpiriCommand(veskvm_t t_vm) {
  CVeskControllerSpiri *pcController = VeskControllerAs<CVeskControllerSpiri>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  (pcController->*COMMAND)();
  return veskvm_ret0(t_vm);
}

/* A native returning 1 when the flight command was issued, else 0. */
template <bool (CVeskControllerSpiri::*COMMAND)()> int FlightCommand(veskvm_t t_vm) {
  CVeskControllerSpiri *pcController = VeskControllerAs<CVeskControllerSpiri>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  veskvm_pushi(t_vm, (pcController->*COMMAND)() ? 1 : 0);
  return veskvm_ret1(t_vm);
}

} // namespace

CVeskControllerSpiri::CVeskControllerSpiri()
    : m_pcPropellers(nullptr), m_pcCamera(nullptr), m_pcPosition(nullptr) {}

void CVeskControllerSpiri::Init(TConfigurationNode &t_node) {
  m_pcPropellers =
      GetOptionalActuator<CCI_QuadRotorPositionActuator>("quadrotor_position");
  m_pcCamera = GetOptionalSensor<CCI_ColoredBlobPerspectiveCameraSensor>(
      "colored_blob_perspective_camera");
  m_pcPosition = GetOptionalSensor<CCI_PositioningSensor>("positioning");
  try {
    CVeskController::Init(t_node);
  } catch (CARGoSException &ex) {
    THROW_ARGOSEXCEPTION_NESTED("Error initializing the Vesk controller for the spiri",
                                ex);
  }
}

int CVeskControllerSpiri::RegisterFunctions() {
  const int nState = CVeskController::RegisterFunctions();
  if (nState != VESKVM_STATE_READY) return nState;
  if (m_pcPropellers && m_pcPosition) {
    RegisterNative("takeoff", VeskTakeOff);
    RegisterNative("land", VeskLand);
  }
  if (m_pcPropellers) {
    RegisterNative("goto", VeskGoTo);
    RegisterNative("rotate", VeskRotate);
  }
  if (m_pcCamera) {
    RegisterNative("camera_enable", VeskCameraEnable);
    RegisterNative("camera_disable", VeskCameraDisable);
  }
  return m_tVeskVM->state;
}

void CVeskControllerSpiri::UpdateSensors() {
  CVeskController::UpdateSensors();
  if (m_tVeskVM == nullptr) return;
  if (m_pcPosition) {
    const CCI_PositioningSensor::SReading &sReading = m_pcPosition->GetReading();
    Register("position", sReading.Position);
    Register("orientation", sReading.Orientation);
  }
  if (m_pcCamera) {
    veskobj_t tBlobs = NewTable();
    Register("blobs", tBlobs);
    int nIdx = 0;
    for (const CCI_ColoredBlobPerspectiveCameraSensor::SBlob *psBlob :
         m_pcCamera->GetReadings().BlobList) {
      if (psBlob == nullptr) continue;
      veskobj_t tBlob = NewTable();
      TablePut(tBlobs, nIdx++, tBlob);
      TablePut(tBlob, "px", static_cast<int>(psBlob->X));
      TablePut(tBlob, "py", static_cast<int>(psBlob->Y));
      TablePut(tBlob, "color", psBlob->Color);
    }
  }
}

bool CVeskControllerSpiri::FlyToAltitude(double f_altitude) {
  if (m_pcPropellers == nullptr || m_pcPosition == nullptr) return false;
  CVector3 cTarget = m_pcPosition->GetReading().Position;
  if (Abs(cTarget.GetZ() - f_altitude) < TOLERANCE) return false;
  cTarget.SetZ(f_altitude);
  m_pcPropellers->SetAbsolutePosition(cTarget);
  return true;
}

bool CVeskControllerSpiri::TakeOff() {
  return FlyToAltitude(FLIGHT_ALTITUDE);
}

bool CVeskControllerSpiri::Land() {
  return FlyToAltitude(GROUND_ALTITUDE);
}

void CVeskControllerSpiri::SetDirection(const CVector3 &c_direction) {
  if (m_pcPropellers == nullptr) return;
  CVector3 cStep = c_direction;
  if (cStep.SquareLength() > TOLERANCE) {
    cStep.Normalize();
    cStep *= STEP_LENGTH;
  }
  m_pcPropellers->SetRelativePosition(cStep);
}

void CVeskControllerSpiri::SetYaw(const CRadians &c_yaw) {
  if (m_pcPropellers) m_pcPropellers->SetRelativeYaw(c_yaw);
}

void CVeskControllerSpiri::CameraEnable() {
  if (m_pcCamera) m_pcCamera->Enable();
}

void CVeskControllerSpiri::CameraDisable() {
  if (m_pcCamera) m_pcCamera->Disable();
}

int CVeskControllerSpiri::VeskTakeOff(veskvm_t t_vm) {
  return FlightCommand<&CVeskControllerSpiri::TakeOff>(t_vm);
}

int CVeskControllerSpiri::VeskLand(veskvm_t t_vm) {
  return FlightCommand<&CVeskControllerSpiri::Land>(t_vm);
}

int CVeskControllerSpiri::VeskGoTo(veskvm_t t_vm) {
  double pfXY[2];
  if (!VeskNumberArgs(t_vm, 2, pfXY)) return t_vm->state;
  CVeskControllerSpiri *pcController = VeskControllerAs<CVeskControllerSpiri>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetDirection(CVector3(pfXY[0], pfXY[1], 0.0));
  return veskvm_ret0(t_vm);
}

int CVeskControllerSpiri::VeskRotate(veskvm_t t_vm) {
  double fAngle;
  if (!VeskNumberArgs(t_vm, 1, &fAngle)) return t_vm->state;
  CVeskControllerSpiri *pcController = VeskControllerAs<CVeskControllerSpiri>(t_vm);
  if (pcController == nullptr) return t_vm->state;
  pcController->SetYaw(CRadians(fAngle));
  return veskvm_ret0(t_vm);
}

int CVeskControllerSpiri::VeskCameraEnable(veskvm_t t_vm) {
  return SpiriCommand<&CVeskControllerSpiri::CameraEnable>(t_vm);
}

int CVeskControllerSpiri::VeskCameraDisable(veskvm_t t_vm) {
  return SpiriCommand<&CVeskControllerSpiri::CameraDisable>(t_vm);
}

REGISTER_CONTROLLER(CVeskControllerSpiri, "vesk_controller_spiri")
