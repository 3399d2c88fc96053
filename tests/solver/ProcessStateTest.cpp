// The process-state reset. The layers' lists must name every file-scope
// object of the library whose value lives from one call to the next (found
// by reading the library's sources, so that a new one missing from the lists
// fails here), and after a solve abandoned in the middle of its iterations
// the reset must put every listed object back to its value at load, after
// which a fresh solve succeeds.
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "solver/ProcessState.hpp"
#include "tests/solver/DriverFixture.hpp"

using namespace driver_test;

namespace {

// ---------------------------------------------------------------------------
// A reader of the library's sources that finds the objects of static storage
// whose value can change: variables at namespace scope, static data members
// and function-local statics, neither const nor constexpr. It knows enough
// C++ for this code base: comments, literals and preprocessor lines are
// dropped, braces are classed as namespace, type, function or initialiser
// bodies, and a declaration is the text between two semicolons outside
// function and initialiser bodies. (A variable initialised with parentheses,
// `T x(1);`, reads as a function declaration; the code base writes `=` or
// braces.)

// The text without comments, string and character literals (each left as an
// empty pair of quotes) and preprocessor lines.
std::string StripSource(const std::string& source) {
  std::string out;
  const std::size_t n = source.size();
  bool line_start = true;
  for (std::size_t i = 0; i < n;) {
    const char c = source[i];
    if (source.compare(i, 2, "//") == 0) {
      while (i < n && source[i] != '\n') ++i;
      continue;
    }
    if (source.compare(i, 2, "/*") == 0) {
      const std::size_t end = source.find("*/", i + 2);
      i = end == std::string::npos ? n : end + 2;
      out += ' ';
      continue;
    }
    if (c == '"' || c == '\'') {
      std::size_t j = i + 1;
      while (j < n && source[j] != c) j += source[j] == '\\' ? 2 : 1;
      out += c;
      out += c;
      i = j + 1;
      continue;
    }
    if (c == '#' && line_start) {
      while (i < n && !(source[i] == '\n' && source[i - 1] != '\\')) ++i;
      continue;
    }
    if (c == '\n') line_start = true;
    else if (!std::isspace(static_cast<unsigned char>(c))) line_start = false;
    out += c;
    ++i;
  }
  return out;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// True when word occurs in text as a whole word.
bool HasWord(const std::string& text, const std::string& word) {
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    const bool before = at == 0 || !IsWordChar(text[at - 1]);
    const bool after = at + word.size() >= text.size() || !IsWordChar(text[at + word.size()]);
    if (before && after) return true;
  }
  return false;
}

bool StartsWithWord(const std::string& text, const std::string& word) {
  return text.compare(0, word.size(), word) == 0 &&
         (text.size() == word.size() || !IsWordChar(text[word.size()]));
}

// The text after a leading "template <...>" clause.
std::string WithoutTemplateClause(const std::string& text) {
  if (!StartsWithWord(text, "template")) return text;
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<') ++depth;
    if (text[i] == '>' && --depth == 0) return Trim(text.substr(i + 1));
  }
  return text;
}

// Position of the first '=' of text that assigns: outside parentheses and
// angle brackets, not part of a comparison and not an operator's name.
std::size_t AssigningEquals(const std::string& text) {
  int parens = 0, angles = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '(') ++parens;
    if (c == ')') --parens;
    if (c == '<') ++angles;
    if (c == '>' && angles > 0) --angles;
    if (c != '=' || parens > 0 || angles > 0) continue;
    const char before = i > 0 ? text[i - 1] : ' ';
    const char after = i + 1 < text.size() ? text[i + 1] : ' ';
    if (after == '=' || before == '=' || before == '!' || before == '<' || before == '>') continue;
    const std::string head = Trim(text.substr(0, i));
    if (head.size() >= 8 && head.compare(head.size() - 8, 8, "operator") == 0) continue;
    return i;
  }
  return std::string::npos;
}

enum class Brace { kNamespace, kType, kFunction, kInitialiser };

