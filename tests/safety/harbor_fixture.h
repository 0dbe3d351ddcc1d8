#pragma once

// The Safe Harbor the deletion tests work under, over a tree of the test.

#include <QByteArray>

namespace dw {
class SafeHarbor;
}

namespace dw::test {

class TempTree;

// Makes kept/, bin/ and sys/ in `tree` (whose root is spelt `root`) and points `harbor`
// at them: kept/ on the folder list, bin/ on the search path, sys/ one of the system's
// own trees; files ending in ".sys" are protected wherever they are.
void coverWithHarbor(TempTree& tree, const QByteArray& root, SafeHarbor& harbor);

}  // namespace dw::test
