// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/fields.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "control/bookmarks.h"
#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "document/regionlayout.h"
#include "platform/codepages.h"
#include "platform/numconv.h"
#include "platform/store.h"

namespace byteloom {

namespace {

bool Overlap(int64_t a, int64_t aCount, int64_t b, int64_t bCount) {
  return aCount > 0 && bCount > 0 && a < b + bCount && b < a + aCount;
}

std::vector<uint8_t> ReadBytes(TByteSource& source, int64_t offset, int64_t count) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  source.Read(bytes.data(), offset, count);
  return bytes;
}

std::string Quoted(const TField& field) { return "\"" + field.Name + "\""; }

// "1 byte", "18 bytes".
std::string ByteCount(int64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

std::string NoPosition(const std::string& what, const std::string& text) {
  return what + " \"" + text + "\" is no position (decimal, $hex or 0xhex)";
}

// The values an integer type holds, as "0 ... 255".
std::string TypeRange(TValueType type) {
  const int bits = 8 * ValueWidth(type);
  const __int128 one = 1;
  const bool sign = IsSignedType(type);
  return ValueText({false, sign ? -(one << (bits - 1)) : 0, 0}, type) + " ... " +
         ValueText({false, sign ? (one << (bits - 1)) - 1 : (one << bits) - 1, 0}, type);
}

}  // namespace

int64_t FieldWidth(const TField& field) {
  switch (field.Kind) {
    case TFieldKind::fkNumber: return ValueWidth(field.Type);
    case TFieldKind::fkChecksum: return ChecksumWidth(field.Algorithm);
    default: return field.Length;
  }
}

std::string FieldTypeText(const TField& field) {
  const char* order = field.Order == TByteOrder::boLittle ? " LE" : " BE";
  switch (field.Kind) {
    case TFieldKind::fkNumber: return std::string(ValueTypeName(field.Type)) + (ValueWidth(field.Type) > 1 ? order : "");
    case TFieldKind::fkText: return "text " + std::to_string(field.Length);
    case TFieldKind::fkBytes: return "bytes " + std::to_string(field.Length);
    case TFieldKind::fkChecksum:
      return std::string(ChecksumName(field.Algorithm)) +
             (IsDigest(field.Algorithm) || ChecksumWidth(field.Algorithm) == 1 ? "" : order);
  }
  return {};
}

bool PlaceFieldsAnew(std::vector<TField>& fields, const TRegionLayout& before, const TRegionLayout& after) {
  std::vector<int64_t> moved;
  for (const TField& f : fields) {
    if (f.Kind == TFieldKind::fkChecksum || f.Offset < 0 || static_cast<uint64_t>(f.Offset) >= before.Size()) return false;
    const uint64_t address = before.AddressOf(static_cast<uint64_t>(f.Offset));
    const auto first = after.PosOf(address), last = after.PosOf(address + FieldWidth(f) - 1);
    // (Both ends in one region: the bytes between are there too.)
    if (!first || !last || *last - *first != static_cast<uint64_t>(FieldWidth(f) - 1)) return false;
    moved.push_back(static_cast<int64_t>(*first));
  }
  for (size_t i = 0; i < fields.size(); ++i) fields[i].Offset = moved[i];
  return true;
}

std::string OffsetText(int64_t offset) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(offset));
  return buf;
}

std::optional<int64_t> ParseOffset(const std::string& text) {
  const std::optional<int64_t> v = TryStrToInt64(HexPrefixToDollar(text));
  if (!v || *v < 0) return std::nullopt;
  return v;
}

std::string FieldProblem(const TField& field, int64_t size) {
  const int64_t width = FieldWidth(field);
  if (width < 1) return "The field must be at least one byte long";
  if (field.Offset < 0 || int64_t{field.Offset} + width > size)
    return "The field at " + OffsetText(field.Offset) + " (" + ByteCount(width) + ") does not fit in the document of " +
           std::to_string(size) + " bytes";
  return field.Kind == TFieldKind::fkChecksum ? RangeProblem(field.From, field.To, size) : std::string();
}

std::string RangeProblem(int64_t first, int64_t last, int64_t size) {
  if (first < 0 || first > size) return "The range starts past the end of the document";
  if (last != -1 && last < first) return "The range ends before it starts";
  if (last >= size) return "The range ends past the end of the document";
  return {};
}

