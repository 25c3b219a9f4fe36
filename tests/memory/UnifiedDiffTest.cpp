#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "UnifiedDiff.h"

namespace {

std::string lines(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& l : v) s += l + "\n";
  return s;
}

// Applies a unified diff to before, checking every context and removed line.
bool applyPatch(const std::string& before, const std::string& patch, std::string& result) {
  const auto src = UnifiedDiff::splitLines(before);
  const auto p = UnifiedDiff::splitLines(patch);
  std::vector<std::string> out;
  size_t next = 0;  // next source line to copy
  for (size_t k = 2; k < p.size(); ++k) {
    const std::string& l = p[k];
    if (l.rfind("@@ -", 0) == 0) {
      const size_t start = std::stoul(l.substr(4));
      const size_t count = l.find(',') < l.find(' ', 4) ? std::stoul(l.substr(l.find(',') + 1)) : 1;
      const size_t index = count == 0 ? start : start - 1;
      if (index < next || index > src.size()) return false;
      while (next < index) out.push_back(src[next++]);
      continue;
    }
    if (l.empty()) return false;
    const std::string text = l.substr(1);
    if (l[0] == '+') {
      out.push_back(text);
    } else {
      if (next >= src.size() || src[next] != text || (l[0] != ' ' && l[0] != '-')) return false;
      if (l[0] == ' ') out.push_back(text);
      ++next;
    }
  }
  while (next < src.size()) out.push_back(src[next++]);
  result = lines(out);
  return true;
}

TEST(UnifiedDiffTest, HunksMatchTheUsualForm) {
  const struct {
    const char* name;
    std::vector<std::string> before, after;
    const char* expected;
  } cases[] = {
      {"same", {"a", "b"}, {"a", "b"}, ""},
      {"one changed", {"a", "b", "c"}, {"a", "X", "c"}, "--- A\n+++ B\n@@ -1,3 +1,3 @@\n a\n-b\n+X\n c\n"},
      {"added at end", {"a"}, {"a", "b"}, "--- A\n+++ B\n@@ -1 +1,2 @@\n a\n+b\n"},
      {"from empty", {}, {"a", "b"}, "--- A\n+++ B\n@@ -0,0 +1,2 @@\n+a\n+b\n"},
      {"to empty", {"a"}, {}, "--- A\n+++ B\n@@ -1 +0,0 @@\n-a\n"},
      {"context of three", {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, {"1", "2", "3", "4", "five", "6", "7", "8", "9"},
       "--- A\n+++ B\n@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n"},
      {"two hunks", {"a", "1", "2", "3", "4", "5", "6", "7", "z"}, {"A", "1", "2", "3", "4", "5", "6", "7", "Z"},
       "--- A\n+++ B\n@@ -1,4 +1,4 @@\n-a\n+A\n 1\n 2\n 3\n@@ -6,4 +6,4 @@\n 5\n 6\n 7\n-z\n+Z\n"},
      {"joined when six apart", {"a", "1", "2", "3", "4", "5", "6", "z"}, {"A", "1", "2", "3", "4", "5", "6", "Z"},
       "--- A\n+++ B\n@@ -1,8 +1,8 @@\n-a\n+A\n 1\n 2\n 3\n 4\n 5\n 6\n-z\n+Z\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnifiedDiff::diff(lines(c.before), lines(c.after), "A", "B"), c.expected) << c.name;
  }
}

TEST(UnifiedDiffTest, LastLineWithoutEndStillCounts) {
  EXPECT_EQ(UnifiedDiff::splitLines("a\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(UnifiedDiff::splitLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(UnifiedDiff::splitLines("").empty());
}

// Random edits of random texts: the diff, applied to the first text, gives the second.
TEST(UnifiedDiffTest, PatchRebuildsTheSecondText) {
  std::mt19937 gen(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> a;
    const int n = static_cast<int>(gen() % 40);
    for (int i = 0; i < n; ++i) a.push_back("line " + std::to_string(gen() % 6));
    std::vector<std::string> b = a;
    const int edits = static_cast<int>(gen() % 6);
    for (int e = 0; e < edits; ++e) {
      const size_t at = b.empty() ? 0 : gen() % (b.size() + 1);
      switch (gen() % 3) {
        case 0: b.insert(b.begin() + static_cast<long>(at), "new " + std::to_string(gen() % 9)); break;
        case 1: if (at < b.size()) b.erase(b.begin() + static_cast<long>(at)); break;
        default: if (at < b.size()) b[at] = "changed"; break;
      }
    }
    const std::string patch = UnifiedDiff::diff(lines(a), lines(b), "A", "B", static_cast<size_t>(round % 4));
    std::string rebuilt;
    ASSERT_TRUE(applyPatch(lines(a), patch, rebuilt)) << patch;
    EXPECT_EQ(rebuilt, lines(b)) << patch;
    EXPECT_EQ(patch.empty(), a == b);
  }
}

}  // namespace
