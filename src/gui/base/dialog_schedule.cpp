#include "gui/base/dialog_schedule.h"

#include <QCoreApplication>
#include <QDialog>

#include "gui/base/app_context.h"

voxmg::Pump uiPump() {
    // A short limit keeps it to roughly the one pending event the waits expect.
    return [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); };
}

DialogScheduleCheck::DialogScheduleCheck(QDialog* dialog, AppContext& context)
    : QObject(dialog), m_dialog(dialog), m_context(context) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DialogScheduleCheck::tick);
}

void DialogScheduleCheck::start() {
    if (m_context.schedule.checkEnabled) {
        m_timer.start(m_context.timings.dialogScheduleMs);
    }
}

void DialogScheduleCheck::tick() {
    if (m_context.backupDue() && m_context.offerBackup() && m_context.schedule.backupRequest) {
        m_dialog->reject();
        return;
    }
    start();
}
