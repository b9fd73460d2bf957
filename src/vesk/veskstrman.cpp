/*
 * String manager: two maps (text -> id, id -> record) over the same set of
 * interned strings, plus the mark-and-prune pass that the heap's collector
 * drives over the collectable ones.
 *
 * A collection starts by gathering every collectable id into a binary search
 * tree of candidates; marking removes ids from it and pruning disposes of what
 * is left. The tree is built balanced from the sorted candidates, so marking
 * stays logarithmic however many strings a program makes. Its nodes live in
 * one array that is released when the collection ends.
 *
 * The two maps are the manager's record of its strings; the text -> id map
 * answers lookups in constant time through the dictionary's own index once
 * it is large. An index beside them answers the other frequent questions
 * (text of an id, lowest free id, which ids are collectable) in constant
 * time or one pass over a bitmap, since the maps' few buckets grow long.
 */
#include "veskstrman.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "veskfatal.h"

static const char *const NO_MEMORY = "[FATAL] Can't allocate string manager memory.\n";

static const uint32_t ID_WORDS = 65536 / 64;

/*
 * Protected names registered again and again (a native library's table keys,
 * registered afresh every control step) are remembered by the address of the
 * caller's text. A hit needs the same address and the same text, compared
 * with the copy kept in the slot, so a caller reusing a buffer is safe; and
 * a protected id keeps its text for good, so a hit is never stale.
 */
class NameCache {
public:
  /* The id of a remembered name, and the manager's own text in *interned. */
  uint16_t find(const char *text, const char **interned) const {
    const Slot &slot = slots_[slot_of(text)];
    if (slot.text != text || strcmp(slot.copy, text) != 0) return VESKSTRMAN_NOID;
    *interned = slot.interned;
    return slot.id;
  }

  /* Remembers a protected id; only short texts fit. */
  void remember(const char *text, uint16_t id, const char *interned) {
    size_t len = strlen(text);
    if (len >= sizeof(Slot::copy)) return;
    Slot &slot = slots_[slot_of(text)];
    slot.text = text;
    slot.interned = interned;
    slot.id = id;
    memcpy(slot.copy, text, len + 1);
  }

private:
  struct Slot {
    const char *text = nullptr;     /* the caller's address */
    const char *interned = nullptr; /* the manager's copy */
    uint16_t id = VESKSTRMAN_NOID;
    char copy[14] = {}; /* a slot fills half a cache line */
  };
  /* Roomy enough that a script's and its libraries' usual names rarely
     share a slot. */
  Slot slots_[256];

  /* Literals sit side by side, a few bytes apart: mix every address bit in. */
  static size_t slot_of(const char *text) {
    return (size_t)(((uint64_t)(uintptr_t)text * 0x9E3779B97F4A7C15u) >> 56);
  }
};

struct veskstrman_index_s {
  /* Bitmaps over the ids, as long as the highest id set needs. */
  std::vector<uint64_t> used;         /* ids in use */
  std::vector<uint64_t> collectable;  /* the unprotected ones among them */
  std::vector<uint64_t> candidates;   /* ids still in the candidate tree */
  std::vector<veskid2strdata *> byid; /* record of each id, null if free */
  NameCache names;
};

static void set_bit(std::vector<uint64_t> &bits, uint16_t id, bool on) {
  size_t word = id / 64;
  if (word >= bits.size()) {
    if (!on) return;
    bits.resize(word + 1, 0);
  }
  uint64_t bit = (uint64_t)1 << (id % 64);
  if (on)
    bits[word] |= bit;
  else
    bits[word] &= ~bit;
}

static void set_id_used(veskstrman_t sm, uint16_t id, bool used) {
  set_bit(sm->index->used, id, used);
}

/* Lowest id that is not in use, or VESKSTRMAN_NOID when all are. */
static uint16_t lowest_free_id(veskstrman_t sm) {
  for (uint32_t w = 0; w < ID_WORDS; ++w) {
    uint64_t word = w < sm->index->used.size() ? sm->index->used[w] : 0;
    if (word != UINT64_MAX) {
      uint32_t id = w * 64 + (uint32_t)__builtin_ctzll(~word);
      return id < VESKSTRMAN_NOID ? (uint16_t)id : VESKSTRMAN_NOID;
    }
  }
  return VESKSTRMAN_NOID;
}

