#include "pattern/tests/slow_reference_matcher.h"

namespace {

using TNode = TSlowReferenceNode;

void Append(std::vector<int>& to, const std::vector<int>& more) { to.insert(to.end(), more.begin(), more.end()); }

// Longest first: every way of one more iteration (and all that follows it) before stopping here.
std::vector<int> LongestFrom(const TNode& operand, const std::string& text, int pos) {
  std::vector<int> out;
  for (int e : operand.Ends(text, pos)) Append(out, LongestFrom(operand, text, e));
  out.push_back(pos);
  return out;
}

// Shortest first: stopping here first, then each way of one more iteration.
std::vector<int> ShortestFrom(const TNode& operand, const std::string& text, int pos) {
  std::vector<int> out{pos};
  for (int e : operand.Ends(text, pos)) Append(out, ShortestFrom(operand, text, e));
  return out;
}

}  // namespace

std::vector<int> TNode::Ends(const std::string& text, int pos) const {
  const int length = int(text.size());
  std::vector<int> out;
  switch (kind) {
    case Char:
      if (pos < length && text[pos] == c) out.push_back(pos + 1);
      break;
    case Any:
      if (pos < length) out.push_back(pos + 1);
      break;
    case NotA:
      if (pos < length && text[pos] != 'a') out.push_back(pos + 1);
      break;
    case End:
      if (pos == length) out.push_back(pos);
      break;
    case Star:  // shortest first
      for (int e = pos; e <= length; ++e) out.push_back(e);
      break;
    case Ahead:  // back where it began, once for every way the atom matches
      for (size_t i = parts[0]->Ends(text, pos).size(); i > 0; --i) out.push_back(pos);
      break;
    case Not:
      if (parts[0]->Ends(text, pos).empty()) out.push_back(pos);
      break;
    case Sequence: {
      out.push_back(pos);
      for (const auto& part : parts) {
        std::vector<int> next;
        for (int e : out) Append(next, part->Ends(text, e));
        out = next;
      }
      break;
    }
    case Alternation:
      out = parts[0]->Ends(text, pos);
      Append(out, parts[1]->Ends(text, pos));
      break;
    case Longest:
      out = LongestFrom(*parts[0], text, pos);
      break;
    case Longest1:
      for (int e : parts[0]->Ends(text, pos)) Append(out, LongestFrom(*parts[0], text, e));
      break;
    case Shortest:
      out = ShortestFrom(*parts[0], text, pos);
      break;
    case Shortest1:
      for (int e : parts[0]->Ends(text, pos)) Append(out, ShortestFrom(*parts[0], text, e));
      break;
    case Count: {
      out.push_back(pos);
      for (int i = 0; i < count; ++i) {
        std::vector<int> next;
        for (int e : out) Append(next, parts[0]->Ends(text, e));
        out = next;
      }
      break;
    }
  }
  return out;
}

bool TNode::CanMatchEmpty() const {
  switch (kind) {
    case Char:
    case Any:
    case NotA: return false;
    case End:
    case Star:
    case Ahead:
    case Not:
    case Longest:
    case Shortest: return true;
    case Sequence:
      for (const auto& part : parts)
        if (!part->CanMatchEmpty()) return false;
      return true;
    case Alternation: return parts[0]->CanMatchEmpty() || parts[1]->CanMatchEmpty();
    case Longest1:
    case Shortest1: return parts[0]->CanMatchEmpty();
    case Count: return count == 0 || parts[0]->CanMatchEmpty();
  }
  return true;
}

std::string TNode::Text() const {
  switch (kind) {
    case Char: return std::string(1, c);
    case Any: return "?";
    case NotA: return "[~a]";
    case End: return "$";
    case Star: return "*";
    case Ahead: return "&" + parts[0]->Text();
    case Not: return "~" + parts[0]->Text();
    case Sequence: {
      std::string s = "(";
      for (const auto& part : parts) s += part->Text();
      return s + ")";
    }
    case Alternation: return parts[0]->Text() + "|" + parts[1]->Text();
    case Longest: return parts[0]->Text() + "#";
    case Longest1: return parts[0]->Text() + "##";
    case Shortest: return parts[0]->Text() + "+";
    case Shortest1: return parts[0]->Text() + "++";
    case Count: return parts[0]->Text() + "^" + std::to_string(count);
  }
  return "";
}

namespace {

std::unique_ptr<TNode> Leaf(std::mt19937& random) {
  auto node = std::make_unique<TNode>();
  switch (random() % 4) {
    case 0: node->kind = TNode::Char; node->c = 'a'; break;
    case 1: node->kind = TNode::Char; node->c = 'b'; break;
    case 2: node->kind = TNode::Any; break;
    default: node->kind = TNode::NotA; break;
  }
  return node;
}

std::unique_ptr<TNode> Sequence(std::mt19937& random, int depth);

// An atom: a single character, '*', a look-ahead, or a group.
std::unique_ptr<TNode> Atom(std::mt19937& random, int depth) {
  if (depth > 0 && random() % 3 == 0) return Sequence(random, depth - 1);
  switch (random() % 10) {
    case 0: {
      auto node = std::make_unique<TNode>();
      node->kind = TNode::Star;
      return node;
    }
    case 1:
    case 2: {
      auto node = std::make_unique<TNode>();
      node->kind = random() % 2 ? TNode::Ahead : TNode::Not;
      node->parts.push_back(Atom(random, depth > 0 ? depth - 1 : 0));
      return node;
    }
    default:
      return Leaf(random);
  }
}

// A term: an atom with at most one operator.
std::unique_ptr<TNode> Term(std::mt19937& random, int depth) {
  std::unique_ptr<TNode> atom = Atom(random, depth);
  // Counts repeat only atoms that leave no alternatives behind: their counter is not put
  // back when backtracking returns into the atom.
  const bool single = atom->kind == TNode::Char || atom->kind == TNode::Any || atom->kind == TNode::NotA;
  auto wrap = [&](TNode::TKind kind) {
    auto node = std::make_unique<TNode>();
    node->kind = kind;
    node->parts.push_back(std::move(atom));
    return node;
  };
  switch (random() % 8) {
    case 0:
    case 1:
      return atom;
    case 2:
      if (atom->CanMatchEmpty()) return atom;
      return wrap(TNode::Longest);
    case 3:
      if (atom->CanMatchEmpty()) return atom;
      return wrap(TNode::Longest1);
    case 4:
      if (atom->CanMatchEmpty()) return atom;
      return wrap(TNode::Shortest);
    case 5:
      if (atom->CanMatchEmpty()) return atom;
      return wrap(TNode::Shortest1);
    case 6: {
      if (!single) return atom;
      auto node = wrap(TNode::Count);
      node->count = int(random() % 3);
      return node;
    }
    default: {
      auto node = wrap(TNode::Alternation);
      node->parts.push_back(Term(random, depth > 0 ? depth - 1 : 0));
      return node;
    }
  }
}

std::unique_ptr<TNode> Sequence(std::mt19937& random, int depth) {
  auto node = std::make_unique<TNode>();
  node->kind = TNode::Sequence;
  const int terms = 1 + int(random() % 3);
  for (int i = 0; i < terms; ++i) node->parts.push_back(Term(random, depth));
  return node;
}

}  // namespace

std::unique_ptr<TNode> RandomReferencePattern(std::mt19937& random, int depth) {
  auto node = Sequence(random, depth);
  if (random() % 4 == 0) {
    auto end = std::make_unique<TNode>();
    end->kind = TNode::End;
    node->parts.push_back(std::move(end));
  }
  return node;
}
