#include "UnifiedDiff.h"

#include <algorithm>
#include <cstdint>

namespace {

struct Edit {
  char kind;  // ' ' kept, '-' removed, '+' added
  size_t a;   // line index in the first text (the next one for '+')
  size_t b;   // line index in the second text (the next one for '-')
};

// The edit script of a longest common subsequence, common head and tail peeled off
// first so the table only spans the region that changed.
std::vector<Edit> editScript(const std::vector<std::string>& x, const std::vector<std::string>& y) {
  size_t head = 0;
  while (head < x.size() && head < y.size() && x[head] == y[head]) ++head;
  size_t tail = 0;
  while (tail < x.size() - head && tail < y.size() - head && x[x.size() - 1 - tail] == y[y.size() - 1 - tail]) ++tail;
  const size_t n = x.size() - head - tail;
  const size_t m = y.size() - head - tail;
  // lcs[i][j]: common length of x[head+i..] and y[head+j..] within the middle.
  std::vector<uint32_t> lcs((n + 1) * (m + 1), 0);
  const auto at = [m](size_t i, size_t j) { return i * (m + 1) + j; };
  for (size_t i = n; i-- > 0;) {
    for (size_t j = m; j-- > 0;) {
      lcs[at(i, j)] = x[head + i] == y[head + j] ? lcs[at(i + 1, j + 1)] + 1
                                                 : std::max(lcs[at(i + 1, j)], lcs[at(i, j + 1)]);
    }
  }
  std::vector<Edit> script;
  script.reserve(x.size() + y.size());
  for (size_t k = 0; k < head; ++k) script.push_back({' ', k, k});
  size_t i = 0;
  size_t j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && x[head + i] == y[head + j]) {
      script.push_back({' ', head + i++, head + j++});
    } else if (j < m && (i == n || lcs[at(i, j + 1)] > lcs[at(i + 1, j)])) {
      script.push_back({'+', head + i, head + j++});
    } else {
      script.push_back({'-', head + i++, head + j});
    }
  }
  for (size_t k = 0; k < tail; ++k) script.push_back({' ', head + n + k, head + m + k});
  return script;
}

// "l,n" of a hunk side ("l" alone for one line); an empty side names the line before it.
std::string range(size_t first, size_t count) {
  if (count == 1) return std::to_string(first + 1);
  const size_t start = count == 0 ? first : first + 1;
  return std::to_string(start) + "," + std::to_string(count);
}

}  // namespace

std::vector<std::string> UnifiedDiff::splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find('\n', from);
    if (end == std::string::npos) {
      lines.push_back(text.substr(from));
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return lines;
}

std::string UnifiedDiff::diff(const std::string& before, const std::string& after, const std::string& nameBefore,
                              const std::string& nameAfter, size_t context) {
  const std::vector<std::string> x = splitLines(before);
  const std::vector<std::string> y = splitLines(after);
  const std::vector<Edit> script = editScript(x, y);
  std::string out;
  size_t k = 0;
  while (k < script.size()) {
    while (k < script.size() && script[k].kind == ' ') ++k;
    if (k == script.size()) break;
    // A hunk: context before, then changes joined while fewer than 2 * context
    // kept lines separate them, then context after.
    const size_t first = k - std::min(k, context);
    size_t last = k;
    size_t scan = k;
    while (scan < script.size()) {
      if (script[scan].kind != ' ') {
        last = scan;
        ++scan;
        continue;
      }
      size_t run = scan;
      while (run < script.size() && script[run].kind == ' ') ++run;
      if (run == script.size() || run - scan > 2 * context) break;
      scan = run;
    }
    const size_t end = std::min(script.size(), last + 1 + context);
    size_t countA = 0;
    size_t countB = 0;
    std::string body;
    for (size_t e = first; e < end; ++e) {
      const Edit& edit = script[e];
      if (edit.kind != '+') ++countA;
      if (edit.kind != '-') ++countB;
      body += edit.kind;
      body += edit.kind == '+' ? y[edit.b] : x[edit.a];
      body += '\n';
    }
    if (out.empty()) out = "--- " + nameBefore + "\n+++ " + nameAfter + "\n";
    out += "@@ -" + range(script[first].a, countA) + " +" + range(script[first].b, countB) + " @@\n" + body;
    k = end;
  }
  return out;
}
