#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/resources.h"
#include "base/utility.h"
#include "platform/shell.h"
#include "widgets/message_boxes.h"
#include "widgets/theme_colors.h"

namespace dw {

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    ensureResources();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("How to contact us"));

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window,
                 mixColors(pal.color(QPalette::Base), pal.color(QPalette::Highlight), 0.1));
    frame->setPalette(pal);

    auto* picture = new QLabel(frame);
    picture->setPixmap(QIcon(QStringLiteral(":/icons/diskwell.png")).pixmap(64, 64));
    picture->setAlignment(Qt::AlignCenter);

    auto* title = new QLabel(QStringLiteral("Diskwell 99"), frame);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSize(22);
    big.setBold(true);
    big.setItalic(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);

    auto* version = new QLabel(QStringLiteral("Version 3.0"), frame);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setAlignment(Qt::AlignCenter);

    auto* maker = new QLabel(QStringLiteral("Brightwater Systems"), frame);
    maker->setObjectName(QStringLiteral("lblMaker"));
    QFont bold = maker->font();
    bold.setBold(true);
    maker->setFont(bold);
    maker->setAlignment(Qt::AlignCenter);

    auto* contact = new QLabel(frame);
    contact->setObjectName(QStringLiteral("lblContact"));
    contact->setText(QStringLiteral("Questions, ideas and bug reports are welcome.\n"
                                    "E-mail: diskwell@brightwater.systems\n"
                                    "Web: ") +
                     QString::fromLatin1(kMakerWebAddress));
    contact->setAlignment(Qt::AlignCenter);
    contact->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(24, 16, 24, 16);
    inner->addWidget(picture);
    inner->addWidget(title);
    inner->addWidget(version);
    inner->addSpacing(8);
    inner->addWidget(maker);
    inner->addWidget(contact);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btOK"));
    ok->setDefault(true);
    QPushButton* web =
        buttons->addButton(QStringLiteral("&Visit our web site"), QDialogButtonBox::ActionRole);
    web->setObjectName(QStringLiteral("btWeb"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(web, &QPushButton::clicked, this, [this] { openHomePage(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

bool TfrmAbout::openHomePage() {
    if (platform::openUrlWithDesktop(QUrl(QString::fromLatin1(kMakerWebAddress))))
        return true;
    ShowError(
        QStringLiteral("Unable to start web browser. Make sure you have it properly "
                       "set-up on your system."));
    return false;
}

}  // namespace dw
