// SPDX-License-Identifier: GPL-3.0-or-later
// A document as a sequence of pieces, each a range of a source, kept in a
// counted B+ tree: every inner node knows the length of each child's
// subtree, so finding a position, splitting a piece and joining two cost
// O(log pieces). Lengths and positions are in nibbles, so a piece may begin
// or end in the middle of a byte.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

namespace byteloom {

struct TPieceNode;  // a node of the tree (piecetree.cpp)

// Nibbles [Start, Start + Length) of the source numbered Source (the
// document knows what each number stands for).
struct TPiece {
  uint8_t Source = 0;
  uint64_t Start = 0;
  uint64_t Length = 0;
  bool operator==(const TPiece&) const = default;
};

uint64_t TotalLength(const std::vector<TPiece>& pieces);

class TPieceTree {
 public:
  TPieceTree();
  ~TPieceTree();
  TPieceTree(const TPieceTree&) = delete;
  TPieceTree& operator=(const TPieceTree&) = delete;

  // The pieces of a source whose bytes are all alike (zeros) join whatever
  // their Start; other pieces join when they are contiguous in one source.
  void SetUniform(uint8_t source) { FUniform.set(source); }
  bool Joinable(const TPiece& a, const TPiece& b) const {
    return a.Source == b.Source && (FUniform.test(a.Source) || a.Start + a.Length == b.Start);
  }

  uint64_t Length() const { return FLength; }
  size_t Count() const { return FCount; }

  // Replaces the nibbles [at, at + removed) by the inserted pieces and
  // returns the pieces that were there (clipped to the range). Neighbours
  // that are contiguous in one source become one piece, so typing byte
  // after byte at one place keeps one piece. Raises std::out_of_range for
  // a range beyond the end (nothing changes).
  std::vector<TPiece> Splice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted);

  // Calls visit(position, piece) for every piece that overlaps the nibbles
  // [at, at + count), clipped to them, in order; stops when visit returns
  // false.
  using TVisitor = std::function<bool(uint64_t at, const TPiece& piece)>;
  void Visit(uint64_t at, uint64_t count, const TVisitor& visit) const;

 private:
  // Puts a piece in at pos, a piece boundary; takes out the piece starting at pos.
  void Insert(uint64_t pos, const TPiece& piece);
  TPiece Erase(uint64_t pos);

  TPieceNode* FRoot;
  uint64_t FLength = 0;
  size_t FCount = 0;
  std::bitset<256> FUniform;
};

}  // namespace byteloom
