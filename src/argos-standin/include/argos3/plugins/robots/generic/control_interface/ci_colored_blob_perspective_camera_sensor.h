/*
 * Camera that reports the coloured lights it sees as blobs in a 640x480
 * image. It starts disabled; while disabled its blob list is not updated.
 */
#ifndef ARGOS_CI_COLORED_BLOB_PERSPECTIVE_CAMERA_SENSOR_H
#define ARGOS_CI_COLORED_BLOB_PERSPECTIVE_CAMERA_SENSOR_H

#include <argos3/core/control_interface/ci_sensor.h>
#include <argos3/core/utility/datatypes/color.h>
#include <vector>

namespace argos {

class CCI_ColoredBlobPerspectiveCameraSensor : public CCI_Sensor {
public:
  struct SBlob {
    CColor Color;
    SInt32 X; // pixels from the left edge
    SInt32 Y; // pixels from the top edge
    SBlob() : Color(CColor::BLACK), X(0), Y(0) {}
    SBlob(const CColor &c_color, SInt32 n_x, SInt32 n_y)
        : Color(c_color), X(n_x), Y(n_y) {}
  };
  // The blobs are owned by the sensor.
  typedef std::vector<SBlob *> TBlobList;
  struct SReadings {
    TBlobList BlobList;
    UInt64 Counter; // +1 per update while enabled
    SReadings() : Counter(0) {}
  };

  virtual ~CCI_ColoredBlobPerspectiveCameraSensor() {}
  const SReadings &GetReadings() const { return m_sReadings; }

protected:
  SReadings m_sReadings;
};

} // namespace argos

#endif
