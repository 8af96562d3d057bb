#pragma once
// A whole recording buffer as Memory downloads it: the simulated
// instrument's frame answers (sim/model.*), oldest first, written by
// Memory's own writer. Sensor 3 breaks for a stretch and sensor 12 is broken
// throughout, as the simulator has it.

#include "datafile.h"
#include "model.h"

#include <QDateTime>
#include <QFile>

namespace viewertest {

// Writes the buffer's frames to path (replacing it); false with *why when
// the writer refuses. The buffer ends at nowMs; frames are one second apart.
inline bool writeSimBuffer(const QString& path, qint64 nowMs, QString* why, int frames = 4095)
{
    sim::Instrument instrument;
    instrument.setInteger(sim::Instrument::Cpu, 2, 0);        // buffer 1 starts at 0
    instrument.setInteger(sim::Instrument::Cpu, 4, frames);   // and holds this many frames
    instrument.setInteger(sim::Instrument::Cpu, 6, 1);        // one a second
    QFile::remove(path);
    // The first exchange starts the recording clock; then the current frame.
    instrument.handle(sim::parseFrame(":1;30;20;0;"), nowMs);
    const int current = instrument.currentFrame(0, nowMs);
    for (int k = 1; k <= frames; ++k) {
        const int frame = (current + k - 1) % frames + 1;
        instrument.setSensorBroken(3, k > frames * 5 / 10 && k <= frames * 6 / 10);
        const sim::Answer a = instrument.handle(
            sim::parseFrame(":1;323;" + QByteArray::number(frame, 16).toUpper() + ";c;"), nowMs);
        const memory::FrameLines lines = memory::frameLines(QString::fromLatin1(a.bytes.mid(1)), QStringLiteral(","));
        if (!lines.valid) {
            *why = lines.error;
            return false;
        }
        if (!memory::appendToDataFile(path, memory::fileBytes(lines.lines), why))
            return false;
    }
    return true;
}

} // namespace viewertest