std::string ParseRange(const std::string& from, const std::string& to, const std::string& length, int64_t& first,
                       int64_t& last) {
  const std::optional<int64_t> start = ParseOffset(from);
  if (!start) return NoPosition("The range's start", from);
  std::optional<int64_t> end;
  if (!Blank(to) && to != "end") {
    end = ParseOffset(to);
    if (!end) return NoPosition("The range's end", to);
  }
  if (!Blank(length)) {
    const std::optional<int64_t> count = ParseOffset(length);
    if (!count || *count < 1) return "The range's length \"" + length + "\" is no number of bytes (1 or more)";
    if (*count - 1 > std::numeric_limits<int64_t>::max() - *start) return "The range ends past the end of the document";
    const int64_t byLength = *start + *count - 1;
    if (end && *end != byLength)
      return "The range's last byte " + OffsetText(*end) + " and its length " + std::to_string(*count) +
             " do not agree: give one of them";
    end = byLength;
  }
  first = *start;
  last = end.value_or(-1);
  return {};
}

std::string RangeText(int64_t first, int64_t count, bool toEnd) {
  if (count <= 0 && !toEnd) return "0 bytes at " + OffsetText(first);
  return OffsetText(first) + " ... " + (toEnd ? std::string("end") : OffsetText(first + count - 1)) + " (" +
         ByteCount(count) + ")";
}

std::string FieldRangeText(const TField& field, int64_t size) {
  const int64_t stop = field.To == -1 ? size : field.To + 1;
  return RangeText(field.From, std::max<int64_t>(0, stop - field.From), field.To == -1);
}

TCoverage Coverage(const TField& field, int64_t size) {
  const int64_t stop = field.To == -1 ? size : field.To + 1;
  return {field.From, std::max<int64_t>(0, stop - field.From)};
}

std::string FieldValueText(TByteSource& source, const TField& field, TTranslationType translation) {
  const std::vector<uint8_t> bytes = ReadBytes(source, field.Offset, FieldWidth(field));
  switch (field.Kind) {
    case TFieldKind::fkNumber: return ValueText(DecodeValue(bytes.data(), {field.Type, field.Order}), field.Type);
    case TFieldKind::fkText: return DecodeText(bytes.data(), field.Length, translation);
    case TFieldKind::fkBytes: return BytesText(bytes.data(), field.Length);
    case TFieldKind::fkChecksum: return HexDigits(StoredBytes(field, bytes));
  }
  return {};
}

TEncoded FieldBytes(const TField& field, const std::string& text, TTranslationType translation) {
  switch (field.Kind) {
    case TFieldKind::fkNumber: {
      const std::optional<TValue> value = ParseValue(text, field.Type);
      if (!value)
        return {{}, "\"" + text + "\" is no " + ValueTypeName(field.Type) + " value" +
                        (IsFloatType(field.Type) ? std::string() : " (" + TypeRange(field.Type) + ")")};
      TEncoded out{std::vector<uint8_t>(static_cast<size_t>(ValueWidth(field.Type))), {}};
      EncodeValue(*value, {field.Type, field.Order}, out.Bytes.data());
      return out;
    }
    case TFieldKind::fkText: return EncodeText(text, field.Length, translation);
    case TFieldKind::fkBytes: return ParseBytes(text, field.Length);
    case TFieldKind::fkChecksum: {
      TEncoded out = ParseBytes(text, ChecksumWidth(field.Algorithm));
      if (out.Error.empty()) out.Bytes = StoredBytes(field, out.Bytes);
      return out;
    }
  }
  return {};
}

std::string WriteBytes(THexEditor& editor, int64_t offset, const std::vector<uint8_t>& bytes) {
  const auto count = static_cast<int64_t>(bytes.size());
  const int64_t size = editor.DataSize();
  if (count < 1 || offset < 0 || int64_t{offset} + count > size)
    return "The place " + OffsetText(offset) + " lies past the end of the document";
  TEditorSource source(editor);
  if (ReadBytes(source, offset, count) == bytes) return {};  // nothing changes, no undo step
  try {
    editor.SetSelStart(offset);
    editor.SetSelEnd(offset + count - 1);
    editor.ReplaceSelection(bytes.data(), count);
  } catch (const std::exception& e) {
    return e.what();
  }
  if (editor.DataSize() != size || ReadBytes(source, offset, count) != bytes) return "The value could not be written";
  return {};
}

