#include "safety/harbor_fixture.h"

#include <QFile>

#include "safety/safe_harbor.h"
#include "support/temp_tree.h"

namespace dw::test {

void coverWithHarbor(TempTree& tree, const QByteArray& root, SafeHarbor& harbor) {
    tree.dir("kept");
    tree.dir("bin");
    tree.dir("sys");
    SafeHarbor::Sources s;
    s.foldersFile = QFile::decodeName(tree.file("folders.txt", root + "/kept/*.*\n"));
    s.searchPath = {root + "/bin"};
    s.systemFolders = {root + "/sys"};
    harbor.GetSearchPath(s);
    harbor.setExtensions({QStringLiteral("*.sys")});
}

}  // namespace dw::test
