#pragma once

#include <QByteArray>

namespace dw::test {

// A chain of `depth` folders, each named `name`, under the folder `root`, with the files
// "f0" and "f1" (one byte each) at its bottom. It is made and taken away through folder
// descriptors, so its path may be longer than a path given to the system may be. made()
// says whether every level and both files were made; the destructor removes what was
// made, however far that got.
class DeepChain {
public:
    DeepChain(const QByteArray& root, int depth, const QByteArray& name = "d");
    ~DeepChain();
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    bool made() const { return made_; }
    // The full path of the bottom folder: root, then `depth` times "/" and the name.
    QByteArray bottom() const;

private:
    QByteArray root_;
    QByteArray name_;
    int depth_ = 0;
    bool made_ = false;
};

}  // namespace dw::test
