/*
 * Swarm harness: several VMs stepped together, exchanging radio packets
 * over an explicit neighbour relation. Packets go through the same codec
 * and the per-step operations come in the same order as in a robot
 * controller, so whole swarm behaviours can be run and checked without a
 * simulator.
 */
#include "veskharness.h"

#include <algorithm>
#include <vector>

#include "veskinmsg.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"
#include "veskpacket.h"

namespace {

struct Link {
  uint32_t from;
  float distance, azimuth, elevation;
};

bool global_is_closure(veskvm_t vm, const char *name) {
  veskvm_pushstr(vm, name, 1);
  veskvm_gload(vm);
  veskobj_t f = veskvm_stack_at(vm, 1);
  bool ok = f && veskobj_isclosure(f);
  veskvm_pop(vm);
  return ok;
}

} // namespace

struct veskharness_s {
  std::vector<veskvm_t> vms;
  std::vector<std::vector<Link>> hears; /* per receiver */
  std::vector<std::vector<uint8_t>> packets;
  uint32_t payload_size;
  uint64_t sent;

  /* VMs that can no longer run: a finished top level ("done") still can. */
  uint32_t failed() const {
    return static_cast<uint32_t>(std::count_if(vms.begin(), vms.end(), [](veskvm_t vm) {
      return vm->state != VESKVM_STATE_READY && vm->state != VESKVM_STATE_DONE;
    }));
  }

  void pack(uint32_t i) {
    packets[i].assign(payload_size, 0);
    sent += veskpacket_build(vms[i], packets[i].data(), payload_size);
  }
};

veskharness_t veskharness_new(uint32_t n, const uint16_t *ids, uint32_t payload_size) {
  auto h = new veskharness_s;
  for (uint32_t i = 0; i < n; ++i)
    h->vms.push_back(veskvm_new(ids[i]));
  h->hears.resize(n);
  h->packets.resize(n);
  h->sent = 0;
  veskharness_set_payload_size(h, payload_size);
  return h;
}

void veskharness_destroy(veskharness_t *h) {
  if (!h || !*h) return;
  for (veskvm_t &vm : (*h)->vms)
    veskvm_destroy(&vm);
  delete *h;
  *h = nullptr;
}

uint32_t veskharness_size(veskharness_t h) {
  return static_cast<uint32_t>(h->vms.size());
}

veskvm_t veskharness_vm(veskharness_t h, uint32_t index) {
  return index < h->vms.size() ? h->vms[index] : nullptr;
}

void veskharness_set_payload_size(veskharness_t h, uint32_t payload_size) {
  h->payload_size = std::max<uint32_t>(payload_size, VESKPACKET_MIN_SIZE);
  for (veskvm_t vm : h->vms)
    veskpacket_set_size(vm, h->payload_size);
}

uint32_t veskharness_load(veskharness_t h, const uint8_t *bcode, uint32_t size,
                          veskharness_setup_funp setup, void *params) {
  for (uint32_t i = 0; i < h->vms.size(); ++i) {
    veskvm_t vm = h->vms[i];
    if (veskvm_set_bcode(vm, bcode, size) != VESKVM_STATE_READY) continue;
    if (setup) setup(vm, i, params);
    veskvm_execute_script(vm);
    if (vm->state == VESKVM_STATE_DONE && global_is_closure(vm, "init"))
      veskvm_function_call(vm, "init", 0);
  }
  h->sent = 0;
  for (uint32_t i = 0; i < h->vms.size(); ++i)
    h->pack(i);
  return h->failed();
}

void veskharness_link(veskharness_t h, uint32_t from, uint32_t to, float distance,
                      float azimuth, float elevation) {
  if (from >= h->vms.size() || to >= h->vms.size() || from == to) return;
  veskharness_unlink(h, from, to);
  h->hears[to].push_back({from, distance, azimuth, elevation});
}

void veskharness_link_both(veskharness_t h, uint32_t a, uint32_t b, float distance) {
  veskharness_link(h, a, b, distance, 0.0f, 0.0f);
  veskharness_link(h, b, a, distance, 0.0f, 0.0f);
}

void veskharness_unlink(veskharness_t h, uint32_t from, uint32_t to) {
  if (to >= h->vms.size()) return;
  std::erase_if(h->hears[to], [from](const Link &l) { return l.from == from; });
}

uint32_t veskharness_step(veskharness_t h) {
  /* Everyone hears what was sent in the previous step. */
  std::vector<std::vector<uint8_t>> heard = h->packets;
  h->sent = 0;
  for (uint32_t i = 0; i < h->vms.size(); ++i) {
    veskvm_t vm = h->vms[i];
    veskneighbors_reset(vm);
    for (const Link &l : h->hears[i]) {
      const std::vector<uint8_t> &p = heard[l.from];
      veskpacket_receive(vm, p.data(), static_cast<uint32_t>(p.size()), l.distance,
                         l.azimuth, l.elevation);
    }
    veskvm_process_inmsgs(vm);
    veskvm_function_call(vm, "step", 0);
    veskvm_process_outmsgs(vm);
    h->pack(i);
  }
  return h->failed();
}

const uint8_t *veskharness_packet(veskharness_t h, uint32_t index) {
  return index < h->packets.size() ? h->packets[index].data() : nullptr;
}

uint64_t veskharness_sent(veskharness_t h) {
  return h->sent;
}
