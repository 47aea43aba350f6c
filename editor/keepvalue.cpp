// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/keepvalue.h"

#include <algorithm>
#include <exception>

#include "control/hexeditor.h"
#include "document/document.h"
#include "document/sources.h"
#include "editor/fields.h"

namespace byteloom {

namespace {

int64_t Width(const std::vector<uint8_t>& bytes) { return static_cast<int64_t>(bytes.size()); }

}  // namespace

void TValueKeeper::Hold(const TLiveSource& memory, int64_t pos, std::vector<uint8_t> bytes) {
  const int64_t count = Width(bytes);
  if (count < 1 || pos < 0) return;
  std::erase_if(FHolds, [&](const THold& h) { return h.Pos < pos + count && pos < h.Pos + Width(h.Bytes); });
  FHolds.push_back({pos, memory.AddressOf(static_cast<uint64_t>(pos)), std::move(bytes)});
}

bool TValueKeeper::Held(int64_t pos, int64_t count) const {
  return std::any_of(FHolds.begin(), FHolds.end(), [&](const THold& h) { return h.Pos == pos && Width(h.Bytes) == count; });
}

void TValueKeeper::Release(int64_t pos, int64_t count) {
  std::erase_if(FHolds, [&](const THold& h) { return h.Pos == pos && Width(h.Bytes) == count; });
}

void TValueKeeper::KeepOnly(const std::vector<std::pair<int64_t, int64_t>>& places) {
  std::erase_if(FHolds, [&](const THold& h) {
    return std::find(places.begin(), places.end(), std::pair(h.Pos, Width(h.Bytes))) == places.end();
  });
}

bool TValueKeeper::Place(THold& h, const TLiveSource& memory) {
  const auto count = static_cast<uint64_t>(h.Bytes.size());
  // The regions shown anew put the bytes elsewhere in the document.
  if (static_cast<uint64_t>(h.Pos) >= memory.Size() || memory.AddressOf(static_cast<uint64_t>(h.Pos)) != h.Address) {
    const std::optional<uint64_t> pos = memory.PosOf(h.Address);
    if (!pos || *pos + count > memory.Size() || memory.AddressOf(*pos + count - 1) != h.Address + count - 1)
      return false;
    h.Pos = static_cast<int64_t>(*pos);
  }
  return static_cast<uint64_t>(h.Pos) + count <= memory.Size();
}

void TValueKeeper::Follow(const TLiveSource& memory) {
  for (THold& h : FHolds) Place(h, memory);
}

TKeepTick TValueKeeper::Tick(TLiveSource& memory) {
  TKeepTick tick;
  std::vector<uint8_t> now;
  for (auto h = FHolds.begin(); h != FHolds.end();) {
    const auto count = static_cast<uint64_t>(h->Bytes.size());
    std::string problem;
    if (!Place(*h, memory)) problem = "The program no longer has this memory";
    try {
      if (problem.empty()) {
        now.resize(count);
        memory.ReadBytes(static_cast<uint64_t>(h->Pos), count, now.data());
        if (now != h->Bytes) {
          memory.WriteBytes(static_cast<uint64_t>(h->Pos), count, h->Bytes.data());
          tick.Rewritten.push_back(h->Pos);
        }
      }
    } catch (const std::exception& e) {
      problem = e.what();
    }
    if (problem.empty()) {
      ++h;
      continue;
    }
    tick.Released.push_back({h->Pos, problem});
    h = FHolds.erase(h);
  }
  return tick;
}

std::string HoldField(TValueKeeper& keeper, THexEditor& editor, const TField& field) {
  const TLiveSource* memory = editor.Document().LiveSource();
  if (!memory) return "Keep at value holds a value in a running program's memory: open one with File > Open process";
  if (field.Kind == TFieldKind::fkChecksum) return "A checksum cannot be held";
  const std::string problem = FieldProblem(field, editor.DataSize());
  if (!problem.empty()) return problem;
  std::vector<uint8_t> now(static_cast<size_t>(FieldWidth(field)));
  try {
    editor.Document().Read(field.Offset, Width(now), now.data());
  } catch (const std::exception& e) {
    return e.what();
  }
  keeper.Hold(*memory, field.Offset, std::move(now));
  return {};
}

bool FieldHeld(const TValueKeeper& keeper, const TField& field) { return keeper.Held(field.Offset, FieldWidth(field)); }

void KeepFieldHolds(TValueKeeper& keeper, const std::vector<TField>& fields) {
  std::vector<std::pair<int64_t, int64_t>> places;
  for (const TField& f : fields) places.emplace_back(f.Offset, FieldWidth(f));
  keeper.KeepOnly(places);
}

std::string ReleasedText(const TKeepTick& tick, const THexEditor& editor, const std::vector<TField>& fields) {
  std::string text;
  for (const TReleased& r : tick.Released) {
    std::string name;
    for (const TField& f : fields)
      if (f.Offset == r.Pos && !f.Name.empty()) name = " (" + f.Name + ")";
    text += (text.empty() ? "" : "\n") + PlaceText(editor, r.Pos) + name + " is no longer held: " + r.Reason;
  }
  return text;
}

}  // namespace byteloom
