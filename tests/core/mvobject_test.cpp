#include <gtest/gtest.h>

#include <sstream>

#include "core/MVObject.h"
#include "gui/Dialog.h"
#include "io/BinaryIO.h"

namespace {
struct Probe : MVObject {};
}  // namespace

TEST(MVObject, WithoutPanelWritesDefaults) {
  Probe p;
  std::ostringstream os;
  p.Write(os);
  EXPECT_EQ(os.str(), std::string("\0\0\0\0\0\0\0\0\x01", 9));
}

TEST(MVObject, NegativePositionsRoundTrip) {
  CDXUTDialog a, b;
  a.SetLocation(-40, -7);
  a.SetMinimized(false);
  Probe w, r;
  w.SetPanel(&a);
  r.SetPanel(&b);
  std::stringstream ss;
  w.Write(ss);
  r.Read(ss);
  EXPECT_EQ(b.GetX(), -40);
  EXPECT_EQ(b.GetY(), -7);
  EXPECT_FALSE(b.GetMinimized());
}

TEST(MVObject, ReadWithoutPanelConsumesExactlyNineBytes) {
  std::stringstream ss;
  ss.write("\x01\x02\x03\x04\x05\x06\x07\x08\x01", 9);
  mv::io::WriteI32(ss, 42);
  Probe p;
  p.Read(ss);
  std::int32_t next = 0;
  ASSERT_TRUE(mv::io::ReadI32(ss, next));
  EXPECT_EQ(next, 42);
}
