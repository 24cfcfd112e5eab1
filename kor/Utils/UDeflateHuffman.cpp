// Huffman code lengths for the deflate encoder. The tree is built by merging
// the two lightest records and re-sorting the working list after every merge;
// a tree deeper than the limit flattens the weights (the heaviest records
// take the next weight down, the lightest the next weight up) and is built
// again. The sort's exact movements decide the order of equal inner nodes,
// and so the shape of the tree: streams are compared byte for byte, so it is
// kept as it is rather than replaced by a faster heap.
#include "kor/Utils/UCompressor.h"

namespace kor {

namespace {

typedef CompressorPolicy_Deflate Policy;

enum { MAX_RECORDS = Policy::LITERAL_CODES, MAX_NODES = 2 * MAX_RECORDS - 1 };

bool KeyGreater(const HuffmanTreeNode& a, const HuffmanTreeNode& b) {
  return a.m_weight > b.m_weight || (a.m_weight == b.m_weight && a.m_symbol > b.m_symbol);
}

void InsertionPass(HuffmanTreeNode* records, int count, int gap) {
  for (int i = gap; i < count; ++i) {
    HuffmanTreeNode moving = records[i];
    int j = i;
    while (j >= gap && KeyGreater(moving, records[j - gap])) {
      records[j] = records[j - gap];
      j -= gap;
    }
    records[j] = moving;
  }
}

// Depths of the leaves below root, stored as their weights; returns the
// deepest.
int AssignDepths(HuffmanTreeNode* root) {
  struct Visit {
    HuffmanTreeNode* node;
    int depth;
  } stack[MAX_NODES];
  int top = 0;
  int deepest = 0;
  stack[top++] = Visit{root, 0};
  while (top > 0) {
    Visit visit = stack[--top];
    HuffmanTreeNode* node = visit.node;
    if (node->m_symbol < Policy::SYMBOL_NODE) {
      node->m_weight = visit.depth;
      if (visit.depth > deepest) deepest = visit.depth;
      continue;
    }
    stack[top++] = Visit{node->m_left, visit.depth + 1};
    stack[top++] = Visit{node->m_right, visit.depth + 1};
  }
  return deepest;
}

// Builds the tree of count (at least 2) records in storage, which receives
// 2 * count - 1 nodes, the root last; returns the depth of the deepest leaf.
int BuildTree(const HuffmanTreeNode* records, int count, HuffmanTreeNode* storage) {
  HuffmanTreeNode working[MAX_RECORDS];
  for (int i = 0; i < count; ++i) working[i] = records[i];
  int live = count;
  int used = 0;
  while (live > 2) {
    storage[used] = working[live - 2];
    storage[used + 1] = working[live - 1];
    HuffmanTreeNode& merged = working[live - 2];
    merged.m_symbol = Policy::SYMBOL_NODE;
    merged.m_weight = storage[used].m_weight + storage[used + 1].m_weight;
    merged.m_left = &storage[used];
    merged.m_right = &storage[used + 1];
    used += 2;
    --live;
    Policy::ShellSort(working, live);
  }
  storage[used] = working[0];
  storage[used + 1] = working[1];
  storage[used + 2] = HuffmanTreeNode{Policy::SYMBOL_ROOT, 0, &storage[used], &storage[used + 1]};
  return AssignDepths(&storage[used + 2]);
}

// The largest weight below (or the smallest above) bound; false when there
// is none.
bool NextWeight(const HuffmanTreeNode* records, int count, int bound, bool below, int& found) {
  bool any = false;
  for (int i = 0; i < count; ++i) {
    int w = records[i].m_weight;
    if (below ? w >= bound : w <= bound) continue;
    if (!any || (below ? w > found : w < found)) found = w;
    any = true;
  }
  return any;
}

void ReplaceWeight(HuffmanTreeNode* records, int count, int from, int to) {
  for (int i = 0; i < count; ++i)
    if (records[i].m_weight == from) records[i].m_weight = to;
}

// One flattening step, heaviest first: the lightest are looked for among the
// weights that step left, so two remaining weights become one and the
// flattening ends in a balanced tree.
void FlattenWeights(HuffmanTreeNode* records, int count) {
  int largest = records[0].m_weight;
  int smallest = records[0].m_weight;
  for (int i = 1; i < count; ++i) {
    if (records[i].m_weight > largest) largest = records[i].m_weight;
    if (records[i].m_weight < smallest) smallest = records[i].m_weight;
  }
  int next = 0;
  if (NextWeight(records, count, largest, true, next)) ReplaceWeight(records, count, largest, next);
  if (NextWeight(records, count, smallest, false, next))
    ReplaceWeight(records, count, smallest, next);
}

// Canonical codes (RFC 1951 section 3.2.2) for the leaves' depths: in order
// of increasing (length, symbol), each code one more than the last, shifted
// left whenever the length grows.
void AssignCodes(const HuffmanTreeNode* storage, int nodes, HuffmanCode* table) {
  int perLength[Policy::MAX_CODE_LENGTH + 1] = {};
  for (int i = 0; i < nodes; ++i)
    if (storage[i].m_symbol < Policy::SYMBOL_NODE) ++perLength[storage[i].m_weight];
  unsigned int next[Policy::MAX_CODE_LENGTH + 1] = {};
  unsigned int code = 0;
  for (int length = 1; length <= Policy::MAX_CODE_LENGTH; ++length) {
    code = (code + static_cast<unsigned>(perLength[length - 1])) << 1;
    next[length] = code;
  }
  // Every leaf is at depth 1 or more, so 0 marks the symbols without one.
  int depthOf[Policy::LITERAL_CODES] = {};
  for (int i = 0; i < nodes; ++i)
    if (storage[i].m_symbol < Policy::SYMBOL_NODE)
      depthOf[storage[i].m_symbol] = storage[i].m_weight;
  for (int symbol = 0; symbol < Policy::LITERAL_CODES; ++symbol)
    if (depthOf[symbol]) {
      table[symbol].m_length = static_cast<unsigned>(depthOf[symbol]);
      table[symbol].m_code = next[depthOf[symbol]]++;
    }
}

}  // namespace

void CompressorPolicy_Deflate::ShellSort(HuffmanTreeNode* records, int count) {
  InsertionPass(records, count, 3);
  InsertionPass(records, count, 1);
}

void CompressorPolicy_Deflate::BuildHuffmanLengths(HuffmanTreeNode* records, int count, int limit,
                                                   HuffmanCode* table) {
  KOR_GUARD_BEGIN
  assure(count >= 0 && count <= MAX_RECORDS);
  assure(limit >= 1 && limit <= MAX_CODE_LENGTH && count <= (1 << limit));
  if (count == 0) return;
  if (count == 1) {
    table[records[0].m_symbol] = HuffmanCode{1, 0};
    return;
  }
  HuffmanTreeNode storage[MAX_NODES];
  // Each step leaves fewer distinct weights, and a single weight builds a
  // balanced tree, so this ends within count steps.
  for (int step = 0; BuildTree(records, count, storage) > limit; ++step) {
    assure(step <= count);
    FlattenWeights(records, count);
  }
  AssignCodes(storage, 2 * count - 1, table);
  KOR_GUARD_END
}

}  // namespace kor
