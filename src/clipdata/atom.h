// Atoms: names interned once and compared by identity afterwards (case-blind).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumetra::project {

// One interned name. Atoms live until the process ends; compare them by address.
struct Atom {
  std::string text;  // the spelling first interned
};

// The atom equal to name without regard to case, made on first use. Never null.
const Atom* AtomIntern(std::string_view name);
// The atom equal to name without regard to case, or null; never inserts.
const Atom* AtomFind(std::string_view name);
// Interns the operation and property names the object calls use.
void AtomInternStandardNames();
// Case-blind (ASCII) comparison: <0, 0, >0.
int AtomCompare(std::string_view a, std::string_view b);
// The texts of one bucket (by upper-cased first character), in list order; for tests.
std::vector<std::string> AtomBucketTexts(unsigned char first);

}  // namespace lumetra::project
