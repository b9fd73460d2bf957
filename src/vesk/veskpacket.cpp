/*
 * The radio packet codec: packing a VM's outbound messages into one
 * fixed-size payload and unpacking a received payload into the inbound
 * queue. Received packets come from other robots and are never trusted:
 * every length is checked against what is left of the packet.
 */
#include "veskpacket.h"

#include <algorithm>

#include "veskinmsg.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"
#include "veskvm.h"

namespace {

/* Sender id and one length field. */
const uint32_t HEADER = 2;
const uint32_t LENGTH = 2;

uint16_t read16(const uint8_t *b) {
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

void write16(uint8_t *b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}

/* Longest message an empty packet of this size carries (and its 16-bit
   length field can announce). */
uint32_t capacity(uint32_t size) {
  if (size < VESKPACKET_MIN_SIZE) return 0;
  return std::min<uint32_t>(size - HEADER - LENGTH, VESKMSG_MAX_LEN);
}

} // namespace

void veskpacket_set_size(struct veskvm_s *vm, uint32_t payload_size) {
  veskoutmsg_queue_set_maxlen(vm, capacity(payload_size));
}

int32_t veskpacket_receive(struct veskvm_s *vm, const uint8_t *packet, uint32_t size,
                           float distance, float azimuth, float elevation) {
  if (size < HEADER) return -1;
  uint16_t sender = read16(packet);
  veskneighbors_add(vm, sender, distance, azimuth, elevation);
  uint32_t pos = HEADER;
  while (size - pos > LENGTH) {
    uint16_t len = read16(packet + pos);
    pos += LENGTH;
    if (len == 0) break; /* padding */
    if (len <= size - pos) {
      veskinmsg_queue_append(vm, veskdarray_frombuffer(packet + pos, len, 1, nullptr));
      pos += len;
    }
  }
  return sender;
}

uint32_t veskpacket_build(struct veskvm_s *vm, uint8_t *packet, uint32_t size) {
  veskpacket_announce(vm, packet, size);
  uint32_t used = HEADER, packed = 0;
  while (size >= HEADER && veskoutmsg_queue_size(vm) > 0) {
    veskdarray_t msg = veskoutmsg_queue_first(vm);
    if (!msg) break;
    /* A serialised message always holds at least its kind byte. */
    const uint32_t len = static_cast<uint32_t>(veskdarray_size(msg));
    const uint8_t kind = veskdarray_get(msg, 0, uint8_t);
    if (!veskoutmsg_admit(vm, kind, len, capacity(size))) {
      veskoutmsg_queue_next(vm);
    } else if (static_cast<uint64_t>(used) + LENGTH + len > size) {
      veskdarray_destroy(&msg);
      break;
    } else {
      write16(packet + used, static_cast<uint16_t>(len));
      std::copy(msg->data, msg->data + len, packet + used + LENGTH);
      used += LENGTH + len;
      ++packed;
      veskoutmsg_queue_next(vm);
    }
    veskdarray_destroy(&msg);
  }
  return packed;
}

void veskpacket_announce(struct veskvm_s *vm, uint8_t *packet, uint32_t size) {
  std::fill(packet, packet + size, 0);
  if (size >= HEADER) write16(packet, vm->robot);
}
