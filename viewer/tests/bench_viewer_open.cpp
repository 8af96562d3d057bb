// How long the Viewer window takes to open a whole buffer (4095 frames):
// reading the file, the table and the plot of the first value, painted.
//   bench_viewer_open [FILE]   FILE: also keep the generated file there.

#include "simbuffer.h"
#include "viewer_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir tmp;
    const QStringList args = QApplication::arguments();
    const QString path = args.size() > 1 ? args[1] : tmp.filePath(QStringLiteral("F.dtl"));
    QString why;
    if (!viewertest::writeSimBuffer(path, QDateTime::currentMSecsSinceEpoch(), &why)) {
        std::fprintf(stderr, "the buffer was not written: %s\n", qPrintable(why));
        return 1;
    }
    viewer::frmViewer w;
    w.show();
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    if (!w.openFile(path))
        return 1;
    const qint64 read = timer.elapsed();
    w.repaint();
    QApplication::processEvents();
    const qint64 shown = timer.elapsed();
    std::printf("%lld frames: read and plotted in %lld ms, shown in %lld ms (target: under 1000 ms)\n",
                static_cast<long long>(w.file()->frames.size()), static_cast<long long>(read),
                static_cast<long long>(shown));
    return 0;
}
