// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/process.h"

namespace byteloom {

namespace {

// --- Owners ---------------------------------------------------------------------------------

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::string BootId() {
  static const std::string id = FirstLine("/proc/sys/kernel/random/boot_id");
  return id;
}

std::string PidSpace(const std::string& pid) {
  char buf[64];
  const ssize_t n = readlink(("/proc/" + pid + "/ns/pid").c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The lock its owner holds on its file for as long as it lives.
struct flock OwnerLock(short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 1;
  return lock;
}

// --- Files in the private folder ------------------------------------------------------------

constexpr const char* kJournalExt = ".BLWJ";

bool IsJournalName(const std::string& name) {
  if (name.size() != 13 || name.compare(8, 5, kJournalExt) != 0) return false;
  return std::all_of(name.begin(), name.begin() + 8,
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// A regular file of ours named name in the folder, or nothing.
bool OwnEntry(int folderFd, const std::string& name, struct stat& st) {
  return IsPlainName(name) && fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(st.st_mode) && st.st_uid == geteuid();
}

// Opens name in the folder for reading, only when it is a regular file of
// ours: a link, FIFO, device or another user's file is never opened. -1 with
// errno when it is not (ENOENT only when there is no such name).
int OpenOwnAt(int folderFd, const std::string& name) {
  struct stat before, st;
  errno = 0;
  if (!OwnEntry(folderFd, name, before)) {
    if (errno != ENOENT) errno = EPERM;
    return -1;
  }
  const int fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || st.st_dev != before.st_dev || st.st_ino != before.st_ino) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

void RemoveOwnAt(int folderFd, const std::string& name) {
  struct stat st;
  if (OwnEntry(folderFd, name, st)) unlinkat(folderFd, name.c_str(), 0);
}

void DataSync(const TFileHandle& file) {
  while (fdatasync(file.Fd()) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINVAL || errno == EROFS) return;
    throw EFileError("Cannot write " + file.Name() + " to disk: " + ErrnoText(errno), errno);
  }
}

// --- Identity -------------------------------------------------------------------------------

constexpr int64_t kMiB = int64_t{1} << 20;
constexpr int64_t kWholeUpTo = 4 * kMiB, kEdge = kMiB, kSample = 4096;
constexpr int kSamples = 64;

struct TDigestContext {
  EVP_MD_CTX* Context = EVP_MD_CTX_new();
  ~TDigestContext() { EVP_MD_CTX_free(Context); }
};

int64_t TimeNs(const struct timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }

// --- Encoding -------------------------------------------------------------------------------

constexpr char kMagic[] = "BYTELOOM-JRNL 1\n";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint8_t kHeaderKind = 0;
constexpr size_t kPieceSize = 17;

struct TOut {
  std::string S;
  void U8(uint8_t v) { S += static_cast<char>(v); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    for (int i = 0; i < 8; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void Str(const std::string& s) {
    U32(static_cast<uint32_t>(s.size()));
    S += s;
  }
  void Identity(const TFileIdentity& id) {
    U64(id.Device);
    U64(id.Inode);
    U64(static_cast<uint64_t>(id.Size));
    U64(static_cast<uint64_t>(id.ModifyTimeNs));
    S.append(reinterpret_cast<const char*>(id.Hash.data()), id.Hash.size());
  }
  void State(const TCaretState& st) {
    U64(static_cast<uint64_t>(st.Caret));
    U8(st.CaretNibble);
    U8(st.InCharField);
    U64(static_cast<uint64_t>(st.SelMin));
    U64(static_cast<uint64_t>(st.SelMax));
    U64(static_cast<uint64_t>(st.SelAnchor));
    U8(st.Modified);
  }
};

// Reads what TOut wrote; any read past the end, or a value out of its
// range, makes it fail.
struct TIn {
  const std::string& S;
  size_t P = 0;
  bool Ok = true;
  uint64_t Uint(int bytes) {
    if (S.size() - P < static_cast<size_t>(bytes)) Ok = false;
    if (!Ok) return 0;
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{static_cast<uint8_t>(S[P++])} << (8 * i);
    return v;
  }
  uint8_t U8() { return static_cast<uint8_t>(Uint(1)); }
  uint8_t Small(uint8_t max) {
    const uint8_t v = U8();
    Ok = Ok && v <= max;
    return v;
  }
  bool Bool() { return Small(1) != 0; }
  uint32_t U32() { return static_cast<uint32_t>(Uint(4)); }
  uint64_t U64() { return Uint(8); }
  int64_t I64() { return static_cast<int64_t>(Uint(8)); }
  std::string Str() {
    const uint32_t n = U32();
    if (S.size() - P < n) Ok = false;
    if (!Ok) return {};
    P += n;
    return S.substr(P - n, n);
  }
  TFileIdentity Identity() {
    TFileIdentity id;
    id.Device = U64();
    id.Inode = U64();
    id.Size = I64();
    id.ModifyTimeNs = I64();
    for (uint8_t& b : id.Hash) b = U8();
    return id;
  }
  TCaretState State() {
    TCaretState st;
    st.Caret = I64();
    st.CaretNibble = Small(1);
    st.InCharField = Bool();
    st.SelMin = I64();
    st.SelMax = I64();
    st.SelAnchor = I64();
    st.Modified = Bool();
    return st;
  }
  bool Done() const { return Ok && P == S.size(); }
};

// The check sum of a frame: crc32 of its length (4 bytes) and its payload.
uint32_t FrameCrc(const std::string& payload) {
  TOut length;
  length.U32(static_cast<uint32_t>(payload.size()));
  const uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(length.S.data()), 4);
  return static_cast<uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef*>(payload.data()), payload.size()));
}

// [length][crc32][payload]
std::string Frame(const std::string& payload) {
  TOut out;
  out.U32(static_cast<uint32_t>(payload.size()));
  out.U32(FrameCrc(payload));
  return out.S + payload;
}

// The crc32 of the nibbles the added-bytes pieces refer to (a half byte
// counts as a byte of its nibble's value); false when the file does not hold
// them all.
bool AddedBytesCrc(const TFileHandle& added, const std::vector<TJournalPiece>& pieces, uint32_t& crc) {
  uLong sum = crc32_z(0, nullptr, 0);
  std::vector<uint8_t> buf;
  for (const TJournalPiece& piece : pieces) {
    if (piece.Source != kSourceAdded || piece.Length == 0) continue;
    if (!added.IsOpen()) return false;
    const uint64_t s = piece.Start, e = piece.Start + piece.Length, first = s / 2, last = (e + 1) / 2;
    if (e < s) return false;
    buf.resize(static_cast<size_t>(std::min<uint64_t>(last - first, kMiB)));
    for (uint64_t pos = first; pos < last;) {
      const int64_t n = static_cast<int64_t>(std::min<uint64_t>(buf.size(), last - pos));
      if (added.ReadAt(buf.data(), n, static_cast<int64_t>(pos)) != n) return false;
      const uint8_t* p = buf.data();
      size_t count = static_cast<size_t>(n);
      uint8_t half;
      if (pos == first && (s & 1)) {  // starts on a low nibble
        half = *p++ & 0x0F;
        sum = crc32_z(sum, &half, 1);
        --count;
      }
      const bool endsHalf = pos + static_cast<uint64_t>(n) == last && (e & 1);
      if (endsHalf) --count;  // ends on a high nibble
      sum = crc32_z(sum, p, count);
      if (endsHalf) {
        half = p[count] >> 4;
        sum = crc32_z(sum, &half, 1);
      }
      pos += static_cast<uint64_t>(n);
    }
  }
  crc = static_cast<uint32_t>(sum);
  return true;
}

std::string EncodeHeader(const TJournalHeader& h) {
  TOut out;
  out.U8(kHeaderKind);
  out.Str(h.FileName);
  out.U8(h.Untitled);
  out.Identity(h.Identity);
  out.Str(h.AddedName);
  out.Str(h.SnapshotName);
  out.U64(static_cast<uint64_t>(h.Owner.Pid));
  out.U64(h.Owner.StartTime);
  out.Str(h.Owner.BootId);
  out.Str(h.Owner.PidSpace);
  out.U8(h.Replay);
  return out.S;
}

bool DecodeHeader(const std::string& payload, TJournalHeader& h) {
  TIn in{payload};
  const bool kind = in.U8() == kHeaderKind;
  h.FileName = in.Str();
  h.Untitled = in.Bool();
  h.Identity = in.Identity();
  h.AddedName = in.Str();
  h.SnapshotName = in.Str();
  h.Owner.Pid = in.I64();
  h.Owner.StartTime = in.U64();
  h.Owner.BootId = in.Str();
  h.Owner.PidSpace = in.Str();
  h.Replay = in.Bool();
  return kind && in.Done() && IsPlainName(h.AddedName) && (h.SnapshotName.empty() || IsPlainName(h.SnapshotName));
}

std::string EncodeRecord(const TJournalRecord& r, uint32_t addedCrc) {
  TOut out;
  out.U8(static_cast<uint8_t>(r.Kind));
  switch (r.Kind) {
    case TJournalKind::jkSplice:
      out.U64(r.At);
      out.U64(r.Removed);
      out.U32(static_cast<uint32_t>(r.Pieces.size()));
      for (const TJournalPiece& p : r.Pieces) {
        out.U8(p.Source);
        out.U64(p.Start);
        out.U64(p.Length);
      }
      out.U32(addedCrc);
      break;
    case TJournalKind::jkStepBegin:
      out.U8(r.StepKind);
      out.U64(static_cast<uint64_t>(r.StepPos));
      out.U8(r.Planned ? 1 : 0);
      if (r.Planned) {
        out.U64(static_cast<uint64_t>(r.StepExtra));
        out.U64(static_cast<uint64_t>(r.StepCount));
      }
      [[fallthrough]];
    case TJournalKind::jkStepEnd:
    case TJournalKind::jkUndo:
    case TJournalKind::jkRedo:
    case TJournalKind::jkCaret:
      out.State(r.State);
      break;
    case TJournalKind::jkSaved:
      out.Str(r.SavedName);
      out.Identity(r.SavedIdentity);
      break;
    case TJournalKind::jkReplayed:
      break;
  }
  return out.S;
}

bool DecodeRecord(const std::string& payload, TJournalRecord& r, uint32_t& addedCrc) {
  TIn in{payload};
  const uint8_t kind = in.U8();
  r.Kind = static_cast<TJournalKind>(kind);
  switch (r.Kind) {
    case TJournalKind::jkSplice: {
      r.At = in.U64();
      r.Removed = in.U64();
      const uint32_t count = in.U32();
      if (!in.Ok || count > (payload.size() - in.P) / kPieceSize) return false;
      r.Pieces.resize(count);
      for (TJournalPiece& p : r.Pieces) {
        p.Source = in.Small(kSourceZeros);
        p.Start = in.U64();
        p.Length = in.U64();
        in.Ok = in.Ok && p.Start + p.Length >= p.Start;
      }
      addedCrc = in.U32();
      break;
    }
    case TJournalKind::jkStepBegin:
      r.StepKind = in.Small(7);
      r.StepPos = static_cast<int64_t>(in.U64());
      r.Planned = in.Small(1) == 1;
      if (r.Planned) {
        r.StepExtra = static_cast<int64_t>(in.U64());
        r.StepCount = static_cast<int64_t>(in.U64());
      }
      [[fallthrough]];
    case TJournalKind::jkStepEnd:
    case TJournalKind::jkUndo:
    case TJournalKind::jkRedo:
    case TJournalKind::jkCaret:
      r.State = in.State();
      break;
    case TJournalKind::jkSaved:
      r.SavedName = in.Str();
      r.SavedIdentity = in.Identity();
      break;
    case TJournalKind::jkReplayed:
      break;
    default:
      return false;
  }
  return in.Done();
}

enum class TFrame { frWhole, frEnd, frCutOff, frCorrupted };

// The frame at pos, read with the size limit.
TFrame ReadFrame(const TFileHandle& file, int64_t pos, int64_t size, int64_t maxRecord, std::string& payload) {
  if (pos == size) return TFrame::frEnd;
  if (size - pos < 8) return TFrame::frCutOff;
  std::string prefix(8, '\0');
  file.ReadExact(prefix.data(), 8, pos);
  TIn in{prefix};
  const uint32_t length = in.U32(), crc = in.U32();
  if (length == 0 || length > maxRecord) return TFrame::frCorrupted;
  if (size - pos - 8 < length) return TFrame::frCutOff;
  payload.resize(length);
  file.ReadExact(payload.data(), length, pos + 8);
  return crc == FrameCrc(payload) ? TFrame::frWhole : TFrame::frCorrupted;
}

// Reads the journal's header; pos: where its records begin. Raises EFileError.
bool ReadHeader(const TFileHandle& file, int64_t size, int64_t maxRecord, TJournalHeader& header, int64_t& pos) {
  std::string magic(kMagicSize, '\0'), payload;
  if (file.ReadAt(magic.data(), kMagicSize, 0) != static_cast<int64_t>(kMagicSize) || magic != kMagic) return false;
  if (ReadFrame(file, kMagicSize, size, maxRecord, payload) != TFrame::frWhole || !DecodeHeader(payload, header))
    return false;
  pos = kMagicSize + 8 + static_cast<int64_t>(payload.size());
  return true;
}

// Reads the journal open in file; the added-bytes file is looked up in folderFd.
bool ReadFrom(int folderFd, const TFileHandle& file, TJournalContents& out, std::string* problem, int64_t maxRecord) {
  try {
    out = TJournalContents{};
    const int64_t size = file.Size();
    int64_t pos = 0;
    std::string payload;
    if (!ReadHeader(file, size, maxRecord, out.Header, pos)) {
      if (problem) *problem = file.Name() + " is not a journal with a whole header";
      return false;
    }
    const int addedFd = OpenOwnAt(folderFd, out.Header.AddedName);
    const TFileHandle added(addedFd, out.Header.AddedName);
    for (;;) {
      const TFrame frame = ReadFrame(file, pos, size, maxRecord, payload);
      if (frame == TFrame::frEnd) break;
      TJournalRecord record;
      uint32_t wantCrc = 0, haveCrc = 0;
      if (frame == TFrame::frCutOff) out.Tail = TJournalTail::jtCutOff;
      if (frame == TFrame::frCorrupted || (frame == TFrame::frWhole && !DecodeRecord(payload, record, wantCrc)))
        out.Tail = TJournalTail::jtCorrupted;
      if (out.Tail != TJournalTail::jtWhole) break;
      if (record.Kind == TJournalKind::jkSplice) {
        bool whole = false;
        try {
          whole = AddedBytesCrc(added, record.Pieces, haveCrc) && haveCrc == wantCrc;
        } catch (const EFileError&) {
        }
        if (!whole) {
          out.Tail = TJournalTail::jtAddedBytesMissing;
          break;
        }
      }
      out.Records.push_back(std::move(record));
      pos += 8 + static_cast<int64_t>(payload.size());
    }
    out.DroppedBytes = size - pos;
    return true;
  } catch (const EFileError& e) {
    if (problem) *problem = e.what();
    return false;
  }
}

std::vector<std::string> JournalNames(int folderFd) {
  std::vector<std::string> names;
  // A descriptor of its own, so that listing moves no other reader's place.
  const int dirFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
  if (!dir) {
    if (dirFd >= 0) ::close(dirFd);
    return names;
  }
  while (dirent* e = readdir(dir))
    if (IsJournalName(e->d_name)) names.emplace_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// Whether a journal in the folder other than journal names file as its
// added bytes or its snapshot.
bool NamedByAnother(int folderFd, const std::string& journal, const std::string& file) {
  for (const std::string& name : JournalNames(folderFd)) {
    const int fd = name == journal ? -1 : OpenOwnAt(folderFd, name);
    if (fd < 0) continue;
    const TFileHandle other(fd, name);
    TJournalHeader header;
    int64_t pos = 0;
    try {
      if (ReadHeader(other, other.Size(), kMaxJournalRecord, header, pos) &&
          (header.AddedName == file || header.SnapshotName == file))
        return true;
    } catch (const EFileError&) {
    }
  }
  return false;
}

}  // namespace

// --- Identity -------------------------------------------------------------------------------

TFileIdentity TFileIdentity::Take(int fd, const std::string& name) {
  struct stat before, after;
  if (fstat(fd, &before) != 0) throw EFileError("Cannot read " + name + ": " + ErrnoText(errno), errno);
  if (!S_ISREG(before.st_mode)) throw EFileError(name + " is not a regular file");
  TFileIdentity id;
  id.Device = before.st_dev;
  id.Inode = before.st_ino;
  id.Size = before.st_size;
  id.ModifyTimeNs = TimeNs(before.st_mtim);
  std::vector<std::pair<int64_t, int64_t>> parts;  // offset, length
  if (id.Size <= kWholeUpTo) {
    parts.emplace_back(0, id.Size);
  } else {
    parts.emplace_back(0, kEdge);
    for (int64_t k = 1; k <= kSamples; ++k)
      parts.emplace_back((id.Size / (kSamples + 1) * k + id.Size % (kSamples + 1) * k / (kSamples + 1)) & ~(kSample - 1),
                         kSample);
    parts.emplace_back(id.Size - kEdge, kEdge);
  }
  TDigestContext digest;
  if (!digest.Context || EVP_DigestInit_ex(digest.Context, EVP_sha256(), nullptr) != 1)
    throw EFileError("Cannot compute the hash of " + name);
  const TFileHandle file(dup(fd), name);
  if (!file.IsOpen()) throw EFileError("Cannot read " + name + ": " + ErrnoText(errno), errno);
  std::vector<uint8_t> buf(static_cast<size_t>(kEdge));
  for (const auto& [offset, length] : parts) {
    for (int64_t done = 0; done < length;) {
      const int64_t n = std::min(length - done, kEdge);
      file.ReadExact(buf.data(), n, offset + done);
      if (EVP_DigestUpdate(digest.Context, buf.data(), static_cast<size_t>(n)) != 1)
        throw EFileError("Cannot compute the hash of " + name);
      done += n;
    }
  }
  unsigned int hashLength = 0;
  if (EVP_DigestFinal_ex(digest.Context, id.Hash.data(), &hashLength) != 1 || hashLength != id.Hash.size())
    throw EFileError("Cannot compute the hash of " + name);
  if (fstat(fd, &after) != 0 || after.st_size != before.st_size || TimeNs(after.st_mtim) != id.ModifyTimeNs)
    throw EFileError(name + " changed while it was read");
  return id;
}

TIdentityChange CompareIdentity(const TFileIdentity& was, const TFileIdentity& now) {
  if (was.Device != now.Device || was.Inode != now.Inode) return TIdentityChange::icReplaced;
  if (was.Size != now.Size) return TIdentityChange::icSize;
  if (was.ModifyTimeNs != now.ModifyTimeNs) return TIdentityChange::icTime;
  if (was.Hash != now.Hash) return TIdentityChange::icContent;
  return TIdentityChange::icSame;
}

std::string IdentityChangeText(const std::string& fileName, TIdentityChange change) {
  switch (change) {
    case TIdentityChange::icSame: return {};
    case TIdentityChange::icMissing: return fileName + " is gone or cannot be read.";
    case TIdentityChange::icReplaced: return fileName + " was replaced by another file.";
    case TIdentityChange::icSize: return fileName + " was changed by another program (its size is different).";
    case TIdentityChange::icTime: return fileName + " was changed by another program (its modification time is different).";
    case TIdentityChange::icContent: return fileName + " was changed by another program (its content is different).";
  }
  return {};
}

// --- Owners ---------------------------------------------------------------------------------

TOwnerStamp SelfStamp() {
  static TOwnerStamp self;
  if (self.Pid != getpid()) self = {getpid(), ProcessStartTime(getpid()), BootId(), PidSpace("self")};
  return self;
}

void TakeOwnerLock(int fd, const std::string& name) {
  struct flock lock = OwnerLock(F_WRLCK);
  // Where the file system has no locks the owner is told by its process.
  if (fcntl(fd, F_OFD_SETLK, &lock) != 0 && errno != EINVAL && errno != ENOLCK)
    throw EFileError("Cannot lock " + name + ": " + ErrnoText(errno), errno);
}

TOwnerState OwnerStateOf(const TOwnerStamp& owner, int fd, int openErr) {
  if (!owner.BootId.empty() && !BootId().empty() && owner.BootId != BootId()) return TOwnerState::osGone;
  if (fd < 0) return openErr == ENOENT ? TOwnerState::osGone : TOwnerState::osUnclear;
  struct flock lock = OwnerLock(F_RDLCK);
  if (fcntl(fd, F_OFD_GETLK, &lock) == 0) return lock.l_type == F_UNLCK ? TOwnerState::osGone : TOwnerState::osAlive;
  // No locks here: the process itself, where its numbers mean the same to us.
  if (owner.PidSpace.empty() || owner.PidSpace != PidSpace("self")) return TOwnerState::osUnclear;
  if (kill(static_cast<pid_t>(owner.Pid), 0) != 0 && errno == ESRCH) return TOwnerState::osGone;
  const uint64_t start = ProcessStartTime(owner.Pid);
  if (start == 0) return TOwnerState::osUnclear;
  return start == owner.StartTime ? TOwnerState::osAlive : TOwnerState::osGone;
}

// --- Writing --------------------------------------------------------------------------------

TJournal TJournal::Create(const TJournalHeader& header, const TFileHandle& added) {
  TJournalHeader h = header;
  if (!IsPlainName(h.AddedName) || !(h.SnapshotName.empty() || IsPlainName(h.SnapshotName)))
    throw EFileError("The journal names a file outside the work folder");
  if (!h.Untitled) h.FileName = AbsolutePath(h.FileName);
  h.Owner = SelfStamp();
  TJournal journal;
  journal.FFile = TTempFile::Create(WorkFolder(), kJournalExt);
  journal.FAdded = &added;
  TakeOwnerLock(journal.FFile.Handle().Fd(), journal.Name());
  journal.Write(kMagic + Frame(EncodeHeader(h)));
  return journal;
}

void TJournal::Append(const std::vector<TJournalRecord>& records) {
  if (!IsOpen()) throw EFileError("The journal is closed");
  if (FBroken) throw EFileError("The journal " + Name() + " cannot be written since a write failed");
  std::string frames;
  for (const TJournalRecord& record : records) {
    uint32_t crc = 0;
    if (record.Kind == TJournalKind::jkSplice && !AddedBytesCrc(*FAdded, record.Pieces, crc))
      throw EFileError("The added bytes of a change are not in " + FAdded->Name());
    const std::string payload = EncodeRecord(record, crc);
    if (static_cast<int64_t>(payload.size()) > kMaxJournalRecord)
      throw EFileError("The change is too large for the journal " + Name());
    frames += Frame(payload);
  }
  Write(frames);
}

void TJournal::Write(const std::string& bytes) {
  TFileHandle& file = FFile.Handle();
  const int64_t end = FEnd + static_cast<int64_t>(bytes.size());
  if (end > FReserved) {
    // Blocks for this record and the next ones, so that a full disk refuses
    // the record before any of it is written.
    const int64_t want = (end + kReserveStep - 1) / kReserveStep * kReserveStep;
    FReserved = file.TryReserve(want) ? want : INT64_MAX;
  }
  try {
    file.WriteAt(bytes.data(), static_cast<int64_t>(bytes.size()), FEnd);
  } catch (const EFileError&) {
    try {
      file.SetSize(FEnd);
    } catch (const EFileError&) {
      FBroken = true;
    }
    throw;
  }
  FEnd = end;
}

void TJournal::Sync() {
  if (!IsOpen()) return;
  if (FAdded && FAdded->IsOpen()) DataSync(*FAdded);
  DataSync(FFile.Handle());
  if (!FFolderSynced) {
    // The folder's entries of the journal and the added-bytes file.
    if (fsync(WorkFolderFd()) != 0 && errno != EINVAL && errno != EROFS)
      throw EFileError("Cannot write the work folder to disk: " + ErrnoText(errno), errno);
    FFolderSynced = true;
  }
}

void TJournal::Remove() { FFile.Remove(); }

void TJournal::Abandon() {
  if (!IsOpen()) return;
  // A second descriptor keeps the lock's open file until the process ends.
  if (dup(FFile.Handle().Fd()) < 0) return;
  FFile.Release();
}

// --- Reading --------------------------------------------------------------------------------

bool TJournalContents::HasChanges() const {
  bool changes = false;
  for (const TJournalRecord& r : Records) {
    if (r.Kind == TJournalKind::jkSaved) changes = false;
    if (r.Kind == TJournalKind::jkSplice || r.Kind == TJournalKind::jkUndo || r.Kind == TJournalKind::jkRedo)
      changes = true;
  }
  return changes;
}

namespace {

// Whether a journal's edits are all in a file: no change follows its last
// save, and that save's file is the one the save made (a save cut short
// before its rename left the old file, and every edit is still wanted).
bool SavedWhole(const TJournalContents& c) {
  if (c.HasChanges()) return false;
  const TJournalRecord* saved = nullptr;
  for (const TJournalRecord& r : c.Records)
    if (r.Kind == TJournalKind::jkSaved) saved = &r;
  if (!saved) return true;
  try {
    const TFileHandle file = OpenRegularForReading(saved->SavedName);
    return CompareIdentity(saved->SavedIdentity, TFileIdentity::Take(file.Fd(), saved->SavedName)) ==
           TIdentityChange::icSame;
  } catch (const EFileError&) {
    return false;
  }
}

}  // namespace

bool ReadJournal(int folderFd, const std::string& name, TJournalContents& out, std::string* problem,
                 int64_t maxRecord) {
  const int fd = OpenOwnAt(folderFd, name);
  if (fd < 0) {
    if (problem) *problem = name + " is not a regular file of yours";
    return false;
  }
  return ReadFrom(folderFd, TFileHandle(fd, name), out, problem, maxRecord);
}

std::vector<TFoundJournal> FindJournals(int folderFd) {
  std::vector<TFoundJournal> found;
  for (const std::string& name : JournalNames(folderFd)) {
    const int fd = OpenOwnAt(folderFd, name);
    if (fd < 0) continue;
    const TFileHandle file(fd, name);
    TFoundJournal journal{name, {}};
    if (!ReadFrom(folderFd, file, journal.Contents, nullptr, kMaxJournalRecord) ||
        OwnerStateOf(journal.Contents.Header.Owner, fd) != TOwnerState::osGone)
      continue;
    const auto& records = journal.Contents.Records;
    const bool partial = journal.Contents.Header.Replay &&
                         std::none_of(records.begin(), records.end(), [](const TJournalRecord& r) {
                           return r.Kind == TJournalKind::jkReplayed;
                         });
    if (!partial && (!SavedWhole(journal.Contents) || journal.Contents.Tail != TJournalTail::jtWhole))
      found.push_back(std::move(journal));
    else
      DiscardJournal(folderFd, journal);
  }
  return found;
}

void DiscardJournal(int folderFd, const TFoundJournal& found) {
  // The journal first: one whose files went before it would be offered
  // again and could not be replayed (a crash in between leaves only files
  // that no journal names).
  RemoveOwnAt(folderFd, found.Name);
  for (const std::string& file : {found.Contents.Header.AddedName, found.Contents.Header.SnapshotName})
    if (!file.empty() && !NamedByAnother(folderFd, found.Name, file)) RemoveOwnAt(folderFd, file);
}

TJournalSource OpenJournalSource(int folderFd, const TJournalHeader& header) {
  TJournalSource source;
  if (header.Untitled) return source;
  try {
    TFileHandle file = OpenRegularForReading(header.FileName);
    source.Change = CompareIdentity(header.Identity, TFileIdentity::Take(file.Fd(), header.FileName));
    if (source.Change == TIdentityChange::icSame) {
      source.File = std::move(file);
      return source;
    }
  } catch (const EFileError&) {
    source.Change = TIdentityChange::icMissing;
  }
  const int fd = header.SnapshotName.empty() ? -1 : OpenOwnAt(folderFd, header.SnapshotName);
  if (fd < 0) return source;
  TFileHandle snapshot(fd, header.SnapshotName);
  try {
    const TFileIdentity id = TFileIdentity::Take(fd, header.SnapshotName);
    if (id.Size != header.Identity.Size || id.Hash != header.Identity.Hash) return source;
  } catch (const EFileError&) {
    return source;
  }
  source.File = std::move(snapshot);
  source.FromSnapshot = true;
  return source;
}

TFileHandle OpenJournalAdded(int folderFd, const TJournalHeader& header) {
  const int fd = OpenOwnAt(folderFd, header.AddedName);
  if (fd < 0) throw EFileError("Cannot read " + header.AddedName + ": " + ErrnoText(errno), errno);
  return TFileHandle(fd, header.AddedName);
}

void ReplayJournal(const TJournalContents& contents, const TJournalReplay& replay) {
  for (const TJournalRecord& r : contents.Records) {
    switch (r.Kind) {
      case TJournalKind::jkSplice:
        if (replay.OnSplice) replay.OnSplice(r.At, r.Removed, r.Pieces);
        break;
      case TJournalKind::jkStepBegin:
        if (replay.OnStepBegin) replay.OnStepBegin(r.StepKind, r.State);
        break;
      case TJournalKind::jkStepEnd:
        if (replay.OnStepEnd) replay.OnStepEnd(r.State);
        break;
      case TJournalKind::jkUndo:
        if (replay.OnUndo) replay.OnUndo(r.State);
        break;
      case TJournalKind::jkRedo:
        if (replay.OnRedo) replay.OnRedo(r.State);
        break;
      case TJournalKind::jkSaved:
        if (replay.OnSaved) replay.OnSaved(r.SavedName, r.SavedIdentity);
        break;
      case TJournalKind::jkCaret:
      case TJournalKind::jkReplayed:
        break;
    }
  }
}

}  // namespace byteloom
