// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/piecetree.h"

#include <algorithm>
#include <stdexcept>

namespace byteloom {

namespace {

// Entries per node: a leaf of 32 pieces is 768 bytes, a few cache lines to
// scan; a node holds at least half as many unless it is the root.
constexpr int kMax = 32;
constexpr int kMin = kMax / 2;

}  // namespace

// A leaf holds pieces; an inner node holds children with the length of each
// child's subtree.
struct TPieceNode {
  explicit TPieceNode(bool leaf) : Leaf(leaf) {}
  int N = 0;
  const bool Leaf;
};

namespace {

struct TLeaf : TPieceNode {
  TLeaf() : TPieceNode(true) {}
  TPiece P[kMax];
};

struct TInner : TPieceNode {
  TInner() : TPieceNode(false) {}
  uint64_t Len[kMax];
  TPieceNode* Kid[kMax];
};

TLeaf* L(TPieceNode* n) { return static_cast<TLeaf*>(n); }
const TLeaf* L(const TPieceNode* n) { return static_cast<const TLeaf*>(n); }
TInner* I(TPieceNode* n) { return static_cast<TInner*>(n); }
const TInner* I(const TPieceNode* n) { return static_cast<const TInner*>(n); }

uint64_t EntryLength(const TPieceNode* n, int i) { return n->Leaf ? L(n)->P[i].Length : I(n)->Len[i]; }

uint64_t NodeLength(const TPieceNode* n) {
  uint64_t sum = 0;
  for (int i = 0; i < n->N; ++i) sum += EntryLength(n, i);
  return sum;
}

void DeleteNode(TPieceNode* n) {
  if (n->Leaf)
    delete L(n);
  else
    delete I(n);
}

void Free(TPieceNode* n) {
  if (!n->Leaf)
    for (int i = 0; i < n->N; ++i) Free(I(n)->Kid[i]);
  DeleteNode(n);
}

// Moves count entries from src (from index from on) into dst before index to.
template <typename T>
void MoveArray(T* src, int srcN, int from, int count, T* dst, int dstN, int to) {
  std::move_backward(dst + to, dst + dstN, dst + dstN + count);
  std::copy(src + from, src + from + count, dst + to);
  std::move(src + from + count, src + srcN, src + from);
}

void MoveEntries(TPieceNode* src, int from, int count, TPieceNode* dst, int to) {
  if (src->Leaf) {
    MoveArray(L(src)->P, src->N, from, count, L(dst)->P, dst->N, to);
  } else {
    MoveArray(I(src)->Len, src->N, from, count, I(dst)->Len, dst->N, to);
    MoveArray(I(src)->Kid, src->N, from, count, I(dst)->Kid, dst->N, to);
  }
  src->N -= count;
  dst->N += count;
}

// Splits a full node: the upper half goes to a new right sibling.
TPieceNode* Split(TPieceNode* n) {
  TPieceNode* right = n->Leaf ? static_cast<TPieceNode*>(new TLeaf) : new TInner;
  MoveEntries(n, kMin, n->N - kMin, right, 0);
  return right;
}

// Makes room for one entry at index at of node n, splitting n when it is
// full; returns the node and index to fill, and the new sibling in *sibling.
std::pair<TPieceNode*, int> Room(TPieceNode* n, int at, TPieceNode** sibling) {
  *sibling = nullptr;
  if (n->N == kMax) {
    *sibling = Split(n);
    if (at > n->N) {
      at -= n->N;
      n = *sibling;
    }
  }
  if (n->Leaf)
    std::move_backward(L(n)->P + at, L(n)->P + n->N, L(n)->P + n->N + 1);
  else {
    std::move_backward(I(n)->Len + at, I(n)->Len + n->N, I(n)->Len + n->N + 1);
    std::move_backward(I(n)->Kid + at, I(n)->Kid + n->N, I(n)->Kid + n->N + 1);
  }
  ++n->N;
  return {n, at};
}

// The child of an inner node that holds nibble pos (the last child for the
// end), and the position where that child starts.
int ChildAt(const TInner* n, uint64_t pos, uint64_t& start) {
  int i = 0;
  start = 0;
  while (i < n->N - 1 && start + n->Len[i] <= pos) start += n->Len[i++];
  return i;
}

// Inserts piece before the piece that starts at pos (or at the end);
// returns the new right sibling when n had to split.
TPieceNode* InsertAt(TPieceNode* n, uint64_t pos, const TPiece& piece) {
  TPieceNode* sibling;
  if (n->Leaf) {
    int i = 0;
    for (uint64_t s = 0; s < pos; ++i) s += L(n)->P[i].Length;
    auto [target, at] = Room(n, i, &sibling);
    L(target)->P[at] = piece;
    return sibling;
  }
  TInner* in = I(n);
  uint64_t start;
  const int i = ChildAt(in, pos, start);
  TPieceNode* kidSibling = InsertAt(in->Kid[i], pos - start, piece);
  in->Len[i] += piece.Length;
  if (!kidSibling) return nullptr;
  const uint64_t moved = NodeLength(kidSibling);
  in->Len[i] -= moved;
  auto [target, at] = Room(n, i + 1, &sibling);
  I(target)->Len[at] = moved;
  I(target)->Kid[at] = kidSibling;
  return sibling;
}

// Refills child i of n after it fell below the minimum: borrows an entry
// from a sibling that can spare one, else merges it with a sibling.
void Rebalance(TInner* n, int i) {
  TPieceNode* c = n->Kid[i];
  if (i > 0 && n->Kid[i - 1]->N > kMin) {
    TPieceNode* left = n->Kid[i - 1];
    const uint64_t moved = EntryLength(left, left->N - 1);
    MoveEntries(left, left->N - 1, 1, c, 0);
    n->Len[i - 1] -= moved;
    n->Len[i] += moved;
  } else if (i + 1 < n->N && n->Kid[i + 1]->N > kMin) {
    TPieceNode* right = n->Kid[i + 1];
    const uint64_t moved = EntryLength(right, 0);
    MoveEntries(right, 0, 1, c, c->N);
    n->Len[i + 1] -= moved;
    n->Len[i] += moved;
  } else if (n->N > 1) {
    const int l = i > 0 ? i - 1 : i;
    TPieceNode* right = n->Kid[l + 1];
    MoveEntries(right, 0, right->N, n->Kid[l], n->Kid[l]->N);
    n->Len[l] += n->Len[l + 1];
    DeleteNode(right);
    std::move(n->Len + l + 2, n->Len + n->N, n->Len + l + 1);
    std::move(n->Kid + l + 2, n->Kid + n->N, n->Kid + l + 1);
    --n->N;
  }
}

// Takes out the piece that starts at pos.
TPiece EraseAt(TPieceNode* n, uint64_t pos) {
  if (n->Leaf) {
    int i = 0;
    for (uint64_t s = 0; s < pos; ++i) s += L(n)->P[i].Length;
    const TPiece piece = L(n)->P[i];
    std::move(L(n)->P + i + 1, L(n)->P + n->N, L(n)->P + i);
    --n->N;
    return piece;
  }
  TInner* in = I(n);
  uint64_t start;
  const int i = ChildAt(in, pos, start);
  const TPiece piece = EraseAt(in->Kid[i], pos - start);
  in->Len[i] -= piece.Length;
  if (in->Kid[i]->N < kMin) Rebalance(in, i);
  return piece;
}

// Calls visit for every whole piece that overlaps [at, end).
template <typename F>
bool VisitNode(const TPieceNode* n, uint64_t s, uint64_t at, uint64_t end, const F& visit) {
  for (int i = 0; i < n->N && s < end; ++i) {
    const uint64_t len = EntryLength(n, i);
    if (s + len > at && !(n->Leaf ? visit(s, L(n)->P[i]) : VisitNode(I(n)->Kid[i], s, at, end, visit))) return false;
    s += len;
  }
  return true;
}

// The part of piece q (which starts at document position p) inside [a, b).
TPiece Clip(const TPiece& q, uint64_t p, uint64_t a, uint64_t b) {
  a = std::max(a, p);
  b = std::min(b, p + q.Length);
  return b > a ? TPiece{q.Source, q.Start + (a - p), b - a} : TPiece{q.Source, q.Start, 0};
}

}  // namespace

uint64_t TotalLength(const std::vector<TPiece>& pieces) {
  uint64_t sum = 0;
  for (const TPiece& p : pieces) sum += p.Length;
  return sum;
}

TPieceTree::TPieceTree() : FRoot(new TLeaf) {}

TPieceTree::~TPieceTree() { Free(FRoot); }

void TPieceTree::Insert(uint64_t pos, const TPiece& piece) {
  if (TPieceNode* sibling = InsertAt(FRoot, pos, piece)) {
    auto* root = new TInner;
    root->N = 2;
    root->Kid[0] = FRoot;
    root->Kid[1] = sibling;
    root->Len[1] = NodeLength(sibling);
    root->Len[0] = FLength + piece.Length - root->Len[1];
    FRoot = root;
  }
  FLength += piece.Length;
  ++FCount;
}

TPiece TPieceTree::Erase(uint64_t pos) {
  const TPiece piece = EraseAt(FRoot, pos);
  FLength -= piece.Length;
  --FCount;
  if (!FRoot->Leaf && FRoot->N == 1) {
    TPieceNode* only = I(FRoot)->Kid[0];
    DeleteNode(FRoot);
    FRoot = only;
  }
  return piece;
}

std::vector<TPiece> TPieceTree::Splice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted) {
  if (at > FLength || removed > FLength - at) throw std::out_of_range("Invalid splice range");
  const uint64_t end = at + removed;
  // Rebuild the whole pieces from the one before `at` to the one after the
  // removed range, so that the new pieces can join their neighbours.
  uint64_t lo = at, hi = end;
  std::vector<TPiece> out, before, after;
  const uint64_t from = at > 0 ? at - 1 : 0, to = std::min(end + 1, FLength);
  if (to > from)
    VisitNode(FRoot, 0, from, to, [&](uint64_t p, const TPiece& q) {
      lo = std::min(lo, p);
      hi = std::max(hi, p + q.Length);
      if (p < at) before.push_back(Clip(q, p, p, at));
      if (const TPiece gone = Clip(q, p, at, end); gone.Length > 0) out.push_back(gone);
      if (p + q.Length > end) after.push_back(Clip(q, p, end, p + q.Length));
      return true;
    });
  before.insert(before.end(), inserted.begin(), inserted.end());
  before.insert(before.end(), after.begin(), after.end());
  std::vector<TPiece> rebuilt;
  for (const TPiece& q : before) {
    if (q.Length == 0) continue;
    if (!rebuilt.empty() && Joinable(rebuilt.back(), q))
      rebuilt.back().Length += q.Length;
    else
      rebuilt.push_back(q);
  }
  for (uint64_t gone = 0; gone < hi - lo;) gone += Erase(lo).Length;
  uint64_t pos = lo;
  for (const TPiece& q : rebuilt) {
    Insert(pos, q);
    pos += q.Length;
  }
  return out;
}

void TPieceTree::Visit(uint64_t at, uint64_t count, const TVisitor& visit) const {
  const uint64_t end = std::min(FLength, at + std::min(count, FLength));
  if (at >= end) return;
  VisitNode(FRoot, 0, at, end, [&](uint64_t p, const TPiece& q) { return visit(std::max(p, at), Clip(q, p, at, end)); });
}

}  // namespace byteloom
