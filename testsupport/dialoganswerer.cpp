#include "dialoganswerer.h"

#include <QDialog>

namespace testsupport {

FileDialogAnswerer::FileDialogAnswerer()
{
    m_previous = ui::setFileDialogHook([this](const ui::FileRequest& r) {
        m_requests.append(r);
        return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
    });
}

FileDialogAnswerer::~FileDialogAnswerer()
{
    ui::setFileDialogHook(m_previous);
}

DialogAnswerer::DialogAnswerer()
{
    m_previous = ui::setDialogHook([this](QDialog& d) {
        ++m_shown;
        if (m_answers.isEmpty())
            return int(QDialog::Rejected);
        return m_answers.takeFirst()(d);
    });
}

DialogAnswerer::~DialogAnswerer()
{
    ui::setDialogHook(m_previous);
}

} // namespace testsupport
