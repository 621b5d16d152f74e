#pragma once

#include <QObject>
#include <QTimer>

class QDialog;
struct AppContext;

// Timer 10 of every modal dialog: while a dialog waits for the user, a due automatic backup
// is still offered; when the user accepts it the dialog closes as cancelled and the command
// that opened it runs the backup afterwards.
class DialogScheduleCheck : public QObject {
    Q_OBJECT
public:
    DialogScheduleCheck(QDialog* dialog, AppContext& context);
    void start();  // only while the schedule check is enabled
    void stop() { m_timer.stop(); }
    bool active() const { return m_timer.isActive(); }

private:
    void tick();

    QDialog* m_dialog;
    AppContext& m_context;
    QTimer m_timer;
};
