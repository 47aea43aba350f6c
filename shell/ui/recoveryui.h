// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery question at start: the unsaved changes that a crashed session
// left in its working copies are offered back, file by file.
#pragma once

namespace byteloom {

class TMainform;

// For each working copy whose owner is gone and that holds unsaved changes,
// asks "Recover unsaved changes of FILE?": Yes opens it in a new editor
// window as a modified document named after its file (saved only when the
// user saves it), No deletes the working copy.
void OfferRecovery(TMainform& frame);

}  // namespace byteloom