std::string SetFieldValue(THexEditor& editor, const TField& field, const std::string& text) {
  const std::string problem = FieldProblem(field, editor.DataSize());
  if (!problem.empty()) return problem;
  const TEncoded encoded = FieldBytes(field, text, editor.Translation());
  return encoded.Error.empty() ? WriteBytes(editor, field.Offset, encoded.Bytes) : encoded.Error;
}

std::vector<uint8_t> StoredBytes(const TField& field, std::vector<uint8_t> value) {
  if (!IsDigest(field.Algorithm) && field.Order == TByteOrder::boLittle) std::reverse(value.begin(), value.end());
  return value;
}

TChecksumState CheckChecksum(TByteSource& source, const TField& field, const TProgress& progress) {
  TChecksumState state;
  const int64_t size = source.Size();
  state.Problem = FieldProblem(field, size);
  if (!state.Problem.empty()) return state;
  state.Stored = StoredBytes(field, ReadBytes(source, field.Offset, FieldWidth(field)));
  const TCoverage range = Coverage(field, size);
  const auto values = ComputeChecksums(source, range.First, range.Count, {field.Algorithm}, progress);
  state.Cancelled = !values;
  if (values) state.Computed = values->front();
  return state;
}

std::string FixProblem(const TField& field, int64_t size) {
  const std::string problem = FieldProblem(field, size);
  if (!problem.empty()) return "The checksum " + Quoted(field) + ": " + problem;
  const TCoverage range = Coverage(field, size);
  if (Overlap(field.Offset, FieldWidth(field), range.First, range.Count))
    return "The checksum " + Quoted(field) + " covers its own place at " + OffsetText(field.Offset);
  return {};
}

std::string FixChecksum(THexEditor& editor, const TField& field, const TProgress& progress) {
  const std::string problem = FixProblem(field, editor.DataSize());
  if (!problem.empty()) return problem;
  TEditorSource source(editor);
  const TChecksumState state = CheckChecksum(source, field, progress);
  if (state.Cancelled) return "The checksum " + Quoted(field) + " was not computed: the work was cancelled";
  return WriteBytes(editor, field.Offset, StoredBytes(field, state.Computed));
}

TFixPlan PlanFixOnSave(const std::vector<TField>& fields, int64_t size) {
  TFixPlan plan;
  std::vector<size_t> todo;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TField& f = fields[i];
    if (f.Kind != TFieldKind::fkChecksum || !f.FixOnSave) continue;
    const std::string problem = FixProblem(f, size);
    if (!problem.empty()) return {{}, problem};
    for (size_t j : todo)
      if (Overlap(f.Offset, FieldWidth(f), fields[j].Offset, FieldWidth(fields[j])))
        return {{}, "The checksums " + Quoted(fields[j]) + " and " + Quoted(f) + " are stored in the same place"};
    todo.push_back(i);
  }
  // b before a when a's range holds b's place; the list's order otherwise.
  const auto waitsFor = [&](size_t a, size_t b) {
    const TCoverage range = Coverage(fields[a], size);
    return Overlap(range.First, range.Count, fields[b].Offset, FieldWidth(fields[b]));
  };
  while (!todo.empty()) {
    const auto ready = std::find_if(todo.begin(), todo.end(), [&](size_t a) {
      return std::none_of(todo.begin(), todo.end(), [&](size_t b) { return b != a && waitsFor(a, b); });
    });
    if (ready == todo.end()) {
      std::string names;
      for (size_t k : todo) names += (names.empty() ? "" : ", ") + Quoted(fields[k]);
      return {{}, "The checksums " + names + " cover each other's places; none of them can be computed last"};
    }
    plan.Order.push_back(*ready);
    todo.erase(ready);
  }
  return plan;
}