/* The id for a new string: the counter until it wraps, then the lowest gap. */
static uint16_t take_id(veskstrman_t sm) {
  if (!sm->wrapped) {
    uint16_t id = sm->nextid++;
    if (sm->nextid == VESKSTRMAN_NOID) {
      sm->wrapped = 1;
      sm->nextid = 0;
    }
    return id;
  }
  uint16_t id = lowest_free_id(sm);
  if (id != VESKSTRMAN_NOID) sm->nextid = (uint16_t)(id + 1);
  return id;
}

static veskid2strdata *record_of(veskstrman_t sm, uint16_t id) {
  const std::vector<veskid2strdata *> &byid = sm->index->byid;
  return id < byid.size() ? byid[id] : nullptr;
}

static void index_add(veskstrman_t sm, uint16_t id, veskid2strdata *rec) {
  std::vector<veskid2strdata *> &byid = sm->index->byid;
  if (id >= byid.size()) byid.resize((size_t)id + 1, nullptr);
  byid[id] = rec;
  set_id_used(sm, id, true);
  set_bit(sm->index->collectable, id, !rec->protect);
}

static void index_remove(veskstrman_t sm, uint16_t id) {
  sm->index->byid[id] = nullptr;
  set_id_used(sm, id, false);
  set_bit(sm->index->collectable, id, false);
}

static void protect_id(veskstrman_t sm, uint16_t id) {
  record_of(sm, id)->protect = 1;
  set_bit(sm->index->collectable, id, false);
}

void veskid2strdata_destroy(const void *key, void *data, void *) {
  free((void *)key);
  free(*(veskid2strdata **)data);
  free(data);
}

veskstrman_t veskstrman_new(void) {
  veskstrman_t sm =
      (veskstrman_t)vesk_checked(calloc(1, sizeof(struct veskstrman_s)), NO_MEMORY);
  sm->str2id = veskdict_new(10, sizeof(char *), sizeof(uint16_t), veskdict_strkeyhash,
                            veskdict_strkeycmp, nullptr);
  sm->id2str =
      veskdict_new(10, sizeof(uint16_t), sizeof(veskid2strdata *), veskdict_int16keyhash,
                   veskdict_int16keycmp, veskid2strdata_destroy);
  sm->index = new veskstrman_index_s;
  return sm;
}

static void free_text(const void *key, void *, void *) {
  free(*(char **)key);
}

static void end_collection(veskstrman_t sm) {
  if (sm->index) sm->index->candidates.clear();
  free(sm->gcnodes);
  sm->gcnodes = nullptr;
  sm->gcdata = nullptr;
}

void veskstrman_destroy(veskstrman_t *sm) {
  if (!sm || !*sm) return;
  veskstrman_t m = *sm;
  veskdict_foreach(m->str2id, free_text, nullptr);
  veskdict_destroy(&m->str2id);
  veskdict_destroy(&m->id2str);
  end_collection(m);
  delete m->index;
  free(m);
  *sm = nullptr;
}

uint16_t veskstrman_intern(veskstrman_t sm, const char *str, int protect,
                           const char **text) {
  *text = nullptr;
  if (!str) return VESKSTRMAN_NOID;
  uint16_t found = sm->index->names.find(str, text);
  if (found != VESKSTRMAN_NOID) return found;
  const uint16_t *known = veskdict_get(sm->str2id, &str, uint16_t);
  found = known ? *known : VESKSTRMAN_NOID;
  if (found != VESKSTRMAN_NOID) {
    if (protect) protect_id(sm, found);
    veskid2strdata *rec = record_of(sm, found);
    if (rec->protect) sm->index->names.remember(str, found, rec->str);
    *text = rec->str;
    return found;
  }
  uint16_t id = take_id(sm);
  if (id == VESKSTRMAN_NOID) return VESKSTRMAN_NOID;
  char *copy = (char *)vesk_checked(strdup(str), NO_MEMORY);
  veskid2strdata *rec =
      (veskid2strdata *)vesk_checked(malloc(sizeof(veskid2strdata)), NO_MEMORY);
  rec->str = copy;
  rec->protect = protect ? 1 : 0;
  veskdict_append(sm->str2id, &copy, &id);
  veskdict_append(sm->id2str, &id, &rec);
  index_add(sm, id, rec);
  if (protect) sm->index->names.remember(str, id, copy);
  *text = copy;
  return id;
}

uint16_t veskstrman_register(veskstrman_t sm, const char *str, int protect) {
  const char *text;
  return veskstrman_intern(sm, str, protect, &text);
}