// The kind of the brace that follows the declaration text so far.
Brace Classify(const std::string& text, bool at_namespace_scope) {
  const std::string t = WithoutTemplateClause(Trim(text));
  if (StartsWithWord(t, "namespace") || t == "extern \"\"") return Brace::kNamespace;
  if (!t.empty() && t.back() == '=') return Brace::kInitialiser;
  if (at_namespace_scope && AssigningEquals(t) != std::string::npos) return Brace::kInitialiser;
  const bool type_word = HasWord(t, "struct") || HasWord(t, "class") || HasWord(t, "union") ||
                         HasWord(t, "enum");
  if (type_word && t.find('(') == std::string::npos) return Brace::kType;
  // A braced initialiser straight after the declared name: `T x{...}`.
  if (at_namespace_scope && !type_word && t.find('(') == std::string::npos && !t.empty() &&
      (IsWordChar(t.back()) || t.back() == ']')) {
    return Brace::kInitialiser;
  }
  return Brace::kFunction;
}

// The declared name of a declaration that defines a mutable object, or ""
// when it declares something else (a type, a function, an alias, a
// constant).
std::string MutableObjectName(const std::string& declaration) {
  std::string t = Trim(declaration);
  if (t.empty()) return "";
  for (const char* word : {"using", "typedef", "template", "static_assert", "friend", "extern",
                           "namespace", "return"}) {
    if (StartsWithWord(t, word)) return "";
  }
  if (HasWord(t, "typedef") || HasWord(t, "constexpr")) return "";
  std::size_t end = AssigningEquals(t);
  if (end == std::string::npos) end = t.find('{');
  std::string head = Trim(t.substr(0, end == std::string::npos ? t.size() : end));
  if ((StartsWithWord(head, "struct") || StartsWithWord(head, "class") ||
       StartsWithWord(head, "union") || StartsWithWord(head, "enum")) &&
      head.find(' ', head.find(' ') + 1) == std::string::npos) {
    return "";  // a type declared, no object
  }
  // A parenthesis makes a function unless it opens a pointer declarator.
  const std::size_t paren = head.find('(');
  std::string declarator = head;
  if (paren != std::string::npos) {
    const std::string inside = Trim(head.substr(paren + 1));
    if (inside.empty() || (inside[0] != '*' && inside[0] != '&')) return "";
    declarator = inside.substr(1, inside.find(')') - 1);
  }
  // Drop array bounds; the name is the last word.
  std::string plain;
  int brackets = 0;
  for (char c : declarator) {
    if (c == '[') ++brackets;
    if (brackets == 0) plain += c;
    if (c == ']') --brackets;
  }
  plain = Trim(plain);
  std::size_t name_start = plain.size();
  while (name_start > 0 && IsWordChar(plain[name_start - 1])) --name_start;
  const std::string name = plain.substr(name_start);
  if (name.empty()) return "";
  // Constness of the object itself: after the last '*' for a pointer,
  // anywhere in the type otherwise.
  const std::string type = paren != std::string::npos ? head.substr(0, paren) + declarator
                                                       : plain.substr(0, name_start);
  const std::size_t star = type.find_last_of("*&");
  const std::string qualifiers = star == std::string::npos ? type : type.substr(star + 1);
  if (HasWord(qualifiers, "const")) return "";
  return name;
}

// The names of the mutable objects of static storage in one source text.
std::vector<std::string> MutableObjects(const std::string& source) {
  const std::string s = StripSource(source);
  std::vector<Brace> stack;
  std::vector<std::string> found;
  std::string statement;
  auto all = [&](Brace kind) {
    for (Brace b : stack) {
      if (b != kind) return false;
    }
    return true;
  };
  auto inside = [&](Brace kind) {
    for (Brace b : stack) {
      if (b == kind) return true;
    }
    return false;
  };
  for (char c : s) {
    if (c == '{') {
      const Brace kind = inside(Brace::kInitialiser) ? Brace::kInitialiser
                                                     : Classify(statement, all(Brace::kNamespace));
      stack.push_back(kind);
      if (kind == Brace::kInitialiser) {
        statement += c;
      } else {
        statement.clear();
      }
    } else if (c == '}') {
      const Brace kind = stack.empty() ? Brace::kFunction : stack.back();
      if (!stack.empty()) stack.pop_back();
      if (kind == Brace::kInitialiser) {
        statement += c;
      } else {
        statement.clear();
      }
    } else if (c == ';' && !inside(Brace::kInitialiser)) {
      const std::string t = Trim(statement);
      statement.clear();
      const bool static_word = StartsWithWord(t, "static") || StartsWithWord(t, "thread_local") ||
                               t.compare(0, 14, "inline static ") == 0;
      bool wanted = false;
      if (all(Brace::kNamespace)) {
        wanted = true;  // namespace scope
      } else if (!inside(Brace::kFunction)) {
        wanted = static_word;  // a static data member
      } else {
        wanted = static_word;  // a function-local static
      }
      if (!wanted) continue;
      std::string declaration = t;
      for (const char* word : {"inline ", "static ", "thread_local "}) {
        while (declaration.compare(0, std::string(word).size(), word) == 0) {
          declaration = Trim(declaration.substr(std::string(word).size()));
        }
      }
      const std::string name = MutableObjectName(declaration);
      if (!name.empty()) found.push_back(name);
    } else {
      statement += c;
    }
  }
  return found;
}

