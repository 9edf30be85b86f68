// GBK on the wire and in files, UTF-8 inside the program.
#include "text/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace tavren {
namespace {

TEST(Gbk, TextGoesBothWays) {
  struct Case {
    const char* utf8;
    std::string gbk;
  } cases[] = {
      {"", ""},
      {"amy 123", "amy 123"},
      {"好", "\xBA\xC3"},
      {"三片起胡,吃牌上听", "\xC8\xFD\xC6\xAC\xC6\xF0\xBA\xFA,\xB3\xD4\xC5\xC6\xC9\xCF\xCC\xFD"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(Utf8ToGbk(k.utf8), k.gbk) << k.utf8;
    EXPECT_EQ(GbkToUtf8(k.gbk), k.utf8) << k.utf8;
  }
}

TEST(Gbk, WhatCannotBeCarriedIsMarkedNotDropped) {
  // A character GBK has no code for becomes '?'.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a?b");
  // A lead byte with nothing after it, or a byte no GBK text holds, becomes U+FFFD.
  EXPECT_EQ(GbkToUtf8("a\xBA"), "a\xEF\xBF\xBD");
  EXPECT_EQ(GbkToUtf8(std::string("\xFF", 1)), "\xEF\xBF\xBD");
}

TEST(Gbk, PrefixesCountCharactersNotBytes) {
  EXPECT_EQ(Utf8Prefix("好牌abc", 3), "好牌a");
  EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
  EXPECT_EQ(Utf8Prefix("好", 0), "");
}

TEST(Gbk, SingleByteTextIsAsciiOnly) {
  EXPECT_TRUE(IsSingleByteText("amy_01"));
  EXPECT_TRUE(IsSingleByteText(""));
  EXPECT_FALSE(IsSingleByteText("猫"));
  EXPECT_FALSE(IsSingleByteText("a\x80"));
}

}  // namespace
}  // namespace tavren