const char *veskstrman_get(veskstrman_t sm, uint16_t id) {
  veskid2strdata *rec = record_of(sm, id);
  return rec ? rec->str : nullptr;
}

/* Links nodes[lo, hi) into a balanced tree and returns its root. */
static veskidtree *build_balanced(veskidtree *nodes, size_t lo, size_t hi) {
  if (lo >= hi) return nullptr;
  size_t mid = lo + (hi - lo) / 2;
  nodes[mid].left = build_balanced(nodes, lo, mid);
  nodes[mid].right = build_balanced(nodes, mid + 1, hi);
  return &nodes[mid];
}

/* The collectable ids in ascending order, read off the bitmap. */
static std::vector<uint16_t> collectable_ids(veskstrman_t sm) {
  std::vector<uint16_t> ids;
  for (size_t w = 0; w < sm->index->collectable.size(); ++w)
    for (uint64_t bits = sm->index->collectable[w]; bits; bits &= bits - 1)
      ids.push_back((uint16_t)(w * 64 + (size_t)__builtin_ctzll(bits)));
  return ids;
}

void veskstrman_gc_clear(veskstrman_t sm) {
  end_collection(sm);
  std::vector<uint16_t> ids = collectable_ids(sm);
  if (ids.empty()) return;
  sm->index->candidates = sm->index->collectable;
  sm->gcnodes =
      (veskidtree *)vesk_checked(malloc(ids.size() * sizeof(veskidtree)), NO_MEMORY);
  for (size_t i = 0; i < ids.size(); ++i)
    sm->gcnodes[i].id = ids[i];
  sm->gcdata = build_balanced(sm->gcnodes, 0, ids.size());
}

/* Binary search tree deletion; a node with two children takes its successor's id. */
void veskstrman_gc_mark(veskstrman_t sm, uint16_t id) {
  /* Most marks name protected strings or ones already marked: the bitmap
     answers those without a search. */
  std::vector<uint64_t> &candidates = sm->index->candidates;
  size_t word = id / 64;
  uint64_t bit = (uint64_t)1 << (id % 64);
  if (word >= candidates.size() || !(candidates[word] & bit)) return;
  candidates[word] &= ~bit;
  veskidtree **link = &sm->gcdata;
  while (*link && (*link)->id != id)
    link = id < (*link)->id ? &(*link)->left : &(*link)->right;
  veskidtree *node = *link;
  if (!node) return;
  if (!node->left) {
    *link = node->right;
  } else if (!node->right) {
    *link = node->left;
  } else {
    veskidtree **succ = &node->right;
    while ((*succ)->left)
      succ = &(*succ)->left;
    node->id = (*succ)->id;
    *succ = (*succ)->right;
  }
}

/* Removes one string from both maps and frees its text. */
static void dispose(veskstrman_t sm, uint16_t id) {
  veskid2strdata *rec = record_of(sm, id);
  /* A string protected after the collection began is kept. */
  if (!rec || rec->protect) return;
  char *text = rec->str;
  index_remove(sm, id);
  veskdict_remove(sm->str2id, &text);
  veskdict_remove(sm->id2str, &id);
  free(text);
}

/* Disposes of the remaining candidates in pre-order (node, left, right). */
void veskstrman_gc_prune(veskstrman_t sm) {
  std::vector<veskidtree *> pending;
  if (sm->gcdata) pending.push_back(sm->gcdata);
  while (!pending.empty()) {
    veskidtree *n = pending.back();
    pending.pop_back();
    dispose(sm, n->id);
    if (n->right) pending.push_back(n->right);
    if (n->left) pending.push_back(n->left);
  }
  end_collection(sm);
}

static void print_id_entry(const void *key, void *data, void *) {
  veskid2strdata *rec = *(veskid2strdata **)data;
  printf("\t[%c] %u -> '%s'\n", rec->protect ? '*' : ' ', *(const uint16_t *)key,
         rec->str);
}

static void print_str_entry(const void *key, void *data, void *) {
  printf("\t'%s' -> %u\n", *(char *const *)key, *(uint16_t *)data);
}

void veskstrman_print(veskstrman_t sm) {
  printf("ID -> STRING (%u elements)\n", sm->id2str->size);
  veskdict_foreach(sm->id2str, print_id_entry, nullptr);
  printf("STRING -> ID (%u elements)\n", sm->str2id->size);
  veskdict_foreach(sm->str2id, print_str_entry, nullptr);
  printf("\n");
}
