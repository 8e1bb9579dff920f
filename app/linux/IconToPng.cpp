// Build tool: writes each image of a Windows icon file as a PNG into the
// layout of an icon theme, OUTDIR/<w>x<h>/apps/NAME.png, so the installed
// program's icon comes from the same file the Windows program shows.
//
//   vorlant-icon-png ICON OUTDIR NAME
//
// Exit code 0 when every image was written, 1 otherwise.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorlant-icon-png ICON OUTDIR NAME\n");
        return 1;
    }
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    QImageReader reader(QString::fromLocal8Bit(argv[1]), "ico");
    const int count = reader.imageCount();
    if (count <= 0) {
        std::fprintf(stderr, "vorlant-icon-png: %s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) return 1;
        const QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr, "vorlant-icon-png: image %d: %s\n", i, qPrintable(reader.errorString()));
            return 1;
        }
        const QString folder =
            QStringLiteral("%1/%2x%3/apps").arg(outDir).arg(image.width()).arg(image.height());
        if (!QDir().mkpath(folder) ||
            !image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"), "PNG")) {
            std::fprintf(stderr, "vorlant-icon-png: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
