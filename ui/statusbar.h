#pragma once
// The two-panel status bar at the foot of a window: panel 1 the step in
// progress (empty when idle), painted at once even while the link holds
// window events back; panel 2 the time of day as hh:mm, kept current.

#include <QDateTime>
#include <QStatusBar>
#include <QTimer>
#include <functional>

class QLabel;

namespace ui {

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    // Docks itself at the bottom of window, across its whole width.
    explicit StatusBar(QWidget* window);

    QLabel* panel1 = nullptr;
    QLabel* panel2 = nullptr;

    // Shows step in panel 1 and paints it now.
    void showStep(const QString& step);
    QString step() const;

    // The clock the time of day comes from (tests give their own).
    void setClock(std::function<QDateTime()> now);
    // Writes the time of day into panel 2 (the timer does it every second).
    void updateTime();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void dock();

    std::function<QDateTime()> m_now;
    QTimer m_timer;
};

} // namespace ui