TFixOutcome FixOnSave(THexEditor& editor, const std::vector<TField>& fields, const TProgress& progress) {
  TFixOutcome outcome;
  const int64_t size = editor.DataSize();
  const TFixPlan plan = PlanFixOnSave(fields, size);
  if (!plan.Error.empty()) {
    outcome.Error = plan.Error;
    return outcome;
  }
  int64_t total = 0, before = 0;
  for (size_t i : plan.Order) total += Coverage(fields[i], size).Count;
  TEditorSource source(editor);
  for (size_t i : plan.Order) {
    const TField& field = fields[i];
    const TChecksumState state = CheckChecksum(source, field, [&](int64_t done, int64_t) {
      return !progress || progress(before + done, total);
    });
    before += Coverage(field, size).Count;
    if (state.Cancelled) {
      outcome.Cancelled = true;
      outcome.Error = "The checksum " + Quoted(field) + " was not computed: the work was cancelled";
      return outcome;
    }
    if (state.Matches()) continue;
    outcome.Error = WriteBytes(editor, field.Offset, StoredBytes(field, state.Computed));
    if (!outcome.Error.empty()) return outcome;
    ++outcome.Fixed;
  }
  return outcome;
}

// --- The fields window --------------------------------------------------------------------

TField FieldAt(int64_t offset, int64_t count) {
  TField f;
  f.Offset = offset;
  const std::pair<int64_t, TValueType> numbers[] = {
      {0, TValueType::vtU32}, {1, TValueType::vtU8}, {2, TValueType::vtU16}, {4, TValueType::vtU32}, {8, TValueType::vtU64}};
  for (const auto& [width, type] : numbers)
    if (count == width) {
      f.Type = type;
      return f;
    }
  f.Kind = TFieldKind::fkBytes;
  f.Length = count;
  return f;
}

TField NewChecksum(int64_t caret, int64_t selFirst, int64_t selCount, int64_t size) {
  TField f;
  f.Kind = TFieldKind::fkChecksum;
  f.Offset = caret;
  f.Order = TByteOrder::boBig;
  f.FixOnSave = true;
  if (selCount < 1) return f;
  f.From = selFirst;
  f.To = selFirst + selCount - 1;
  if (int64_t{f.To} + 1 + FieldWidth(f) <= size) f.Offset = f.To + 1;
  return f;
}

std::vector<TField> BookmarkFields(const TBookmarkTable& table) {
  std::vector<TField> fields;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row) {
    const std::optional<int64_t> offset = table.IsSet(row) ? ParseOffset(table.Cell(0, row)) : std::nullopt;
    if (!offset) continue;
    fields.push_back(FieldAt(*offset, 0));
    const std::string& comment = table.Cell(1, row);
    const size_t a = comment.find_first_not_of(' '), b = comment.find_last_not_of(' ');
    fields.back().Name = a == std::string::npos ? std::string() : AnsiToUtf8(comment.substr(a, b - a + 1));
  }
  return fields;
}

int AddFields(std::vector<TField>& list, const std::vector<TField>& more) {
  int added = 0;
  for (const TField& f : more)
    if (std::find(list.begin(), list.end(), f) == list.end()) {
      list.push_back(f);
      ++added;
    }
  return added;
}

TFieldEntry EntryOf(const TField& f) {
  TFieldEntry e;
  e.Checksum = f.Kind == TFieldKind::fkChecksum;
  e.Name = f.Name;
  e.Offset = OffsetText(f.Offset);
  e.Length = std::to_string(f.Length);
  e.Type = f.Kind == TFieldKind::fkText ? kTypeText : f.Kind == TFieldKind::fkBytes ? kTypeBytes : static_cast<int>(f.Type);
  e.Order = f.Order;
  e.Algorithm = f.Algorithm;
  e.From = OffsetText(f.From);
  e.To = f.To == -1 ? std::string() : OffsetText(f.To);
  e.FixOnSave = f.FixOnSave;
  return e;
}

