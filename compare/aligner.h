// SPDX-License-Identifier: GPL-3.0-or-later
// Lining up two documents whose bytes moved: the sides are walked in
// lockstep at the shift found so far while they agree; where they part, the
// nearest place where they agree again (a window of bytes both have, at a
// shift of its own) is looked for in a look-ahead that grows until one is
// found, and what lies between becomes an insertion, a deletion or a
// change. Both sides are read in pieces: time grows with the documents'
// length and memory stays bounded, whatever their size.
#pragma once

#include <optional>

#include "compare/alignment.h"
#include "control/bytesource.h"
#include "platform/progress.h"

namespace byteloom {

// Finds how the bytes of two documents face each other: the stretches they
// share, each at its own shift, and the inserted, deleted or changed bytes
// between them. nullopt when progress stopped it.
std::optional<TAlignment> AlignPair(TByteSource& left, TByteSource& right, const TProgress& progress = {});

}  // namespace byteloom
