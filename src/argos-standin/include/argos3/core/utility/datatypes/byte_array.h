/*
 * Growable byte buffer used as the payload of robot-to-robot messages.
 * Multi-byte numbers are stored big-endian (network order); values are
 * appended at the back and extracted (and removed) from the front.
 */
#ifndef ARGOS_BYTE_ARRAY_H
#define ARGOS_BYTE_ARRAY_H

#include <argos3/core/utility/datatypes/datatypes.h>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <sys/types.h>
#include <vector>

namespace argos {

class CByteArray {
public:
  CByteArray() {}
  CByteArray(const CByteArray &c_other) = default;
  CByteArray(const UInt8 *pun_buffer, size_t un_size);
  CByteArray(size_t un_size, UInt8 un_value = 0) : m_vecBuffer(un_size, un_value) {}

  size_t Size() const { return m_vecBuffer.size(); }
  bool Empty() const { return m_vecBuffer.empty(); }
  void Resize(size_t un_size, UInt8 un_value = 0) {
    m_vecBuffer.resize(un_size, un_value);
  }
  void Swap(CByteArray &c_other) { m_vecBuffer.swap(c_other.m_vecBuffer); }
  void Clear() { m_vecBuffer.clear(); }
  // Sets every byte to zero, keeping the size.
  void Zero();

  // Null when the array is empty.
  const UInt8 *ToCArray() const {
    return m_vecBuffer.empty() ? nullptr : m_vecBuffer.data();
  }
  UInt8 *ToCArray() { return m_vecBuffer.empty() ? nullptr : m_vecBuffer.data(); }

  CByteArray &operator=(const CByteArray &c_other) = default;
  bool operator==(const CByteArray &c_other) const {
    return m_vecBuffer == c_other.m_vecBuffer;
  }

  // Both throw CARGoSException for an index past the end.
  UInt8 &operator[](size_t un_index);
  UInt8 operator[](size_t un_index) const;

  // Appends un_size bytes.
  CByteArray &AddBuffer(const UInt8 *pun_buffer, size_t un_size);
  // Copies the first un_size bytes out and removes them; throws if fewer
  // are left.
  CByteArray &FetchBuffer(UInt8 *pun_buffer, size_t un_size);

  template <typename T> T PopFront() {
    T t_buffer;
    *this >> t_buffer;
    return t_buffer;
  }

  // A new array (owned by the caller) holding bytes [un_start, un_end), or
  // up to the end when un_end is negative or past the end. Throws when
  // un_start is not inside the array or un_end lies before it.
  CByteArray *operator()(size_t un_start, ssize_t un_end = -1);

  // The overload is chosen by the static type: an int literal takes four
  // bytes, a size_t eight. Cast to the width you mean.
  CByteArray &operator<<(UInt8 un_value);
  CByteArray &operator>>(UInt8 &un_value);
  CByteArray &operator<<(SInt8 n_value);
  CByteArray &operator>>(SInt8 &n_value);
  CByteArray &operator<<(UInt16 un_value);
  CByteArray &operator>>(UInt16 &un_value);
  CByteArray &operator<<(SInt16 n_value);
  CByteArray &operator>>(SInt16 &n_value);
  CByteArray &operator<<(UInt32 un_value);
  CByteArray &operator>>(UInt32 &un_value);
  CByteArray &operator<<(SInt32 n_value);
  CByteArray &operator>>(SInt32 &n_value);
  CByteArray &operator<<(UInt64 un_value);
  CByteArray &operator>>(UInt64 &un_value);
  CByteArray &operator<<(SInt64 n_value);
  CByteArray &operator>>(SInt64 &n_value);
  CByteArray &operator<<(unsigned long int un_value);
  CByteArray &operator>>(unsigned long int &un_value);
  CByteArray &operator<<(signed long int n_value);
  CByteArray &operator>>(signed long int &n_value);
  // Floating-point numbers take 12 bytes: a signed 64-bit mantissa and a
  // signed 32-bit exponent, so finite values travel exactly whatever the
  // host's floating-point layout. NaN reads back as 0.
  CByteArray &operator<<(double f_value);
  CByteArray &operator>>(double &f_value);
  CByteArray &operator<<(float f_value);
  CByteArray &operator>>(float &f_value);
  // Strings travel NUL-terminated. Extraction throws from an empty array
  // and when no NUL is left.
  CByteArray &operator<<(const std::string &str_value);
  CByteArray &operator>>(std::string &str_value);

  // "CByteArray [ 1 2 255 ]" followed by std::endl.
  friend std::ostream &operator<<(std::ostream &c_os, const CByteArray &c_byte_array);

private:
  void AppendBigEndian(UInt64 un_value, size_t un_bytes);
  UInt64 ExtractBigEndian(size_t un_bytes);
  void CheckAvailable(size_t un_requested) const;

  std::vector<UInt8> m_vecBuffer;
};

} // namespace argos

#endif
