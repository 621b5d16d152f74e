#pragma once

#include "core/store/data_lock.h"

class QWidget;
struct AppContext;

// One operation of the window that changes the data folder holds its lock for as long as it
// runs, so voxmgctl (or the program on another PC of a network folder) never writes into it
// at the same time. When someone else holds it, the user is told and nothing runs.
class DataFolderGuard {
public:
    DataFolderGuard(AppContext& context, QWidget* parent);
    // True when the operation may go on.
    explicit operator bool() const { return m_lock.mayProceed(); }

private:
    voxmg::DataFolderLock m_lock;
};
