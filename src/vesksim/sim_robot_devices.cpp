/*
 * Simulated robot devices of the headless world.
 */
#include "sim_robot_devices.h"

namespace vesksim {

CRadians SPose::Yaw() const {
  CRadians cZ, cY, cX;
  Orientation.ToEulerAngles(cZ, cY, cX);
  return cZ;
}

CRangeAndBearingActuator::CRangeAndBearingActuator(size_t un_payload_size) {
  m_cData.Resize(un_payload_size, 0);
}

void CRangeAndBearingSensor::AddReading(Real f_range_cm, const CRadians &c_horizontal,
                                        const CRadians &c_vertical,
                                        const CByteArray &c_data) {
  SPacket sPacket;
  sPacket.Range = f_range_cm;
  sPacket.HorizontalBearing = c_horizontal;
  sPacket.VerticalBearing = c_vertical;
  sPacket.Data = c_data;
  m_tReadings.push_back(sPacket);
}

void CDifferentialSteeringActuator::SetLinearVelocity(Real f_left_velocity,
                                                      Real f_right_velocity) {
  m_fCurrentVelocity[0] = f_left_velocity;
  m_fCurrentVelocity[1] = f_right_velocity;
  ++m_unCommands;
}

void CDifferentialSteeringActuator::Reset() {
  m_fCurrentVelocity[0] = 0;
  m_fCurrentVelocity[1] = 0;
}

CLEDsActuator::CLEDsActuator(size_t un_num_leds) {
  m_tSettings.assign(un_num_leds, CColor::BLACK);
}

void CFootBotProximitySensor::SetValue(size_t un_index, Real f_value) {
  if (un_index >= m_tReadings.size())
    THROW_ARGOSEXCEPTION("Proximity reading " << un_index
                                              << " does not exist (the sensor has "
                                              << m_tReadings.size() << ")");
  m_tReadings[un_index].Value = f_value;
}

void CFootBotProximitySensor::SetValues(const std::vector<Real> &vec_values) {
  if (vec_values.size() != m_tReadings.size())
    THROW_ARGOSEXCEPTION("Expected " << m_tReadings.size() << " proximity values, got "
                                     << vec_values.size());
  for (size_t i = 0; i < vec_values.size(); ++i)
    m_tReadings[i].Value = vec_values[i];
}

void CFootBotProximitySensor::Reset() {
  for (SReading &sReading : m_tReadings)
    sReading.Value = 0;
}

CPositioningSensor::CPositioningSensor(const SPose *ps_pose) : m_psPose(ps_pose) {
  Update();
}

void CPositioningSensor::SetReading(const CVector3 &c_position,
                                    const CQuaternion &c_orientation) {
  m_sReading.Position = c_position;
  m_sReading.Orientation = c_orientation;
  m_sReading.Orientation.ToAngleAxis(m_cAngle, m_cAxis);
}

void CPositioningSensor::Update() {
  if (m_psPose != nullptr) SetReading(m_psPose->Position, m_psPose->Orientation);
}

CQuadRotorPositionActuator::CQuadRotorPositionActuator(const SPose *ps_pose)
    : m_psPose(ps_pose) {
  Reset();
}

SPose CQuadRotorPositionActuator::CurrentPose() const {
  return m_psPose != nullptr ? *m_psPose : SPose();
}

void CQuadRotorPositionActuator::SetAbsolutePosition(const CVector3 &c_pos) {
  m_cTargetPosition = c_pos;
  m_vecCommands.push_back({ECommand::ABSOLUTE_POSITION, c_pos, CRadians()});
}

void CQuadRotorPositionActuator::SetRelativePosition(const CVector3 &c_pos) {
  const SPose sPose = CurrentPose();
  CVector3 cWorldOffset = c_pos;
  cWorldOffset.Rotate(sPose.Orientation);
  m_cTargetPosition = sPose.Position + cWorldOffset;
  m_vecCommands.push_back({ECommand::RELATIVE_POSITION, c_pos, CRadians()});
}

void CQuadRotorPositionActuator::SetAbsoluteYaw(const CRadians &c_yaw) {
  m_cTargetYaw = c_yaw;
  m_vecCommands.push_back({ECommand::ABSOLUTE_YAW, CVector3(), c_yaw});
}

void CQuadRotorPositionActuator::SetRelativeYaw(const CRadians &c_yaw) {
  m_cTargetYaw = CurrentPose().Yaw() + c_yaw;
  m_vecCommands.push_back({ECommand::RELATIVE_YAW, CVector3(), c_yaw});
}

void CQuadRotorPositionActuator::Reset() {
  const SPose sPose = CurrentPose();
  m_cTargetPosition = sPose.Position;
  m_cTargetYaw = sPose.Yaw();
}

CColoredBlobPerspectiveCameraSensor::~CColoredBlobPerspectiveCameraSensor() {
  ClearBlobs();
}

void CColoredBlobPerspectiveCameraSensor::ClearBlobs() {
  for (SBlob *psBlob : m_sReadings.BlobList)
    delete psBlob;
  m_sReadings.BlobList.clear();
}

void CColoredBlobPerspectiveCameraSensor::Update() {
  if (!IsEnabled()) return;
  ClearBlobs();
  for (const SBlob &sBlob : m_vecVisible)
    m_sReadings.BlobList.push_back(new SBlob(sBlob));
  ++m_sReadings.Counter;
}

void CColoredBlobPerspectiveCameraSensor::Reset() {
  ClearBlobs();
  m_sReadings.Counter = 0;
}

} // namespace vesksim
