#include "framelist.h"

#include "numbers.h"

#include <algorithm>

namespace memory {

qint32 FrameList::at(qint32 k) const
{
    qint64 q = qint64(first) + qint64(k) * step;
    if (q > end)
        q = q + start - end;
    return qint32(q);
}

FrameList frameList(int buffer, qint64 current, qint64 start, qint64 length, qint64 count, qint64 step)
{
    FrameList f;
    const int shown = buffer + 1;
    if (length <= 0) {
        f.refusal = QStringLiteral("длина буфера %1 равна %2, кадры не читаются.").arg(shown).arg(length);
        return f;
    }
    const qint64 end = start + length;
    if (start < -32768 || end > 32767) {
        f.refusal = QStringLiteral("буфер %1 (начало %2, длина %3) выходит за кадр 32767, кадры не читаются.")
                        .arg(shown)
                        .arg(start)
                        .arg(length);
        return f;
    }
    if (current < start || current > end) {
        f.refusal = QStringLiteral("текущий кадр %1 лежит вне буфера %2 (кадры %3 - %4), кадры не читаются.")
                        .arg(current)
                        .arg(shown)
                        .arg(start)
                        .arg(end);
        return f;
    }
    step = std::max<qint64>(1, step);
    // The span of the run must stay below the length, or the list would come
    // round to frames it has read already.
    const qint64 most = (length - 1) / step + 1;
    count = std::min(count, most);

    f.valid = true;
    f.start = qint32(start);
    f.end = qint32(end);
    f.step = qint32(step);
    f.count = qint32(std::max<qint64>(0, count));
    qint64 first = current - step * (count - 1);
    if (first < start)
        first = end - (start - first);
    f.first = qint32(first);
    return f;
}

QString frameNumberText(qint32 frame)
{
    return instrument::hexText16(qint16(frame));
}

} // namespace memory
