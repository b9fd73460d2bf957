/*
 * The radio packet of a robot: how a host carries a VM's messages over a
 * range-and-bearing device whose every packet has a fixed payload size.
 *
 *   sender robot id (2 bytes),
 *   then for each message: its length L (2 bytes, L >= 1) and its L bytes,
 *   then zero padding up to the payload size; a zero length ends the packet.
 *
 * 16-bit fields are big-endian. Every host (the simulator controllers, the
 * headless simulator, test and benchmark harnesses) packs and unpacks
 * through these functions, so they all speak exactly the same format.
 */
#ifndef VESKPACKET_H
#define VESKPACKET_H

#include <stdint.h>
#include "veskdefs.h"

VESK_BEGIN_DECLS

struct veskvm_s;

/* Smallest payload: the sender id and one length field. */
#define VESKPACKET_MIN_SIZE 4

/*
 * Tells the VM the payload size of its radio. A message longer than
 * payload_size - 4 can never be sent; from now on such a message is
 * dropped with a warning when it is queued instead of waiting for ever.
 */
VESK_API void veskpacket_set_size(struct veskvm_s *vm, uint32_t payload_size);

/*
 * Receiving: adds the packet's sender as a neighbour at the given distance
 * and bearings and hands every message the packet carries to the inbound
 * queue. A length field running past the end is skipped and reading goes on
 * with the next two bytes. Returns the sender id, or -1 for a packet too
 * short to name one (nothing is done then).
 */
VESK_API int32_t veskpacket_receive(struct veskvm_s *vm, const uint8_t *packet,
                                    uint32_t size, float distance, float azimuth,
                                    float elevation);

/*
 * Sending: fills packet (exactly size bytes) with the robot id, then the
 * queued messages in queue order while the next one fits, then zeros. A
 * message that does not fit waits for a later packet, and nothing behind it
 * overtakes it; one that could not fit even an empty packet is dropped with
 * a warning. Returns the number of messages packed.
 */
VESK_API uint32_t veskpacket_build(struct veskvm_s *vm, uint8_t *packet, uint32_t size);

/* The robot id and zeros only: an announcement that carries no message. */
VESK_API void veskpacket_announce(struct veskvm_s *vm, uint8_t *packet, uint32_t size);

VESK_END_DECLS

#endif