std::string FieldFromEntry(const TFieldEntry& e, int64_t size, TField& field) {
  TField f;
  f.Name = e.Name;
  f.Order = e.Order;
  const std::optional<int64_t> offset = ParseOffset(e.Offset);
  std::string error = offset ? std::string() : NoPosition("The offset", e.Offset);
  f.Offset = offset.value_or(0);
  if (e.Checksum) {
    f.Kind = TFieldKind::fkChecksum;
    f.Algorithm = e.Algorithm;
    f.FixOnSave = e.FixOnSave;
    if (error.empty()) error = ParseRange(e.From, e.To, e.RangeLength, f.From, f.To);
  } else if (e.Type == kTypeText || e.Type == kTypeBytes) {
    f.Kind = e.Type == kTypeText ? TFieldKind::fkText : TFieldKind::fkBytes;
    const std::optional<int64_t> length = ParseOffset(e.Length);
    if (error.empty() && (!length || *length < 1 || *length > 65536))
      error = "The length \"" + e.Length + "\" is no number of bytes from 1 to 65536";
    if (length) f.Length = *length;
  } else {
    f.Type = static_cast<TValueType>(std::clamp(e.Type, 0, kValueTypeCount - 1));
  }
  if (error.empty()) error = FieldProblem(f, size);
  if (error.empty()) field = f;
  return error;
}

std::vector<TFieldRow> FieldRows(TByteSource& source, const std::vector<TField>& fields, TTranslationType translation,
                                 const TProgress& progress) {
  std::vector<TFieldRow> rows;
  const int64_t size = source.Size();
  bool stopped = false;
  for (const TField& f : fields) {
    TFieldRow row;
    const std::string problem = FieldProblem(f, size);
    if (!problem.empty()) {
      row.State = TRowState::rsProblem;
      row.Value = problem;
      if (f.Kind == TFieldKind::fkChecksum) row.Range = FieldRangeText(f, size);
    } else if (f.Kind != TFieldKind::fkChecksum) {
      row.Value = FieldValueText(source, f, translation);
    } else {
      row.Range = FieldRangeText(f, size);
      const TChecksumState state = stopped ? TChecksumState{} : CheckChecksum(source, f, progress);
      stopped = stopped || state.Cancelled;
      row.Value = FieldValueText(source, f, translation);
      row.Computed = stopped ? "?" : HexDigits(state.Computed);
      row.State = stopped ? TRowState::rsNotComputed : state.Matches() ? TRowState::rsMatch : TRowState::rsMismatch;
    }
    rows.push_back(row);
  }
  return rows;
}

std::string FieldsSummary(const std::vector<TFieldRow>& rows) {
  const size_t mismatches = std::count_if(rows.begin(), rows.end(), [](const TFieldRow& r) { return r.State == TRowState::rsMismatch; });
  std::string text = std::to_string(rows.size()) + (rows.size() == 1 ? " field" : " fields");
  if (mismatches == 1) text += "; 1 checksum does not match";
  if (mismatches > 1) text += "; " + std::to_string(mismatches) + " checksums do not match";
  return text;
}

TChecksumRange ChecksumRange(THexEditor& editor) {
  if (editor.SelCount() == 0)
    return {0, editor.DataSize(), "The whole document (" + std::to_string(editor.DataSize()) + " bytes)", {}};
  const int64_t first = editor.SelMin(), count = editor.SelCount();
  return {first, count, "The selection " + RangeText(first, count), {}};
}

TChecksumRange ChecksumRange(const std::string& from, const std::string& to, const std::string& length, int64_t size) {
  TChecksumRange range;
  int64_t first = 0, last = -1;
  range.Error = ParseRange(from, to, length, first, last);
  if (range.Error.empty()) range.Error = RangeProblem(first, last, size);
  if (!range.Error.empty()) return range;
  range.First = first;
  range.Count = (last == -1 ? size : last + 1) - first;
  range.Text = "The range " + RangeText(first, range.Count, last == -1);
  return range;
}

// --- Profiles ------------------------------------------------------------------------------