// The source tree of the library: the folder above tests/.
std::string SourceRoot() {
  const std::string here = __FILE__;
  const std::size_t at = here.rfind("/tests/solver/");
  return at == std::string::npos ? std::string(".") : here.substr(0, at);
}

// Every .cpp and .hpp file under folder (relative to the root), recursively.
void ListSources(const std::string& root, const std::string& folder,
                 std::vector<std::string>* files) {
  DIR* dir = opendir((root + "/" + folder).c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) names.push_back(entry->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    const bool source = name.size() > 4 && (name.compare(name.size() - 4, 4, ".cpp") == 0 ||
                                            name.compare(name.size() - 4, 4, ".hpp") == 0);
    if (source) {
      files->push_back(path);
    } else if (name.find('.') == std::string::npos) {
      ListSources(root, path, files);
    }
  }
}

// "<file>:<name>" of every mutable object of static storage in the library.
std::set<std::string> ObjectsInSources() {
  const std::string root = SourceRoot();
  std::vector<std::string> files;
  for (const char* folder : {"core", "factorization", "iterative", "problems", "presolve", "solver"}) {
    ListSources(root, folder, &files);
  }
  std::set<std::string> objects;
  for (const std::string& file : files) {
    std::ifstream in(root + "/" + file);
    std::stringstream text;
    text << in.rdbuf();
    for (const std::string& name : MutableObjects(text.str())) objects.insert(file + ":" + name);
  }
  return objects;
}

// Every entry of every layer's list.
std::vector<StateEntry> ListedEntries() {
  std::vector<StateEntry> entries;
  for (int k = 0; k < ProcessState_LayerCount(); ++k) {
    int count = 0;
    const StateEntry* list = ProcessState_Layer(k, &count);
    entries.insert(entries.end(), list, list + count);
  }
  return entries;
}

std::set<std::string> ObjectsListed() {
  std::set<std::string> objects;
  for (const StateEntry& e : ListedEntries()) {
    std::istringstream words(e.objects);
    for (std::string word; words >> word;) objects.insert(word);
  }
  return objects;
}

std::string Show(const std::set<std::string>& objects) {
  std::string text;
  for (const std::string& o : objects) text += "\n  " + o;
  return text;
}

// The modules whose listed objects do not hold their values at load.
std::set<std::string> ModulesAwayFromRest() {
  std::set<std::string> away;
  for (const StateEntry& e : ListedEntries()) {
    if (e.at_rest != nullptr && !e.at_rest()) away.insert(e.module);
  }
  return away;
}

struct Abandoned : std::runtime_error {
  Abandoned() : std::runtime_error("abandoned by the caller") {}
};

class ProcessStateTest : public DriverTest {};

// ---------------------------------------------------------------------------

TEST_F(ProcessStateTest, SourceReaderFindsTheMutableObjectsOfStaticStorage) {
  const std::string source = R"(
    namespace {
    int counter = 0;                      // found
    const int kLimit = 3;                 // constant
    constexpr double kTolerance = 1e-8;   // constant
    const char* name = "x";               // found: the pointer changes
    const char* const kFixed = "y";       // constant
    Table table = {1, {2, 3}, [] { return 4; }};  // found
    struct Holder { int a; } holder;      // found
    struct Plain { static int shared; };  // found: a static data member
    void (*hook)(int) = nullptr;          // found
    int Function(int (*callback)(void*), int n);  // a function
    namespace alias = other;
    using Number = int;
    char buffer[64];                      // found
    }  // namespace
    int Count() {
      static int calls = 0;               // found
      static const int kStep = 2;         // constant
      int local = 1;
      return calls += local + kStep;
    }
    bool operator==(const Table& a, const Table& b) { return a.x == b.x; }
    extern "C" void Entry(int n) { int inner = n; }
  )";
  const std::vector<std::string> found = MutableObjects(source);
  EXPECT_EQ(std::set<std::string>(found.begin(), found.end()),
            (std::set<std::string>{"counter", "name", "table", "holder", "shared", "hook",
                                   "buffer", "calls"}));
}

