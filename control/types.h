// SPDX-License-Identifier: GPL-3.0-or-later
// Basic types shared by the hex editor control and its host.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace byteloom {

// A colour: either an RGB value 0x00BBGGRR or a system colour with the top bit set.
using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clGray = 0x808080;
constexpr TColor clSystemColor = 0x80000000;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;

inline bool IsSystemColor(TColor c) { return (c & clSystemColor) != 0; }

// Positions are signed 64-bit: a document could hold up to 2^63 - 1 bytes,
// far beyond what any file system stores, which sets the real limit.
inline constexpr int64_t kMaxDocumentSize = INT64_MAX;
inline const char* const kDocumentLimitMessage = "The document cannot grow beyond 9,223,372,036,854,775,807 bytes";

enum class TTranslationType : uint8_t { ttAnsi, ttDos8, ttASCII, ttMac, ttEBCDIC };
enum class TOffsetDisplayStyle : uint8_t { odHex, odDec, odNone };
enum class TCaretStyle : uint8_t { csFull, csLeftLine, csBottomLine };

enum class TCursor : uint8_t { crDefault, crIBeam, crHourGlass };

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

// A rectangle in client pixels; Right and Bottom are exclusive.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Intersects(const TRect& o) const {
    return Left < o.Right && o.Left < Right && Top < o.Bottom && o.Top < Bottom;
  }
  bool operator==(const TRect&) const = default;
};

struct TFont {
  std::string Name = "Courier";
  int Size = 12;       // points
  int Height = -16;    // negative: character height in pixels
  TColor Color = clWindowText;
  bool operator==(const TFont&) const = default;
};

// Every error raised by the control carries one of its fixed messages.
class EHexEditorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace byteloom
