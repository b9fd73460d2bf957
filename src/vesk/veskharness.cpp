/*
 * Swarm harness: several VMs stepped together, exchanging range-and-bearing
 * packets over an explicit neighbour relation. The packet format and the
 * order of the per-step operations are those a robot controller uses, so
 * whole swarm behaviours can be run and checked without a simulator.
 */
#include "veskharness.h"

#include <algorithm>
#include <vector>

#include "veskinmsg.h"
#include "veskneighbors.h"
#include "veskoutmsg.h"

namespace {

struct Link {
  uint32_t from;
  float distance, azimuth, elevation;
};

uint16_t read16(const uint8_t *b) {
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

void write16(uint8_t *b, uint16_t v) {
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}

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
    sent += veskharness_build_packet(vms[i], packets[i].data(), payload_size);
  }
};

uint16_t veskharness_receive_packet(veskvm_t vm, const uint8_t *packet, uint32_t size,
                                    float distance, float azimuth, float elevation) {
  if (size < 2) return 0;
  uint16_t sender = read16(packet);
  veskneighbors_add(vm, sender, distance, azimuth, elevation);
  /* A zero length ends the packet (padding); a length past the end is
     skipped and reading goes on with the next two bytes. */
  uint32_t pos = 2;
  while (size - pos > 2) {
    uint16_t len = read16(packet + pos);
    pos += 2;
    if (len == 0) break;
    if (len <= size - pos) {
      veskinmsg_queue_append(vm, veskdarray_frombuffer(packet + pos, len, 1, nullptr));
      pos += len;
    }
  }
  return sender;
}

uint32_t veskharness_build_packet(veskvm_t vm, uint8_t *packet, uint32_t payload_size) {
  std::fill(packet, packet + payload_size, 0);
  if (payload_size < 2) return 0;
  write16(packet, vm->robot);
  uint32_t used = 2, packed = 0;
  while (veskoutmsg_queue_size(vm) > 0) {
    veskdarray_t msg = veskoutmsg_queue_first(vm);
    if (!msg) break;
    uint64_t len = static_cast<uint64_t>(veskdarray_size(msg));
    if (used + len + 2 > payload_size) {
      veskdarray_destroy(&msg);
      break;
    }
    write16(packet + used, static_cast<uint16_t>(len));
    std::copy(msg->data, msg->data + len, packet + used + 2);
    used += static_cast<uint32_t>(len) + 2;
    ++packed;
    veskoutmsg_queue_next(vm);
    veskdarray_destroy(&msg);
  }
  return packed;
}

veskharness_t veskharness_new(uint32_t n, const uint16_t *ids, uint32_t payload_size) {
  auto h = new veskharness_s;
  for (uint32_t i = 0; i < n; ++i)
    h->vms.push_back(veskvm_new(ids[i]));
  h->hears.resize(n);
  h->packets.resize(n);
  h->payload_size = std::max<uint32_t>(payload_size, 4);
  h->sent = 0;
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
  h->payload_size = std::max<uint32_t>(payload_size, 4);
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
      veskharness_receive_packet(vm, p.data(), static_cast<uint32_t>(p.size()),
                                 l.distance, l.azimuth, l.elevation);
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
