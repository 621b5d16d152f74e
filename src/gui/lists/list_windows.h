#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

struct AppContext;
class CListDispView;
class QWidget;

// The open list windows and their slots: creates the view of a slot, runs the list opening
// dialog, and when a list closes releases its slot and renumbers the lists behind it so the
// open lists always hold slots 1..count.
class ListWindows : public QObject {
    Q_OBJECT
public:
    explicit ListWindows(AppContext& context, QObject* parent = nullptr);

    // The view of list slot n, read from disk (first build with its progress dialog). Null
    // when the slot holds no list. A list whose rows did not fit stays open, empty.
    CListDispView* create(int n);
    // "ボックス": the list opening dialog; the slot it wrote, 0 when cancelled or refused.
    int runOpenDialog(QWidget* dialogParent);

    int openCount() const;
    CListDispView* view(int n) const;
    std::vector<CListDispView*> views() const;

signals:
    void created(CListDispView* view);
    // A list moved down a slot after an earlier one closed.
    void renumbered(CListDispView* view, int n);
    void closed();

private:
    void onClosed(CListDispView* view, int n);

    AppContext& m_context;
    std::vector<QPointer<CListDispView>> m_views;
};
