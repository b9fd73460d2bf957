/*
 * Swarm harness (test support, not shipped): runs N robot VMs together
 * without a simulator. A neighbour relation says who hears whom (with
 * distance, azimuth and elevation); every step follows the host contract of
 * a robot controller and carries messages in the robots' radio packets
 * through the packet codec every host uses (veskpacket.h). A packet built in
 * one step is heard in the next.
 */
#ifndef VESKHARNESS_H
#define VESKHARNESS_H

#include <stdint.h>
#include "veskvm.h"

VESK_BEGIN_DECLS

typedef struct veskharness_s *veskharness_t;

/* Called for each VM after its bytecode is installed and before its top level runs. */
typedef void (*veskharness_setup_funp)(veskvm_t vm, uint32_t index, void *params);

/* n robots with the given ids, exchanging packets of payload_size bytes (at least 4). */
veskharness_t veskharness_new(uint32_t n, const uint16_t *ids, uint32_t payload_size);
void veskharness_destroy(veskharness_t *h);
uint32_t veskharness_size(veskharness_t h);
veskvm_t veskharness_vm(veskharness_t h, uint32_t index);
void veskharness_set_payload_size(veskharness_t h, uint32_t payload_size);

/*
 * Installs the same bytecode in every VM (the buffer must outlive the
 * harness), calls setup (may be null), runs the top level and then the
 * script function "init" when it is defined; queues the first packets
 * (each robot's id and padding). Returns the number of VMs that failed
 * (neither "ready" nor "done").
 */
uint32_t veskharness_load(veskharness_t h, const uint8_t *bcode, uint32_t size,
                          veskharness_setup_funp setup, void *params);

/* Robot `to` hears robot `from` at the given distance and bearings. */
void veskharness_link(veskharness_t h, uint32_t from, uint32_t to, float distance,
                      float azimuth, float elevation);
/* Both hear each other at that distance (azimuth and elevation 0). */
void veskharness_link_both(veskharness_t h, uint32_t a, uint32_t b, float distance);
void veskharness_unlink(veskharness_t h, uint32_t from, uint32_t to);

/*
 * One control step of every robot, in index order: reset the neighbours,
 * receive the packets of the previous step from every robot heard, process
 * the inbound queue, call "step", process the outbound state and build the
 * packet for the next step. Returns the number of VMs that failed (neither
 * "ready" nor "done").
 */
uint32_t veskharness_step(veskharness_t h);

/* The packet robot `index` sends next (payload_size bytes). */
const uint8_t *veskharness_packet(veskharness_t h, uint32_t index);
/* Messages packed into the packets of the last step, over all robots. */
uint64_t veskharness_sent(veskharness_t h);

VESK_END_DECLS

#endif