std::string FieldLine(const TField& f, bool atAddress) {
  const std::string order = f.Order == TByteOrder::boLittle ? "le" : "be";
  const std::string at = atAddress ? "address=" : "offset=";
  std::string line;
  switch (f.Kind) {
    case TFieldKind::fkNumber:
      line = "field " + at + OffsetText(f.Offset) + " type=" + ValueTypeName(f.Type) + " order=" + order;
      break;
    case TFieldKind::fkText:
    case TFieldKind::fkBytes:
      line = "field " + at + OffsetText(f.Offset) + " type=" + (f.Kind == TFieldKind::fkText ? "text" : "bytes") +
             " length=" + std::to_string(f.Length);
      break;
    case TFieldKind::fkChecksum:
      line = "checksum " + at + OffsetText(f.Offset) + " algorithm=" + ChecksumKey(f.Algorithm) +
             " from=" + OffsetText(f.From) + " to=" + (f.To == -1 ? "end" : OffsetText(f.To)) + " order=" + order +
             " fix-on-save=" + (f.FixOnSave ? "yes" : "no");
      break;
  }
  // A name is one line.
  std::string name = f.Name;
  std::replace_if(name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return line + " name=" + name;
}

std::string ParseFieldLine(const std::string& line, TField& field, std::vector<std::string>& notes, bool* atAddress) {
  TField f;
  const size_t nameAt = line.find(" name=");
  const std::string head = line.substr(0, nameAt);
  if (nameAt != std::string::npos) f.Name = line.substr(nameAt + 6);
  std::vector<std::string> words;
  for (size_t i = 0; i < head.size();) {
    const size_t end = std::min(head.find(' ', i), head.size());
    if (end > i) words.push_back(head.substr(i, end - i));
    i = end + 1;
  }
  if (words.empty() || (words[0] != "field" && words[0] != "checksum"))
    return "not a field (\"field ...\" or \"checksum ...\")";
  f.Kind = words[0] == "field" ? TFieldKind::fkNumber : TFieldKind::fkChecksum;
  bool hasOffset = false, hasType = false, hasLength = false, hasAlgorithm = false;
  for (size_t k = 1; k < words.size(); ++k) {
    const size_t eq = words[k].find('=');
    if (eq == std::string::npos) return "\"" + words[k] + "\" is not key=value";
    const std::string key = words[k].substr(0, eq), value = words[k].substr(eq + 1);
    const auto position = [&](int64_t& target) {
      const std::optional<int64_t> v = ParseOffset(value);
      if (v) target = *v;
      return v.has_value();
    };
    std::string bad;
    if (key == "offset" || key == "address") {
      if (atAddress) *atAddress = key == "address";
      hasOffset = position(f.Offset);
      if (!hasOffset) bad = "is no offset";
    } else if (key == "type" && f.Kind == TFieldKind::fkNumber) {
      hasType = true;
      if (value == "text" || value == "bytes") {
        f.Kind = value == "text" ? TFieldKind::fkText : TFieldKind::fkBytes;
      } else {
        int t = 0;
        while (t < kValueTypeCount && value != ValueTypeName(static_cast<TValueType>(t))) ++t;
        if (t == kValueTypeCount) bad = "is no type (u8 ... u64, i8 ... i64, f32, f64, text, bytes)";
        f.Type = static_cast<TValueType>(t % kValueTypeCount);
      }
    } else if (key == "order") {
      if (value != "le" && value != "be") bad = "is no byte order (le, be)";
      f.Order = value == "be" ? TByteOrder::boBig : TByteOrder::boLittle;
    } else if (key == "length") {
      const std::optional<int64_t> v = ParseOffset(value);
      hasLength = v && *v >= 1 && *v <= 65536;
      if (hasLength) f.Length = *v;
      else bad = "is no length (1 ... 65536)";
    } else if (key == "algorithm" && f.Kind == TFieldKind::fkChecksum) {
      const std::optional<TChecksumKind> a = ChecksumByKey(value);
      hasAlgorithm = a.has_value();
      if (a) f.Algorithm = *a;
      else bad = "is no algorithm";
    } else if (key == "from" && f.Kind == TFieldKind::fkChecksum) {
      if (!position(f.From)) bad = "is no offset";
    } else if (key == "to" && f.Kind == TFieldKind::fkChecksum) {
      if (value == "end") f.To = -1;
      else if (!position(f.To)) bad = "is no offset (or \"end\")";
    } else if (key == "fix-on-save" && f.Kind == TFieldKind::fkChecksum) {
      if (value != "yes" && value != "no") bad = "is not yes or no";
      f.FixOnSave = value == "yes";
    } else {
      notes.push_back("\"" + key + "\" is not known here; it was left out");
    }
    if (!bad.empty()) return key + " \"" + value + "\" " + bad;
  }
  if (!hasOffset) return "the offset is missing";
  if (words[0] == "field" && !hasType) return "the type is missing";
  if ((f.Kind == TFieldKind::fkText || f.Kind == TFieldKind::fkBytes) && !hasLength) return "the length is missing";
  if (f.Kind == TFieldKind::fkChecksum && !hasAlgorithm) return "the algorithm is missing";
  field = f;
  return {};
}

std::string ProfileText(const std::vector<TField>& fields) {
  std::string out = "byteloom-fields " + std::to_string(kProfileVersion) + "\n";
  for (const TField& f : fields) out += FieldLine(f) + "\n";
  return out;
}

std::string ProfileText(const std::vector<TField>& fields, const THexEditor& editor) {
  if (!editor.IsLive()) return ProfileText(fields);
  std::string out = ProfileText({});
  for (TField f : fields) {
    f.Offset = static_cast<int64_t>(editor.AddressOf(f.Offset));
    out += FieldLine(f, true) + "\n";
  }
  return out;
}

TProfile ParseProfile(const std::string& text) {
  TProfile profile;
  bool versioned = false;
  int number = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
    const std::string at = "line " + std::to_string(number) + ": ";
    if (!versioned) {
      versioned = true;
      if (line.rfind("byteloom-fields ", 0) == 0) {
        const std::optional<int32_t> version = TryStrToInt(line.substr(16));
        if (!version || *version != kProfileVersion)
          profile.Skipped.push_back(at + "the profile is of version \"" + line.substr(16) + "\"; this Byteloom reads version " +
                                    std::to_string(kProfileVersion) + " and skips what it does not know");
        continue;
      }
      profile.Skipped.push_back(at + "no version line (\"byteloom-fields " + std::to_string(kProfileVersion) +
                                "\"); read as version " + std::to_string(kProfileVersion));
    }
    TField field;
    std::vector<std::string> notes;
    bool atAddress = false;
    const std::string error = ParseFieldLine(line, field, notes, &atAddress);
    if (!error.empty()) {
      profile.Skipped.push_back(at + error + ": " + line);
      continue;
    }
    for (const std::string& note : notes) profile.Skipped.push_back(at + note);
    profile.Fields.push_back(field);
    profile.AtAddress.push_back(atAddress);
  }
  return profile;
}

