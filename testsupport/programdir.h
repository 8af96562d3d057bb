#pragma once
// A temporary program folder for one test: INSTRUMENT_SUITE_DIR points at it
// while the object lives, and "dev.dat" can be written into it.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }

    // Writes "dev.dat" with the text given (converted to Windows-1251; "\n"
    // becomes CR LF).
    void writeDevDat(const QString& text) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

} // namespace testsupport
