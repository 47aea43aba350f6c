// SPDX-License-Identifier: GPL-3.0-or-later
// Character translation for the character column of the hex editor: how a
// file byte is shown, and which file byte a typed character becomes.
//
// Displayed and typed characters are Windows-1252 (ANSI) bytes; see
// platform/codepages.h.
#pragma once

#include <cstdint>

#include "control/types.h"

namespace byteloom {

// ANSI <-> OEM (code page 437) character conversion.
uint8_t AnsiToOemChar(uint8_t c);
uint8_t OemToAnsiChar(uint8_t c);

// The ANSI character shown for file byte b. Bytes the translation cannot
// show become maskChar; with maskWhiteSpaces, so does every resulting
// character below 0x20.
uint8_t FileByteToChar(TTranslationType t, bool maskWhiteSpaces, uint8_t maskChar, uint8_t b);

// The file byte written when ANSI character c is typed, or 0 when c cannot
// be typed in this translation.
uint8_t CharToFileByte(TTranslationType t, uint8_t c);

// Converts ANSI text (for example pasted text) to file bytes. src may equal
// dst; does nothing for count <= 0. Unlike CharToFileByte nothing is
// rejected: ttASCII converts the whole buffer as ttDos8 does, and
// characters with no EBCDIC byte become 0.
void TranslateToFile(TTranslationType t, const uint8_t* src, uint8_t* dst, int count);

}  // namespace byteloom
