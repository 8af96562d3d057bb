#pragma once
// Which frames of a recording buffer a read takes, and in which order.
//
// The buffer registers give the first frame (start), the length and the
// frame being written now (p). The buffer runs from start to end = start +
// length; a number past end wraps back by the length. A read of count frames
// taken every step-th ends at p, oldest first:
//   first = p - step * (count - 1), wrapped once if below start,
//   frame k = first + k * step, wrapped once if past end.
// So frame start itself is read only when the list begins exactly there.
//
// The arithmetic is done in wide integers on the values read. A buffer that
// cannot be read this way is refused with a message: a length of zero or
// less, a window passing frame 32767 (frame numbers go out as 16-bit
// hexadecimal), a current frame outside the buffer (the list would run into
// the other buffer). A count larger than the buffer holds at that step is
// cut down to what it holds, so no frame is read twice.

#include <QString>
#include <QtGlobal>

namespace memory {

struct FrameList {
    bool valid = false;
    QString refusal;      // why nothing can be read, when not valid

    qint32 start = 0;
    qint32 end = 0;
    qint32 first = 0;
    qint32 step = 1;
    qint32 count = 0;     // frames to read (after the cap)

    // Frame k of the run, k from 0 to count - 1.
    qint32 at(qint32 k) const;
};

// buffer is 0 or 1 (named as 1 or 2 in messages); current, start and length
// as the registers gave them; count and step as the button asks.
FrameList frameList(int buffer, qint64 current, qint64 start, qint64 length, qint64 count, qint64 step);

// The frame number as the frame command carries it: upper-case hexadecimal
// without leading zeros, negative numbers as their 16-bit pattern.
QString frameNumberText(qint32 frame);

} // namespace memory
