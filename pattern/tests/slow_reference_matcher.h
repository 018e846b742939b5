// A slow, obviously correct reference for a clean subset of the pattern language, living only
// in the tests: literals a and b, '?', the class [~a], '*', the look-aheads & and ~, groups,
// alternation, the four
// repetitions over operands that cannot match empty, exact counts over single characters, and
// a final '$'. A node lists, in the order the backtracking matcher tries them, every end
// position it can reach from a start position; the first one is the match the matcher finds.
#pragma once

#include <memory>
#include <random>
#include <string>
#include <vector>

struct TSlowReferenceNode {
  enum TKind { Char, Any, NotA, End, Star, Ahead, Not, Sequence, Alternation, Longest, Longest1, Shortest,
               Shortest1, Count };
  TKind kind = Char;
  char c = 0;
  int count = 0;
  std::vector<std::unique_ptr<TSlowReferenceNode>> parts;

  std::vector<int> Ends(const std::string& text, int pos) const;
  bool CanMatchEmpty() const;
  std::string Text() const;  // the node in pattern syntax
};

// A random pattern of the subset, at most `depth` levels of nesting.
std::unique_ptr<TSlowReferenceNode> RandomReferencePattern(std::mt19937& random, int depth);