// A new file-scope object must join its layer's list, and a listed object
// that is gone must leave it.
TEST_F(ProcessStateTest, TheListsNameEveryMutableObjectOfTheLibrary) {
  const std::set<std::string> in_sources = ObjectsInSources();
  ASSERT_GT(in_sources.size(), 40u) << "the library's sources were not found under "
                                    << SourceRoot();
  const std::set<std::string> listed = ObjectsListed();
  std::set<std::string> missing, stale;
  for (const std::string& o : in_sources) {
    if (listed.count(o) == 0) missing.insert(o);
  }
  for (const std::string& o : listed) {
    if (in_sources.count(o) == 0) stale.insert(o);
  }
  EXPECT_TRUE(missing.empty()) << "objects in no layer's list:" << Show(missing);
  EXPECT_TRUE(stale.empty()) << "listed objects not in the sources:" << Show(stale);
  for (const StateEntry& e : ListedEntries()) {
    SCOPED_TRACE(e.module);
    const bool forgotten = e.forget != nullptr && e.at_rest != nullptr && e.kept == nullptr;
    const bool kept = e.forget == nullptr && e.at_rest == nullptr && e.kept != nullptr;
    EXPECT_TRUE(forgotten || kept) << "an entry is either reset (forget, at_rest) or kept (why)";
  }
}

// Two ways a call is abandoned: the host's error passes through the
// library, which lets go of its records on the way, and the reset runs
// after; or the host never comes back to the library's frames, which the
// reset in the middle of the solve stands for here (the records are still
// live then, and the exception that ends the test's solve finds them
// forgotten).
TEST_F(ProcessStateTest, ResetAfterAnAbandonedSolvePutsEveryObjectBackAndTheNextSolveWorks) {
  struct Case {
    const char* name;
    bool reset_mid_solve;
  };
  const Case cases[] = {{"error through the library", false}, {"host never returns", true}};
  // Timers from the library's allocator, like every other block below.
  Timer_Reset();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::set<std::string> away_mid_solve;
    std::set<std::string> away_after_reset;
    {
      // The host's allocator: what the abandoned call leaves is reclaimed
      // with it, never through the library.
      CountingAllocator memory;
      {
        ProblemAdapter adapter(BroydenTridiagonal(10));
        adapter.before_evaluation = [&](int, int jacobians) {
          if (jacobians != 4) return;
          away_mid_solve = ModulesAwayFromRest();
          if (c.reset_mid_solve) {
            ProcessState_Forget();
            away_after_reset = ModulesAwayFromRest();
          }
          throw Abandoned();
        };
        Information info{};
        EXPECT_THROW(Solve(adapter, &info), Abandoned);
        if (!c.reset_mid_solve) {
          ProcessState_Forget();
          away_after_reset = ModulesAwayFromRest();
        }
        EXPECT_EQ(ModulesAwayFromRest(), std::set<std::string>{});
      }
      for (void* block : memory.blocks) std::free(block);
    }
    // What a solve holds in the middle of its iterations.
    for (const char* module : {"Sarn", "Lemke", "NMS", "Workspace", "Interrupt"}) {
      EXPECT_EQ(away_mid_solve.count(module), 1u) << module << " at rest in the middle of a solve";
    }
    EXPECT_EQ(away_after_reset, std::set<std::string>{}) << "left by the reset";
    // The next call starts as a host starts every call.
    Options_Default(options());
    ProblemAdapter adapter(BroydenTridiagonal(10));
    Information info{};
    ASSERT_EQ(Solve(adapter, &info), TERMINATION_SOLVED);
    EXPECT_LE(ComplementarityViolation(adapter.problem(), adapter.Point()), 1e-6);
  }
}

}  // namespace
