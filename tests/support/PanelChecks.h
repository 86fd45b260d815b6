#pragma once
// Checks on built panels, header only (the support library does not link
// the toolkit).
#include <set>
#include <utility>

#include "gui/Controls.h"
#include "gui/Dialog.h"

namespace mvtest {

// Controls whose non-zero ID an earlier control of the same type already
// has (panels may give a label the ID of the control it names; lookups
// tell them apart by type).
inline int DuplicateControlIds(const CDXUTDialog& d) {
  std::set<std::pair<int, unsigned>> seen;
  int duplicates = 0;
  for (int i = 0; i < d.GetNumControls(); ++i) {
    const CDXUTControl* c = d.GetControlByIndex(i);
    if (c->GetID() != 0 && !seen.insert({c->GetID(), static_cast<unsigned>(c->GetType())}).second) ++duplicates;
  }
  return duplicates;
}

}  // namespace mvtest