void PlaceProfile(TProfile& profile, const THexEditor& editor) {
  const bool live = editor.IsLive();
  std::vector<TField> kept;
  for (size_t i = 0; i < profile.Fields.size(); ++i) {
    TField f = profile.Fields[i];
    const bool atAddress = i < profile.AtAddress.size() && profile.AtAddress[i];
    const std::string what = "\"" + f.Name + "\" at " + OffsetText(f.Offset) + ": ";
    std::string skip;
    if (live && f.Kind == TFieldKind::fkChecksum) skip = "a checksum is for a file, not for a running program's memory";
    else if (live && !atAddress) skip = "an offset in a file, not an address in a running program's memory";
    else if (!live && atAddress) skip = "an address in a running program's memory, not an offset in a file";
    else if (live) {
      const std::optional<int64_t> pos = editor.PosOfAddress(static_cast<uint64_t>(f.Offset));
      if (pos) f.Offset = *pos;
      else skip = "the program has no such address now";
    }
    if (skip.empty()) kept.push_back(f);
    else profile.Skipped.push_back(what + skip);
  }
  profile.Fields = std::move(kept);
  profile.AtAddress.assign(profile.Fields.size(), false);
}

std::string PlaceText(const THexEditor& editor, int64_t pos) { return OffsetText(static_cast<int64_t>(editor.AddressOf(pos))); }

TFieldEntry EntryOf(const TField& field, const THexEditor& editor) {
  TFieldEntry e = EntryOf(field);
  e.Offset = PlaceText(editor, field.Offset);
  return e;
}

