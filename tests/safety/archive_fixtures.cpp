#include "safety/archive_fixtures.h"

#include <QFile>
#include <QProcess>

#include <zip.h>

#include <random>

#include "platform/native_file.h"

namespace dw::test {

std::optional<QByteArray> readBytes(const QByteArray& path) {
    QFile f;
    if (!platform::openNativeFile(f, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return f.readAll();
}

QByteArray textBytes(qint64 size, int seed) {
    static const char* const kWords[] = {"disk", "space", "archive", "folder", "restore",
                                         "file", "bytes", "volume",  "the",    "of"};
    std::mt19937 gen(static_cast<unsigned>(seed));
    QByteArray out;
    out.reserve(size + 16);
    while (out.size() < size) {
        out += kWords[gen() % 10];
        out += (gen() % 8 == 0) ? '\n' : ' ';
    }
    out.truncate(size);
    return out;
}

QByteArray randomBytes(qint64 size, int seed) {
    std::mt19937_64 gen(static_cast<unsigned>(seed));
    QByteArray out(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) {
        out[i] = static_cast<char>(gen() & 0xff);
    }
    return out;
}

ProgramRun runProgram(const QString& program, const QStringList& args, const QByteArray& input) {
    QProcess p;
    p.start(program, args);
    ProgramRun run;
    if (!p.waitForStarted(30000)) {
        return run;
    }
    if (!input.isEmpty()) {
        p.write(input);
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.status = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

PythonView pythonZipView(const QByteArray& archivePath) {
    static const char kScript[] = R"PY(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    raw = i.filename.encode('utf-8') if i.flag_bits & 0x800 else i.filename.encode('cp437')
    print(raw.hex(), i.compress_type, i.file_size, i.compress_size, oct(i.external_attr >> 16))
print('comment', z.comment.hex())
print('testzip', 'OK' if z.testzip() is None else 'BAD')
)PY";
    PythonView view;
    const ProgramRun run = runProgram(
        QStringLiteral("python3"),
        {QStringLiteral("-c"), QString::fromLatin1(kScript), QFile::decodeName(archivePath)});
    if (run.status != 0) {
        view.failure = QString::fromUtf8(run.err);
        return view;
    }
    view.ok = true;
    for (const QByteArray& line : run.out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 2 && f[0] == "comment") {
            view.comment = QByteArray::fromHex(f[1]);
        } else if (f.size() == 2 && f[0] == "testzip") {
            view.crcOk = f[1] == "OK";
        } else if (f.size() == 5) {
            PythonEntry e;
            e.name = QByteArray::fromHex(f[0]);
            e.method = f[1].toInt();
            e.size = f[2].toLongLong();
            e.compressedSize = f[3].toLongLong();
            e.mode = f[4].mid(2).toUInt(nullptr, 8);
            view.entries.append(e);
        }
    }
    return view;
}

bool craftArchive(const QByteArray& path, const QList<CraftedEntry>& entries) {
    int code = 0;
    zip_t* za = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za) {
        return false;
    }
    // The data must live until zip_close reads it.
    QList<QByteArray> keep;
    for (const CraftedEntry& e : entries) {
        keep.append(e.data);
        zip_source_t* src = zip_source_buffer(za, keep.last().constData(), keep.last().size(), 0);
        const zip_int64_t index = zip_file_add(za, e.name.constData(), src, ZIP_FL_ENC_RAW);
        if (index < 0) {
            zip_source_free(src);
            zip_discard(za);
            return false;
        }
        if (e.unixMode != 0) {
            zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(index), 0,
                                             ZIP_OPSYS_UNIX, e.unixMode << 16);
        }
        if (!e.password.isEmpty()) {
            zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                    e.password.constData());
        }
    }
    return zip_close(za) == 0;
}

}  // namespace dw::test
