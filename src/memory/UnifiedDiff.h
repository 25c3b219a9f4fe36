#pragma once
// Line differences of two texts in the unified form: "--- a", "+++ b", hunks
// "@@ -l,n +l,n @@" with the given lines of context. Empty when the texts agree.
#include <string>
#include <vector>

class UnifiedDiff {
 public:
  static std::string diff(const std::string& before, const std::string& after, const std::string& nameBefore,
                          const std::string& nameAfter, size_t context = 3);
  // The text's lines without their ends; a last line without an end still counts.
  static std::vector<std::string> splitLines(const std::string& text);
};
