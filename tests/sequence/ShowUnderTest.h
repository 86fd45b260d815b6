#pragma once
// The managers a show reaches, made once for the sequence tests and bound
// the way the program binds its own.
#include "sequence/StandaloneShow.h"

namespace seqtest {

using ShowUnderTest = StandaloneShow;

// One show for the whole test program, like the program's own.
inline ShowUnderTest& TheShow() {
  static ShowUnderTest show;
  return show;
}

}  // namespace seqtest