std::string FieldFromEntry(TFieldEntry entry, const THexEditor& editor, TField& field) {
  if (editor.IsLive()) {
    if (entry.Checksum) return "A checksum is for a file: a running program's memory holds none to check or fix";
    const std::optional<int64_t> address = ParseOffset(entry.Offset);
    if (!address) return NoPosition("The address", entry.Offset);
    const std::optional<int64_t> pos = editor.PosOfAddress(static_cast<uint64_t>(*address));
    if (!pos) return "The program has no readable memory at " + OffsetText(*address);
    entry.Offset = OffsetText(*pos);
  }
  return FieldFromEntry(entry, editor.Document().Size(), field);
}

std::vector<TField> FieldsFor(const THexEditor& from, const std::vector<TField>& fields, const THexEditor& to, std::string& problem) {
  problem.clear();
  if (from.IsLive() != to.IsLive()) {
    problem = from.IsLive() ? "Fields of a running program's memory are at addresses of that program, not at offsets of a file"
                            : "Fields of a file are at offsets of the file, not at addresses of a running program";
    return {};
  }
  if (!from.IsLive()) return fields;
  std::vector<TField> placed;
  int missing = 0;
  for (TField f : fields) {
    const std::optional<int64_t> pos = to.PosOfAddress(from.AddressOf(f.Offset));
    if (pos && f.Kind != TFieldKind::fkChecksum) f.Offset = *pos, placed.push_back(f);
    else ++missing;
  }
  if (missing > 0) problem = std::to_string(missing) + (missing == 1 ? " field is" : " fields are") + " at no address of the other program";
  return placed;
}

// --- The store of every file's fields ------------------------------------------------------

void TFieldStore::Parse(const std::string& text) {
  FEntries.clear();
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.rfind("file ", 0) == 0) {
      const std::string path = UnescapeStoreText(line.substr(5));
      std::erase_if(FEntries, [&](const TEntry& e) { return e.Path == path; });
      FEntries.push_back({path, {}});
    } else if (!FEntries.empty() && !line.empty()) {
      FEntries.back().Lines += line + "\n";
    }
  }
}

std::string TFieldStore::Text() const {
  std::string out = "byteloom-fields " + std::to_string(kProfileVersion) + "\n";
  for (const TEntry& e : FEntries) out += "file " + EscapeStoreText(e.Path) + "\n" + e.Lines;
  return out;
}

TProfile TFieldStore::Fields(const std::string& path) const {
  for (const TEntry& e : FEntries)
    if (e.Path == path) return ParseProfile(ProfileText({}) + e.Lines);
  return {};
}

void TFieldStore::Keep(const std::string& path, const std::vector<TField>& fields) {
  if (path.empty()) return;
  std::erase_if(FEntries, [&](const TEntry& e) { return e.Path == path; });
  if (fields.empty()) return;
  std::string lines = ProfileText(fields);
  FEntries.push_back({path, lines.substr(lines.find('\n') + 1)});
  if (FEntries.size() > kMaxFiles) FEntries.erase(FEntries.begin());
}

TProfileLoad LoadProfile(const std::string& path, std::vector<TField>& fields, const THexEditor* places) {
  // A profile is small: a larger file is no profile.
  constexpr int64_t kMaxProfileSize = int64_t{1} << 20;
  const TStoreText text = ReadStore(path, kMaxProfileSize);
  if (!text.Usable || !text.Exists) return {path + " " + (text.Exists ? text.Problem : "does not exist"), {}, false};
  TProfile profile = ParseProfile(text.Text);
  const size_t read = profile.Fields.size();
  if (places) PlaceProfile(profile, *places);
  const int added = AddFields(fields, profile.Fields);
  TProfileLoad load{{}, std::to_string(added) + " of the profile's " + std::to_string(read) + " fields added.",
                    !profile.Skipped.empty()};
  if (places && places->IsLive() && added > 0)
    load.Report += " Their addresses are those of the run the profile was saved from: where the program keeps a value "
                   "elsewhere this run (on the heap often), the field shows other bytes. Check each value before you "
                   "change or hold it.";
  if (load.Skipped) load.Report = "Skipped lines:\n" + load.Report;
  constexpr size_t kListed = 20;
  for (size_t k = 0; k < profile.Skipped.size() && k < kListed; ++k) load.Report += "\n" + profile.Skipped[k];
  if (profile.Skipped.size() > kListed) load.Report += "\n... and " + std::to_string(profile.Skipped.size() - kListed) + " more";
  return load;
}

}  // namespace byteloom
