#include "support/scoped_mount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dw::test {

bool runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

ScopedMount::ScopedMount(const QByteArray& source, const QByteArray& target, const char* type,
                         const QByteArray& options)
    : target_(target) {
    const unsigned long flags = type ? 0 : MS_BIND;
    ok_ = ::mount(source.constData(), target.constData(), type, flags,
                  options.isEmpty() ? nullptr : options.constData()) == 0;
    if (!ok_) {
        why_ = QStringLiteral("cannot mount %1 (%2): %3")
                   .arg(QFile::decodeName(target), QString::fromLatin1(type ? type : "bind"),
                        QString::fromLocal8Bit(std::strerror(errno)));
    }
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : target_(std::move(other.target_)),
      ok_(std::exchange(other.ok_, false)),
      why_(std::move(other.why_)) {}

TwoLayers::TwoLayers(const QByteArray& lower, const QByteArray& upper)
    : lower_(lower),
      upper_(upper),
      lowerFs_("tmpfs", lower, "tmpfs", "size=1m"),
      upperFs_("tmpfs", upper, "tmpfs", "size=1m") {}

ScopedMount TwoLayers::mountOverlay(const QByteArray& merged) const {
    QDir().mkpath(QFile::decodeName(upper_ + "/data"));
    QDir().mkpath(QFile::decodeName(upper_ + "/work"));
    return ScopedMount(
        "overlay", merged, "overlay",
        "lowerdir=" + lower_ + ",upperdir=" + upper_ + "/data,workdir=" + upper_ + "/work");
}

ScopedMount::~ScopedMount() {
    if (ok_) {
        ::umount2(target_.constData(), MNT_DETACH);
    }
}

}  // namespace dw::test
