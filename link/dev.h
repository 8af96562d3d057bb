#pragma once
// The instrument link of the windows: the link (linkcore.h) with the small
// status window that shows the last command and answer while an exchange
// runs, and the busy pointer.

#include "linkcore.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace instrument {

class Dev : public QWidget, public LinkCore {
    Q_OBJECT
public:
    explicit Dev(QWidget* parent = nullptr);
    ~Dev() override;

    // ---- the status window's controls -----------------------------------------
    QLabel* Label = nullptr;
    QLineEdit* COMIn = nullptr;
    QLineEdit* COMOut = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void statusShow() override;
    void statusCommand(const QString& text) override;
    void statusAnswer(const QString& text) override;
    void statusDone() override;
    void busyChanged(bool on) override;

private:
    void buildStatusWindow();
    void showText(QLineEdit* box, const QString& text);
    void paintNow();
};

} // namespace instrument
