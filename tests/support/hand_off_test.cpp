#include "support/hand_off_test.h"

#include <QFile>
#include <QPushButton>

namespace dw::test {

void HandOffTest::SetUp() {
    QFile f(config_.path() + QStringLiteral("/folders.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(r_ + "/files/kept/*.*\n");
}

QPushButton* HandOffTest::button(QWidget& w, const char* name) {
    return w.findChild<QPushButton*>(QLatin1String(name));
}

}  // namespace dw::test
