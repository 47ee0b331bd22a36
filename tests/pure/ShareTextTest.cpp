#include <gtest/gtest.h>

#include "common/ShareText.h"

TEST(NetworkShareRoot, ServerAndShare) {
  EXPECT_EQ(NetworkShareRoot("\\\\srv\\data\\a\\b"), "\\\\srv\\data");
  EXPECT_EQ(NetworkShareRoot("\\\\srv\\data\\run\\x.exe"), "\\\\srv\\data");
  EXPECT_EQ(NetworkShareRoot("\\\\srv\\data\\"), "\\\\srv\\data");
  EXPECT_EQ(NetworkShareRoot("\\\\srv\\data"), "\\\\srv\\data");
  EXPECT_EQ(NetworkShareRoot("\\\\srv"), "\\\\srv");
  EXPECT_EQ(NetworkShareRoot("C:\\a\\b"), "C:\\a\\b");
  EXPECT_EQ(NetworkShareRoot(""), "");
  EXPECT_EQ(NetworkShareRoot("\\\\"), "\\\\");
  EXPECT_EQ(NetworkShareRoot("\\\\\\"), "\\\\\\");
  // Text before the pair of backslashes belongs to the result.
  EXPECT_EQ(NetworkShareRoot("x\\\\srv\\data\\d"), "x\\\\srv\\data");
}

TEST(IsNetworkSharePath, NeedsServerAndShare) {
  EXPECT_TRUE(IsNetworkSharePath("\\\\srv\\data"));
  EXPECT_TRUE(IsNetworkSharePath("\\\\srv\\data\\"));
  EXPECT_TRUE(IsNetworkSharePath("\\\\srv\\data\\dir\\file"));
  EXPECT_FALSE(IsNetworkSharePath("\\\\srv"));
  EXPECT_FALSE(IsNetworkSharePath("\\\\srv\\"));
  EXPECT_FALSE(IsNetworkSharePath("C:\\a"));
  EXPECT_FALSE(IsNetworkSharePath(""));
  EXPECT_FALSE(IsNetworkSharePath("\\\\"));
}
